#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

class ByteDateWid;
class ByteTimeEdit;
class QBoxLayout;
class QComboBox;
class QDateTimeEdit;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;

// The widgets of a dialog description's items. Every item "TYPE-NAME" takes its texts from the
// catalog key NAME, its initial value from the saved value NAME (or an option number), and is
// named NAME, so that the owner dialog and the state store find it again. Widgets are made
// without a parent and become the dialog's children when it installs the outermost layout.
//
// Where a widget gets the "form font", it is its own font with the point size of the saved
// setting "hFdia", and only when that is 1 or more.
namespace FormItems {

enum class Placement { Above, Beside };

// The item kinds in the order they are matched: "AH", "A", "C", "DT", "D", "Tm", "R", "S", "F",
// "IM", "HT", "H", "E", "LF", "LK", "L", "M". Any other type makes nothing. The owner receives
// the clicks of form-row buttons in its Knop() slot.
void buildItem(QByteArrayView type, QByteArrayView name, QBoxLayout *layout, QWidget *owner);

// The text of the key, cut at '[' (even a leading one), ':' as line breaks, one unit of vertical
// stretch per line; object name the key; added to the layout when one is given.
QPushButton *makePushButton(QByteArrayView key, QBoxLayout *layout = nullptr);
// Accept button, stretch, reject button, wired to the owner's accept() and reject().
QBoxLayout *makeOkCancelRow(
    QDialog *owner, QBoxLayout *layout, QByteArrayView acceptKey = "Ok", QByteArrayView rejectKey = "Can");
// Item text "text[rowText]#colour": ':' as line breaks, bold when the type holds 'b', the
// background from the colour; rowText (at most 19 characters) goes to the caller.
QLabel *makeLabel(QByteArrayView key, QBoxLayout *layout, std::optional<QByteArrayView> type = std::nullopt,
    QByteArray *rowText = nullptr);
QComboBox *makeCaptionedComboBox(
    const QString &caption, QByteArrayView objectName, QBoxLayout *layout, Placement placement);
// Form font, left aligned; not added anywhere.
QLineEdit *makeLineEdit(QByteArrayView objectName);
// Puts caption and field into their own box ("Above": stretch, caption, field; "Beside": caption,
// field) and adds the box to the layout. Without a layout the caller places the field itself and
// the caption is not needed: it is deleted.
void makeCaptionPair(QLabel *caption, QWidget *field, QBoxLayout *layout, Placement placement);

// The value makers that form rows use without a caption (layout null).
QSpinBox *makeSpinBox(QByteArrayView type, QByteArrayView name, QBoxLayout *layout);
QDateTimeEdit *makeDateTimeEdit(QByteArrayView name, QBoxLayout *layout);
ByteDateWid *makeDateWidget(QByteArrayView name, QBoxLayout *layout);
ByteTimeEdit *makeTimeEdit(QByteArrayView name, QBoxLayout *layout);

// Connects the button's clicked() to the owner's Knop() slot, when the owner has one.
void connectToKnop(QPushButton *button, QWidget *owner);
// Gives the widget the form font.
void applyFormFont(QWidget *widget);
// 8-bit (code page 1251) name as Unicode object name.
[[nodiscard]] QString objectNameOf(QByteArrayView name);

} // namespace FormItems
