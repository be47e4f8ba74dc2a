#include "modes/word/wordexport.h"
#include "platform/word/opendocumentwordautomation.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString OfficeNs = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0"_s;
const QString StyleNs = u"urn:oasis:names:tc:opendocument:xmlns:style:1.0"_s;
const QString TextNs = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0"_s;
const QString FoNs = u"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"_s;
const QString SvgNs = u"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"_s;

struct Style
{
    QString family;
    QString textAlign;
    QString fontName;
    QString fontSize;
};

struct Paragraph
{
    QString style;
    QString text;
    QStringList spanStyles;
};

// What a word processor reads from a flat OpenDocument text: styles, fonts and paragraphs, with
// white space treated as the format prescribes (plain white space collapses and is dropped at the
// paragraph's ends; <text:s>, <text:tab> are kept).
struct Document
{
    QString error;
    QString rootName;
    QString rootNamespace;
    QString mimetype;
    QStringList fontFaces;
    QHash<QString, Style> styles;
    QList<Paragraph> paragraphs;
};

QString readParagraph(QXmlStreamReader &xml, Paragraph &paragraph)
{
    // Each character with whether the reader may collapse it.
    QList<std::pair<QChar, bool>> chars;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (xml.namespaceUri() != TextNs)
                return u"unexpected element "_s + xml.qualifiedName().toString();
            if (xml.name() == u"s") {
                const auto c = xml.attributes().value(TextNs, u"c"_s);
                const int count = c.isEmpty() ? 1 : c.toInt();
                for (int i = 0; i < count; ++i)
                    chars.append({u' ', false});
            } else if (xml.name() == u"tab") {
                chars.append({u'\t', false});
            } else if (xml.name() == u"span") {
                paragraph.spanStyles.append(xml.attributes().value(TextNs, u"style-name"_s).toString());
            } else {
                return u"unexpected element "_s + xml.qualifiedName().toString();
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            for (QChar c : xml.text()) {
                const bool white = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
                if (!white) {
                    chars.append({c, false});
                } else if (!chars.isEmpty() && !(chars.last().first == u' ' && chars.last().second)) {
                    chars.append({u' ', true});
                }
            }
            break;
        default:
            break;
        }
    }
    while (!chars.isEmpty() && chars.last().second)
        chars.removeLast();
    for (const auto &c : std::as_const(chars))
        paragraph.text += c.first;
    return {};
}

Document readDocument(const QString &path)
{
    Document document;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        document.error = u"cannot open "_s + path;
        return document;
    }
    QXmlStreamReader xml(&file);
    QString currentStyle;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attributes = xml.attributes();
        if (document.rootName.isEmpty()) {
            document.rootName = xml.name().toString();
            document.rootNamespace = xml.namespaceUri().toString();
            document.mimetype = attributes.value(OfficeNs, u"mimetype"_s).toString();
        } else if (xml.namespaceUri() == StyleNs && xml.name() == u"font-face") {
            document.fontFaces.append(attributes.value(StyleNs, u"name"_s).toString() + u'|'
                + attributes.value(SvgNs, u"font-family"_s).toString());
        } else if (xml.namespaceUri() == StyleNs && xml.name() == u"style") {
            currentStyle = attributes.value(StyleNs, u"name"_s).toString();
            if (document.styles.contains(currentStyle)) {
                document.error = u"style defined twice: "_s + currentStyle;
                return document;
            }
            document.styles[currentStyle].family = attributes.value(StyleNs, u"family"_s).toString();
        } else if (xml.namespaceUri() == StyleNs && xml.name() == u"paragraph-properties") {
            document.styles[currentStyle].textAlign = attributes.value(FoNs, u"text-align"_s).toString();
        } else if (xml.namespaceUri() == StyleNs && xml.name() == u"text-properties") {
            document.styles[currentStyle].fontName = attributes.value(StyleNs, u"font-name"_s).toString();
            document.styles[currentStyle].fontSize = attributes.value(FoNs, u"font-size"_s).toString();
        } else if (xml.namespaceUri() == TextNs && xml.name() == u"p") {
            Paragraph paragraph;
            paragraph.style = attributes.value(TextNs, u"style-name"_s).toString();
            document.error = readParagraph(xml, paragraph);
            if (!document.error.isEmpty())
                return document;
            document.paragraphs.append(paragraph);
        }
    }
    if (xml.hasError())
        document.error = xml.errorString();
    return document;
}

} // namespace

