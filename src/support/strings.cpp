#include "support/strings.h"

#include <climits>
#include <cstdio>

QByteArray Strings::boundedCopy(QByteArrayView src, qsizetype n)
{
    if (n < 0)
        n = 0;
    return src.first(qMin(n, src.size())).toByteArray();
}

qsizetype Strings::trimmedLength(QByteArrayView s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        --n;
    return n;
}

QByteArray Strings::trimmedRight(QByteArrayView s)
{
    return s.first(trimmedLength(s)).toByteArray();
}

qsizetype Strings::trimTrailing(QByteArray &s)
{
    s.truncate(trimmedLength(s));
    return s.size();
}

QByteArrayView Strings::skipLeadingBlanks(QByteArrayView s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return s.sliced(i);
}

char Strings::firstNonBlank(QByteArrayView s)
{
    for (char c : s) {
        if (c != ' ')
            return c;
    }
    return 0;
}

void Strings::normaliseBlanks(QByteArray &s)
{
    qsizetype out = 0;
    bool lastBlank = true; // drops leading blanks
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ' ') {
            if (lastBlank)
                continue;
            lastBlank = true;
        } else {
            lastBlank = false;
        }
        s[out++] = c;
    }
    s.truncate(out);
}

std::optional<QByteArray> Strings::splitNameValue(QByteArray &s)
{
    const qsizetype eq = s.indexOf('=');
    if (eq < 0) {
        trimTrailing(s);
        return std::nullopt;
    }
    QByteArray value = skipLeadingBlanks(QByteArrayView(s).sliced(eq + 1)).toByteArray();
    s.truncate(eq);
    trimTrailing(s);
    return value;
}

std::optional<QByteArray> Strings::splitAt(QByteArray &s, char c)
{
    const qsizetype at = s.indexOf(c);
    if (at < 0)
        return std::nullopt;
    QByteArray rest = s.mid(at + 1);
    s.truncate(at);
    return rest;
}

std::optional<QByteArray> Strings::after(QByteArrayView s, char c)
{
    const qsizetype at = s.indexOf(c);
    if (at < 0)
        return std::nullopt;
    return s.sliced(at + 1).toByteArray();
}

std::optional<QByteArray> Strings::textInBrackets(QByteArray &s)
{
    std::optional<QByteArray> inside = splitAt(s, '[');
    if (inside) {
        const qsizetype close = inside->indexOf(']');
        if (close >= 0)
            inside->truncate(close);
    }
    return inside;
}

int Strings::beginsWith(QByteArrayView s, QByteArrayView prefix)
{
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const int a = i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
        const int b = static_cast<unsigned char>(prefix[i]);
        if (a != b)
            return a - b;
    }
    return 0;
}

int Strings::replaceChar(QByteArray &s, char a, char b)
{
    int count = 0;
    for (char &c : s) {
        if (c == a) {
            c = b;
            ++count;
        }
    }
    return count;
}

int Strings::number(QByteArrayView s)
{
    qsizetype i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > INT_MAX) // atoi's overflow is undefined; saturate instead
            return negative ? INT_MIN : INT_MAX;
    }
    return int(negative ? -value : value);
}

bool Strings::formatTakes(QByteArrayView format, QByteArrayView conversions)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    QByteArray found;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (++i < format.size() && format[i] == '%')
            continue;
        while (i < format.size() && QByteArrayView("-+ #0").contains(format[i]))
            ++i;
        while (i < format.size() && isDigit(format[i]))
            ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            while (i < format.size() && isDigit(format[i]))
                ++i;
        }
        if (i == format.size())
            return false; // a '%' that ends the format
        found += format[i];
    }
    return found == conversions;
}

QByteArray Strings::formatted(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return {};
    QByteArray text(length, Qt::Uninitialized);
    std::vsnprintf(text.data(), size_t(length) + 1, format, args);
    return text;
}
