#pragma once

#include <QList>
#include <QString>

// A word-processor document as the automation calls build it: paragraphs of text runs, an
// insertion point, and the character format that the next typed text takes. Word's meanings
// are kept: the font set at the insertion point applies to what is typed next, and to the mark
// of the paragraph there while it is empty; the alignment belongs to the paragraph that holds the
// insertion point; a paragraph break splits the paragraph there, and the new paragraph's mark
// takes the font of the insertion point.
class TextDocument final
{
public:
    struct CharFormat
    {
        QString fontName; // empty: the word processor's default
        int fontSize = 0; // points; 0: the default
        friend bool operator==(const CharFormat &, const CharFormat &) = default;
    };
    struct Run
    {
        QString text;
        CharFormat format;
    };
    struct Paragraph
    {
        QList<Run> runs;
        // Word's WdParagraphAlignment: 0 left, 1 centre, 2 right, 3 justified.
        int alignment = 0;
        CharFormat markFormat;
        [[nodiscard]] QString text() const;
        [[nodiscard]] qsizetype length() const;
    };

    // A new document holds one empty paragraph with the insertion point in it.
    TextDocument();

    void setFontSize(int size);
    void setFontName(const QString &name);
    void typeText(const QString &text);
    void setAlignment(int alignment);
    void typeParagraph();
    void goToStart();

    [[nodiscard]] const QList<Paragraph> &paragraphs() const { return m_paragraphs; }
    [[nodiscard]] qsizetype cursorParagraph() const { return m_cursorParagraph; }
    [[nodiscard]] qsizetype cursorOffset() const { return m_cursorOffset; }

private:
    void applyInsertionFormat();

    QList<Paragraph> m_paragraphs;
    qsizetype m_cursorParagraph = 0;
    qsizetype m_cursorOffset = 0;
    CharFormat m_insertionFormat;
};
