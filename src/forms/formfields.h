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

// The single fields that the item builder and the choice groups both make: captions, labels,
// line edits, combo boxes, spin boxes, date and time fields, the Ok/Cancel row. A field takes its
// texts from the catalog key of its item, its initial value from the saved value of that name,
// and is named by it. Fields are made without a parent and become the dialog's children when it
// installs the outermost layout; without a layout the caller places the field itself.
namespace FormFields {

enum class Placement { Above, Beside };

// The item text of a key; a key whose line has no text gives an empty text.
[[nodiscard]] QByteArray itemText(QByteArrayView key);
// "Beside" when the item type holds 'h'.
[[nodiscard]] Placement placementOf(QByteArrayView type);
// The display text of the key, with the form font when asked.
QLabel *makeCaption(QByteArrayView key, bool formFont);

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

} // namespace FormFields