class TestOpenDocumentWord : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exportedDocument_data();
    void exportedDocument();
    void runsInOtherFonts();
    void unwritableDirectory();
    void openerFails_data();
    void openerFails();

private:
    QString writeText(const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestOpenDocumentWord::init()
{
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    // Windows keeps the current folder from being removed: the last one is left first.
    QDir::setCurrent(QDir::tempPath());
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
    QVERIFY(QDir(m_dir->path()).mkdir(u"out"_s));
}

QString TestOpenDocumentWord::writeText(const QByteArray &content)
{
    const QString path = m_dir->filePath(u"text.txt"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void TestOpenDocumentWord::exportedDocument_data()
{
    QTest::addColumn<QByteArray>("content");
    // Every paragraph of the document, the last one being the empty paragraph after the last break.
    QTest::addColumn<QStringList>("paragraphs");

    QTest::newRow("three lines") << "one\ntwo\nthree\n"_ba << QStringList{u"one two three"_s, QString()};
    QTest::newRow("a blank line: the next paragraph begins with a blank")
        << "first\n\nsecond"_ba << QStringList{u"first"_s, u" second"_s, QString()};
    QTest::newRow("a run of blank lines keeps its empty paragraphs")
        << "a\n\n\n\nb\n"_ba << QStringList{u"a"_s, QString(), QString(), u" b"_s, QString()};
    QTest::newRow("an empty file") << QByteArray() << QStringList{QString(), QString()};
    QTest::newRow("Cyrillic") << "\xc4\xee\xec \xb8\xeb\xea\xe8"_ba << QStringList{u"Дом ёлки"_s, QString()};
    QTest::newRow("XML's special characters")
        << "<a> & \"b\" 'c' ]]>"_ba << QStringList{u"<a> & \"b\" 'c' ]]>"_s, QString()};
    QTest::newRow("tabs beside blanks") << "a\t b \tc\t"_ba << QStringList{u"a\t b \tc\t"_s, QString()};
    QTest::newRow("control characters XML cannot hold are dropped")
        << "a \x01 b\x0b\x1f"_ba << QStringList{u"a  b"_s, QString()};
    QTest::newRow("a NUL byte inside a line") << "a\x00"
                                                 "b\n"_ba
                                              << QStringList{u"ab"_s, QString()};
}

void TestOpenDocumentWord::exportedDocument()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, paragraphs);
    const QString text = writeText(content);
    QVERIFY(!text.isEmpty());

    QList<QUrl> opened;
    OpenDocumentWordAutomation word(m_dir->filePath(u"out"_s), [&](const QUrl &url) {
        opened.append(url);
        return true;
    });
    WordExport::exportToWord(CodePage::fromUnicode(text), word);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());

    const QString path = word.writtenPath();
    QCOMPARE(QFileInfo(path).absolutePath(), m_dir->filePath(u"out"_s));
    QVERIFY(path.endsWith(u".fodt"_s));
    QCOMPARE(QDir(m_dir->filePath(u"out"_s)).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(path)});

    const Document document = readDocument(path);
    QVERIFY2(document.error.isEmpty(), qPrintable(document.error));
    QCOMPARE(document.rootNamespace, OfficeNs);
    QCOMPARE(document.rootName, u"document"_s);
    QCOMPARE(document.mimetype, u"application/vnd.oasis.opendocument.text"_s);
    QCOMPARE(document.fontFaces, QStringList{u"Courier New|'Courier New'"_s});

    QStringList texts;
    for (const Paragraph &paragraph : document.paragraphs)
        texts.append(paragraph.text);
    QCOMPARE(texts, paragraphs);
    for (const Paragraph &paragraph : document.paragraphs) {
        QVERIFY2(document.styles.contains(paragraph.style), qPrintable(paragraph.style));
        const Style style = document.styles.value(paragraph.style);
        QCOMPARE(style.family, u"paragraph"_s);
        QCOMPARE(style.fontName, u"Courier New"_s);
        QCOMPARE(style.fontSize, u"12pt"_s);
        QCOMPARE(style.textAlign, paragraph.text.isEmpty() ? u"start"_s : u"justify"_s);
        QVERIFY(paragraph.spanStyles.isEmpty());
    }

    // The cursor was sent back to the start.
    QVERIFY(word.document());
    QCOMPARE(word.document()->cursorParagraph(), 0);
    QCOMPARE(word.document()->cursorOffset(), 0);
}

