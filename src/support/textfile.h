#pragma once

#include "support/stringlist.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <memory>
#include <optional>

class QFile;

// Line reading over the program's 8-bit text files. A reader remembers end of file the way a
// C stream does: a file that ends with LF yields one more empty line, an empty file yields one
// empty line, and only then does readLine() give nullopt.
class LineReader final
{
public:
    explicit LineReader(QIODevice *device);

    // Characters up to LF or end of file, every CR dropped; nullopt once the end was reached.
    std::optional<QByteArray> readLine();
    // The next line that neither begins with '*' nor holds only blanks.
    std::optional<QByteArray> readSignificantLine();

private:
    QIODevice *m_device;
    bool m_eof = false;
};

namespace TextFile {

enum ReadFlag {
    SkipBlankLines = 0x01,
    SkipComments = 0x02,
    NormaliseBlanks = 0x04,
    ConvertCp866 = 0x08,
    TryApplicationDir = 0x10,
    NullWhenMissing = 0x20,
    WarnWhenMissing = 0x40,
};

// Opens for reading; on failure shows "Cannot Open File: %s" with the path and returns null.
[[nodiscard]] std::unique_ptr<QFile> openForReading(const QString &path);

// The file's lines (growth step 1000) with the flags above; nullopt only with NullWhenMissing.
[[nodiscard]] std::optional<StringList> readLines(const QString &path, int flags);

// Writes a whole file: a temporary file beside it, renamed into place only when every byte was
// written, so a crash or a full disk leaves the previous file. False on any failure (the caller
// shows the warning it needs).
[[nodiscard]] bool writeWhole(const QString &path, QByteArrayView contents);

} // namespace TextFile
