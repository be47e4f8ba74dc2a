#pragma once

#include <QByteArrayView>

class QLayout;
class QWidget;

namespace LayoutBuilder {

// Builds the widgets and nested box layouts that the catalog description of dialogKey asks for,
// with dialog as the owner of signal connections (buttons go to its Knop() slot), and returns the
// outermost layout for the caller to install with setLayout(); null when the description has no
// group. An unbalanced '(' ends the process through the "NeTak" error box.
[[nodiscard]] QLayout *buildLayout(QByteArrayView dialogKey, QWidget *dialog);

} // namespace LayoutBuilder
