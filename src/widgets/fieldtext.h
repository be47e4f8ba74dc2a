#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

class QLineEdit;

// The text layout shared by the date and time edits: two-digit fields at characters 0 and 3, the
// third field from character 6, separators at 2 and 5. Cursor positions 0-1 belong to the first
// field, 2-5 to the second, 6 and above to the third.
namespace FieldText {

inline constexpr qsizetype maxLength = 39;

// The edit's text as 8-bit text, at most maxLength characters.
[[nodiscard]] QByteArray toLocal(const QString &text);
// The number read with atoi at index; a field beyond the end reads as 0.
[[nodiscard]] qint64 fieldAt(QByteArrayView text, qsizetype index);
// 0, 1 or 2.
[[nodiscard]] int fieldOfCursor(int pos);
// The newly typed character replaces the one after it: the character at pos goes, if any.
void removeOvertyped(QByteArray &text, int pos);
// A cursor left just in front of a separator moves past it.
[[nodiscard]] int pastSeparator(int pos);
// "%02d<sep>%02d<sep>%0<width>d" as Unicode.
[[nodiscard]] QString format(qint64 a, char separator, qint64 b, qint64 c, int lastWidth);

// Printable keys other than digits (and '-' where a sign is allowed) are refused.
[[nodiscard]] bool refusesKey(int key, bool signAllowed);
// The keys both edits treat alike: Backspace and Delete are swallowed, Left and Right jump over
// separators, Up and Down call step(+1 / -1). True when the key was used up; false when the line
// edit should handle it.
bool handleEditingKey(QLineEdit *edit, int key, const std::function<void(int)> &step);

} // namespace FieldText
