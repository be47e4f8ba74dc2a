#include "support/linereader.h"

#include "support/strings.h"

LineReader::LineReader(QByteArray text)
    : m_text(std::move(text))
{
    // A CR goes wherever it stands, so the whole text can lose them before it is cut into lines.
    // Text without one is left untouched: it keeps sharing its bytes with the caller's copy.
    if (m_text.contains('\r'))
        m_text.removeIf([](char c) { return c == '\r'; });
}

std::optional<QByteArrayView> LineReader::readLine()
{
    if (m_pos > m_text.size())
        return std::nullopt;
    qsizetype end = m_text.indexOf('\n', m_pos);
    if (end < 0)
        end = m_text.size();
    const QByteArrayView line = QByteArrayView(m_text).sliced(m_pos, end - m_pos);
    m_pos = end + 1;
    return line;
}

std::optional<QByteArrayView> LineReader::readSignificantLine()
{
    while (std::optional<QByteArrayView> line = readLine()) {
        if (!line->startsWith('*') && Strings::firstNonBlank(*line) != 0)
            return line;
    }
    return std::nullopt;
}