// Text typed in another font keeps its font in a span; a break in the middle of a paragraph
// splits it there.
void TestOpenDocumentWord::runsInOtherFonts()
{
    OpenDocumentWordAutomation word(m_dir->filePath(u"out"_s), [](const QUrl &) { return true; });
    QVERIFY(word.createApplication());
    word.setVisible(true);
    word.addDocument();
    word.setFontName(u"Courier New"_s);
    word.setFontSize(12);
    word.typeText(u"world  end"_s);
    word.goTo(1, 1, 1);
    word.setFontName(u"Arial"_s);
    word.typeText(u"hello "_s);
    word.typeParagraph();
    word.setAlignment(1);
    word.deleteApplication();

    const Document document = readDocument(word.writtenPath());
    QVERIFY2(document.error.isEmpty(), qPrintable(document.error));
    QCOMPARE(document.paragraphs.size(), 2);
    QCOMPARE(document.paragraphs.at(0).text, u"hello "_s);
    QCOMPARE(document.paragraphs.at(1).text, u"world  end"_s);
    // "hello " is Arial in a paragraph whose mark is Courier New.
    const Style first = document.styles.value(document.paragraphs.at(0).style);
    QCOMPARE(first.fontName, u"Courier New"_s);
    QCOMPARE(first.textAlign, u"start"_s);
    QCOMPARE(document.paragraphs.at(0).spanStyles.size(), 1);
    const Style span = document.styles.value(document.paragraphs.at(0).spanStyles.first());
    QCOMPARE(span.family, u"text"_s);
    QCOMPARE(span.fontName, u"Arial"_s);
    QCOMPARE(span.fontSize, u"12pt"_s);
    // The second paragraph holds the insertion point and was centred.
    const Style second = document.styles.value(document.paragraphs.at(1).style);
    QCOMPARE(second.textAlign, u"center"_s);
    QCOMPARE(document.paragraphs.at(1).spanStyles.size(), 1);
    QCOMPARE(document.fontFaces.size(), 2);
}

void TestOpenDocumentWord::unwritableDirectory()
{
    const QString text = writeText("text\n");
    const QString notADirectory = m_dir->filePath(u"plain"_s);
    QVERIFY(QFile::copy(text, notADirectory));

    bool opened = false;
    OpenDocumentWordAutomation word(notADirectory, [&](const QUrl &) { return opened = true; });
    WordExport::exportToWord(CodePage::fromUnicode(text), word);

    QVERIFY(!opened);
    QVERIFY(word.writtenPath().isEmpty());
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().text.startsWith(u"Cannot Open File: "_s + notADirectory + u'/'),
        qPrintable(boxes.first().text));
}

void TestOpenDocumentWord::openerFails_data()
{
    QTest::addColumn<QString>("catalog"); // empty: none
    // The build puts the shipped catalog beside the test program; the build's own path would name
    // another drive under Wine.
    QTest::addColumn<QString>("expected"); // %1: the document
    QTest::newRow("shipped catalog")
        << QCoreApplication::applicationDirPath() + u"/tav.en.t"_s
        << u"No program could open the document %1; it stays there, open or save it from there"_s;
    QTest::newRow("no catalog: the built-in text") << QString() << u"No program could open the document %1"_s;
}

// The document stays where it was written, and a box names it; the text that could not be
// opened is not blamed.
void TestOpenDocumentWord::openerFails()
{
    QFETCH(QString, catalog);
    QFETCH(QString, expected);
    Catalog::clear();
    if (!catalog.isEmpty())
        QVERIFY(Catalog::load(catalog));
    Diagnostics::resetLog();
    const QString text = writeText("text\n");
    OpenDocumentWordAutomation word(m_dir->filePath(u"out"_s), [](const QUrl &) { return false; });
    WordExport::exportToWord(CodePage::fromUnicode(text), word);
    Catalog::clear();

    QVERIFY(QFileInfo::exists(word.writtenPath()));
    const QString shown = expected.arg(QDir::toNativeSeparators(word.writtenPath()));
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, u"*** Warring"_s);
    QCOMPARE(boxes.first().text, shown);
    QFile log(m_dir->filePath(u"taw.tax"_s));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), "** **\n" + CodePage::fromUnicode(shown) + '\n');
}

QTEST_MAIN(TestOpenDocumentWord)
#include "tst_opendocumentword.moc"
