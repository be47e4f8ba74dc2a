#include "platform/word/textdocument.h"

namespace {

using Run = TextDocument::Run;

// The runs before and after a character offset of a paragraph.
std::pair<QList<Run>, QList<Run>> splitRuns(const QList<Run> &runs, qsizetype offset)
{
    QList<Run> before;
    QList<Run> after;
    qsizetype start = 0;
    for (const Run &run : runs) {
        const qsizetype end = start + run.text.size();
        if (end <= offset) {
            before.append(run);
        } else if (start >= offset) {
            after.append(run);
        } else {
            before.append(Run{run.text.left(offset - start), run.format});
            after.append(Run{run.text.mid(offset - start), run.format});
        }
        start = end;
    }
    return {before, after};
}

// Neighbouring runs of one format become one run; empty runs go.
QList<Run> merged(const QList<Run> &runs)
{
    QList<Run> result;
    for (const Run &run : runs) {
        if (run.text.isEmpty())
            continue;
        if (!result.isEmpty() && result.last().format == run.format)
            result.last().text += run.text;
        else
            result.append(run);
    }
    return result;
}

} // namespace

QString TextDocument::Paragraph::text() const
{
    QString result;
    for (const Run &run : runs)
        result += run.text;
    return result;
}

qsizetype TextDocument::Paragraph::length() const
{
    qsizetype result = 0;
    for (const Run &run : runs)
        result += run.text.size();
    return result;
}

TextDocument::TextDocument()
    : m_paragraphs(1)
{ }

// An empty paragraph shows its mark's font (its height); a paragraph with text keeps its mark.
void TextDocument::applyInsertionFormat()
{
    Paragraph &paragraph = m_paragraphs[m_cursorParagraph];
    if (paragraph.runs.isEmpty())
        paragraph.markFormat = m_insertionFormat;
}

void TextDocument::setFontSize(int size)
{
    m_insertionFormat.fontSize = size;
    applyInsertionFormat();
}

void TextDocument::setFontName(const QString &name)
{
    m_insertionFormat.fontName = name;
    applyInsertionFormat();
}

void TextDocument::typeText(const QString &text)
{
    Paragraph &paragraph = m_paragraphs[m_cursorParagraph];
    auto [before, after] = splitRuns(paragraph.runs, m_cursorOffset);
    before.append(Run{text, m_insertionFormat});
    paragraph.runs = merged(before + after);
    m_cursorOffset += text.size();
}

void TextDocument::setAlignment(int alignment)
{
    m_paragraphs[m_cursorParagraph].alignment = alignment;
}

void TextDocument::typeParagraph()
{
    Paragraph &paragraph = m_paragraphs[m_cursorParagraph];
    auto [before, after] = splitRuns(paragraph.runs, m_cursorOffset);
    paragraph.runs = before;
    Paragraph next;
    next.runs = after;
    next.markFormat = m_insertionFormat;
    m_paragraphs.insert(m_cursorParagraph + 1, next);
    ++m_cursorParagraph;
    m_cursorOffset = 0;
}

void TextDocument::goToStart()
{
    m_cursorParagraph = 0;
    m_cursorOffset = 0;
}
