#pragma once

#include "platform/word/textdocument.h"

class QIODevice;
class QXmlStreamWriter;

// Writes a TextDocument as a flat OpenDocument text (".fodt": one XML file that word processors
// open directly). Each paragraph gets an automatic paragraph style with its alignment and the
// font of its mark; text runs in another font get a text style of their own.
class FlatOdtWriter final
{
public:
    // False when the device refused the output.
    [[nodiscard]] static bool write(const TextDocument &document, QIODevice *device);

    // The fo:text-align value of a Word paragraph alignment.
    [[nodiscard]] static QString textAlign(int alignment);

private:
    static void writeCharacters(QXmlStreamWriter &xml, const QString &text);
};
