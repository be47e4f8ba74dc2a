#include "support/stringlist.h"

#include "support/strings.h"

#include <cstdarg>
#include <cstdio>

StringList::StringList(int growthStep)
{
    if (growthStep > 0)
        m_growthStep = growthStep;
}

void StringList::clear()
{
    m_items.clear();
    m_items.squeeze();
    m_capacity = 0;
}

void StringList::makeRoom()
{
    if (count() < m_capacity)
        return;
    m_capacity += m_growthStep;
    m_items.reserve(m_capacity);
}

QByteArray &StringList::append(QByteArrayView text)
{
    makeRoom();
    m_items.append(text.toByteArray());
    return m_items.last();
}

QByteArray &StringList::appendCopy(QByteArrayView text, qsizetype n)
{
    return append(text.first(qBound(qsizetype(0), n, text.size())));
}

QByteArray &StringList::appendFormatted(const char *format, ...)
{
    char buffer[301];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return append(QByteArrayView(buffer, written < 0 ? 0 : qMin(written, 300)));
}

void StringList::appendAll(const StringList &other)
{
    for (const QByteArray &item : other.m_items)
        append(item);
}

void StringList::remove(int index)
{
    if (index >= 0 && index < count())
        m_items.removeAt(index);
}

int StringList::numberAt(int index) const
{
    return index >= 0 && index < count() ? Strings::number(m_items.at(index)) : 0;
}

int StringList::positionOf(QByteArrayView text) const
{
    const qsizetype at = m_items.indexOf(text);
    return at < 0 ? 0 : int(at) + 1;
}

StringList StringList::split(QByteArrayView text, char separator)
{
    StringList pieces;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(separator, start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        QByteArrayView piece = text.sliced(start, end - start);
        if (last)
            piece = piece.first(Strings::trimmedLength(piece));
        if (!piece.isEmpty())
            pieces.append(piece);
        start = end + 1;
    }
    return pieces;
}

StringList StringList::words(QByteArrayView text)
{
    StringList result;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        const qsizetype start = i;
        while (i < text.size() && text[i] != ' ')
            ++i;
        if (i > start)
            result.append(text.sliced(start, i - start));
    }
    return result;
}
