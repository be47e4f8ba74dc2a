#pragma once

#include <QByteArrayView>

class QBoxLayout;
class QWidget;

// The widgets of a dialog description's items. Every item "TYPE-NAME" takes its texts from the
// catalog key NAME, its initial value from the saved value NAME (or an option number), and is
// named NAME, so that the owner dialog and the state store find it again. Widgets are made
// without a parent and become the dialog's children when it installs the outermost layout.
//
// Where a widget gets the "form font", it is its own font with the point size of the saved
// setting "hFdia", and only when that is 1 or more.
namespace FormItems {

// The item kinds in the order they are matched: "AH", "A", "C", "DT", "D", "Tm", "R", "S", "F",
// "IM", "HT", "H", "E", "LF", "LK", "L", "M". Any other type makes nothing. The owner receives
// the clicks of form-row buttons in its Knop() slot.
void buildItem(QByteArrayView type, QByteArrayView name, QBoxLayout *layout, QWidget *owner);

} // namespace FormItems
