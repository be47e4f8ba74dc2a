#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdarg>
#include <optional>

// Small helpers over 8-bit text. A blank is the space character only; tabs are ordinary
// characters. "Absent" (std::nullopt) is kept apart from "empty" where callers rely on it.
namespace Strings {

// At most n characters of src (an absent src gives an empty text).
[[nodiscard]] QByteArray boundedCopy(QByteArrayView src, qsizetype n);
// Length without trailing blanks.
[[nodiscard]] qsizetype trimmedLength(QByteArrayView s);
// Copy without trailing blanks.
[[nodiscard]] QByteArray trimmedRight(QByteArrayView s);
// Removes trailing blanks in place; returns the new length.
qsizetype trimTrailing(QByteArray &s);
// Leading blanks skipped.
[[nodiscard]] QByteArrayView skipLeadingBlanks(QByteArrayView s);
// The first character that is not a blank, 0 when there is none (the blank-line test).
[[nodiscard]] char firstNonBlank(QByteArrayView s);
// In place: leading blanks removed, each run of inner blanks reduced to one (trailing blanks
// are reduced to one, not removed).
void normaliseBlanks(QByteArray &s);
// Cuts s at the first '=': s keeps the name without trailing blanks; the result is the value
// with its leading blanks skipped (trailing blanks stay). No '=' gives nullopt and s only loses
// its trailing blanks.
std::optional<QByteArray> splitNameValue(QByteArray &s);
// Cuts s at the first c and returns the text after it; nullopt (s unchanged) without c.
std::optional<QByteArray> splitAt(QByteArray &s, char c);
// The text after the first c, or nullopt; s is not changed.
[[nodiscard]] std::optional<QByteArray> after(QByteArrayView s, char c);
// 'text[5]x' -> s becomes 'text', the result is '5'; nullopt without '['.
std::optional<QByteArray> textInBrackets(QByteArray &s);
// 0 when s begins with prefix, otherwise the difference of the first differing characters.
[[nodiscard]] int beginsWith(QByteArrayView s, QByteArrayView prefix);
// Replaces every a by b; returns the count.
int replaceChar(QByteArray &s, char a, char b);
// The whole text of a printf-style format and its arguments (vsnprintf, never cut).
[[nodiscard]] QByteArray formatted(const char *format, va_list args);
// Whether a printf format reads exactly the given conversions, in order ("ds": an int, then a
// text). Each conversion may carry flags ("-+ #0"), a width and a precision in digits, nothing
// else; "%%" is a percent sign. A length modifier ("%ld", "%ls", "%hhd"), '*', an argument
// number or any other conversion ("%n" among them) makes it false: such a format would read its
// arguments with the wrong type, or more of them than are passed.
[[nodiscard]] bool formatTakes(QByteArrayView format, QByteArrayView conversions);
// C atoi: leading white space, optional sign, digits; 0 when there are none. Never overflows.
[[nodiscard]] int number(QByteArrayView s);

} // namespace Strings
