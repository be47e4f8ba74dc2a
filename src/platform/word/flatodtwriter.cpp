#include "platform/word/flatodtwriter.h"

#include <QIODevice>
#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace {

const QString OfficeNs = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0"_s;
const QString StyleNs = u"urn:oasis:names:tc:opendocument:xmlns:style:1.0"_s;
const QString TextNs = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0"_s;
const QString FoNs = u"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"_s;
const QString SvgNs = u"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"_s;

using CharFormat = TextDocument::CharFormat;

struct ParagraphStyle
{
    int alignment = 0;
    CharFormat format;
    friend bool operator==(const ParagraphStyle &, const ParagraphStyle &) = default;
};

// XML 1.0 has no place for most control characters; the reader already dropped CR.
bool isXmlChar(char16_t c)
{
    return c == u'\t' || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

void writeTextProperties(QXmlStreamWriter &xml, const CharFormat &format)
{
    xml.writeStartElement(StyleNs, u"text-properties"_s);
    if (!format.fontName.isEmpty())
        xml.writeAttribute(StyleNs, u"font-name"_s, format.fontName);
    if (format.fontSize > 0)
        xml.writeAttribute(FoNs, u"font-size"_s, u"%1pt"_s.arg(format.fontSize));
    xml.writeEndElement();
}

} // namespace

QString FlatOdtWriter::textAlign(int alignment)
{
    switch (alignment) {
    case 0:
        return u"start"_s;
    case 1:
        return u"center"_s;
    case 2:
        return u"end"_s;
    default:
        // 3 and Word's further justified kinds (distributed, Thai, low/medium/high).
        return u"justify"_s;
    }
}

// A reader collapses white space and drops it at either end of a paragraph, so only a single
// blank between two other characters stays plain; every other blank is <text:s/>, and a tab is
// <text:tab/>.
void FlatOdtWriter::writeCharacters(QXmlStreamWriter &xml, const QString &typed)
{
    QString text;
    for (const QChar c : typed) {
        if (isXmlChar(c.unicode()))
            text += c;
    }
    QString plain;
    const auto flush = [&] {
        if (!plain.isEmpty())
            xml.writeCharacters(plain);
        plain.clear();
    };
    for (qsizetype i = 0; i < text.size();) {
        const char16_t c = text.at(i).unicode();
        if (c == u' ') {
            qsizetype end = i;
            while (end < text.size() && text.at(end) == u' ')
                ++end;
            const qsizetype count = end - i;
            const bool between
                = i > 0 && end < text.size() && text.at(i - 1) != u'\t' && text.at(end) != u'\t';
            if (count == 1 && between) {
                plain += u' ';
            } else {
                flush();
                xml.writeEmptyElement(TextNs, u"s"_s);
                if (count > 1)
                    xml.writeAttribute(TextNs, u"c"_s, QString::number(count));
            }
            i = end;
            continue;
        }
        if (c == u'\t') {
            flush();
            xml.writeEmptyElement(TextNs, u"tab"_s);
        } else {
            plain += QChar(c);
        }
        ++i;
    }
    flush();
}

bool FlatOdtWriter::write(const TextDocument &document, QIODevice *device)
{
    const QList<TextDocument::Paragraph> &paragraphs = document.paragraphs();

    QList<ParagraphStyle> paragraphStyles;
    QList<CharFormat> textStyles;
    QList<QString> fonts;
    const auto addFont = [&](const CharFormat &format) {
        if (!format.fontName.isEmpty() && !fonts.contains(format.fontName))
            fonts.append(format.fontName);
    };
    for (const auto &paragraph : paragraphs) {
        const ParagraphStyle style{paragraph.alignment, paragraph.markFormat};
        if (!paragraphStyles.contains(style))
            paragraphStyles.append(style);
        addFont(paragraph.markFormat);
        for (const auto &run : paragraph.runs) {
            addFont(run.format);
            if (run.format != paragraph.markFormat && !textStyles.contains(run.format))
                textStyles.append(run.format);
        }
    }

    QXmlStreamWriter xml(device);
    xml.setAutoFormatting(false);
    xml.writeStartDocument();
    xml.writeNamespace(OfficeNs, u"office"_s);
    xml.writeNamespace(StyleNs, u"style"_s);
    xml.writeNamespace(TextNs, u"text"_s);
    xml.writeNamespace(FoNs, u"fo"_s);
    xml.writeNamespace(SvgNs, u"svg"_s);
    xml.writeStartElement(OfficeNs, u"document"_s);
    xml.writeAttribute(OfficeNs, u"version"_s, u"1.3"_s);
    xml.writeAttribute(OfficeNs, u"mimetype"_s, u"application/vnd.oasis.opendocument.text"_s);

    xml.writeStartElement(OfficeNs, u"font-face-decls"_s);
    for (const QString &font : std::as_const(fonts)) {
        xml.writeStartElement(StyleNs, u"font-face"_s);
        xml.writeAttribute(StyleNs, u"name"_s, font);
        xml.writeAttribute(SvgNs, u"font-family"_s, u'\'' + font + u'\'');
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeStartElement(OfficeNs, u"automatic-styles"_s);
    for (qsizetype i = 0; i < paragraphStyles.size(); ++i) {
        xml.writeStartElement(StyleNs, u"style"_s);
        xml.writeAttribute(StyleNs, u"name"_s, u"P%1"_s.arg(i + 1));
        xml.writeAttribute(StyleNs, u"family"_s, u"paragraph"_s);
        xml.writeEmptyElement(StyleNs, u"paragraph-properties"_s);
        xml.writeAttribute(FoNs, u"text-align"_s, textAlign(paragraphStyles.at(i).alignment));
        writeTextProperties(xml, paragraphStyles.at(i).format);
        xml.writeEndElement();
    }
    for (qsizetype i = 0; i < textStyles.size(); ++i) {
        xml.writeStartElement(StyleNs, u"style"_s);
        xml.writeAttribute(StyleNs, u"name"_s, u"T%1"_s.arg(i + 1));
        xml.writeAttribute(StyleNs, u"family"_s, u"text"_s);
        writeTextProperties(xml, textStyles.at(i));
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeStartElement(OfficeNs, u"body"_s);
    xml.writeStartElement(OfficeNs, u"text"_s);
    for (const auto &paragraph : paragraphs) {
        const ParagraphStyle style{paragraph.alignment, paragraph.markFormat};
        xml.writeStartElement(TextNs, u"p"_s);
        xml.writeAttribute(TextNs, u"style-name"_s, u"P%1"_s.arg(paragraphStyles.indexOf(style) + 1));
        for (const auto &run : paragraph.runs) {
            if (run.format == paragraph.markFormat) {
                writeCharacters(xml, run.text);
                continue;
            }
            xml.writeStartElement(TextNs, u"span"_s);
            xml.writeAttribute(TextNs, u"style-name"_s, u"T%1"_s.arg(textStyles.indexOf(run.format) + 1));
            writeCharacters(xml, run.text);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return !xml.hasError();
}
