#include "common/recordingwordautomation.h"
#include "modes/modeentries.h"
#include "modes/word/wordexport.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QStringList opening()
{
    return {u"create Word.Application"_s, u"application.Visible = true"_s, u"application.Documents()"_s,
        u"documents.Add()"_s, u"application.Options()"_s, u"options.CheckSpellingAsYouType(bool) = false"_s,
        u"application.ActiveDocument()"_s};
}

// One paragraph boundary; an empty text is a paragraph break without text.
QStringList boundary(const QString &text)
{
    QStringList calls{u"application.Selection()"_s, u"selection.Font"_s, u"font.SetSize 12"_s,
        u"font.SetName Courier New"_s};
    if (!text.isEmpty()) {
        calls << u"selection.TypeText(const QString&) \""_s + text + u'"' << u"selection.ParagraphFormat ()"_s
              << u"paragraphFormat.SetAlignment (WdParagraphAlignment) 3"_s;
    }
    calls << u"selection.TypeParagraph()"_s;
    return calls;
}

QStringList closing()
{
    return {u"application.Selection()"_s, u"selection.GoTo(int, int, int) 1, 1, 1"_s,
        u"activeDocument.Saved = true"_s, u"delete application"_s};
}

// The documents that the desktop backend leaves in the temporary directory.
QStringList documentsInTemp()
{
    return QDir(QDir::tempPath()).entryList({u"tav-*.fodt"_s}, QDir::Files);
}

// Whether one of the process's file descriptors still refers to the file. Where there is no
// /proc (Windows), an open file is one that cannot be renamed, since it is not opened for sharing
// its deletion.
bool isOpenInProcess(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(u"/proc/self/fd"_s);
    if (!fds.exists()) {
        const QString moved = target + u".moved"_s;
        if (!QFile::rename(target, moved))
            return true;
        return !QFile::rename(moved, target);
    }
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
            return true;
    }
    return false;
}

QStringList wholeExport(const QStringList &paragraphs)
{
    QStringList calls = opening();
    for (const QString &text : paragraphs)
        calls += boundary(text);
    return calls + closing();
}

} // namespace

class TestWordExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void callSequence_data();
    void callSequence();
    void cp1251Path();
    void unopenableFile_data();
    void unopenableFile();
    void missingObject_data();
    void missingObject();

private:
    QString write(const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestWordExport::init()
{
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir::setCurrent(m_dir->path());
}

QString TestWordExport::write(const QByteArray &content)
{
    const QString path = m_dir->filePath(u"text.txt"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

void TestWordExport::callSequence_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("paragraphs");

    QTest::newRow("three lines joined, typed at the final empty line")
        << "one\ntwo\nthree\n"_ba << QStringList{u"one two three"_s};
    QTest::newRow("three lines without a final line break, typed when the lines run out")
        << "one\ntwo\nthree"_ba << QStringList{u"one two three"_s};
    QTest::newRow("CR LF line ends") << "one\r\ntwo\r\n"_ba << QStringList{u"one two"_s};
    QTest::newRow("text before @@ only") << "text@@ note @@ more\nnext\n"_ba << QStringList{u"text next"_s};
    QTest::newRow("a line beginning with @@ is blank")
        << "first\n@@note\nsecond\n"_ba << QStringList{u"first"_s, u" second"_s};
    QTest::newRow("the paragraph after a blank line begins with a space")
        << "first\n\nsecond\nthird\n"_ba << QStringList{u"first"_s, u" second third"_s};
    QTest::newRow("an indented line starts a paragraph without its indentation")
        << "first\n   second   part\nthird\n"_ba << QStringList{u"first"_s, u"second part third"_s};
    QTest::newRow("a run of blank lines gives one empty paragraph per blank line after the first")
        << "a\n\n\n\nb\n"_ba << QStringList{u"a"_s, QString(), QString(), u" b"_s};
    QTest::newRow("a line of blanks is blank") << "a\n    \nb"_ba << QStringList{u"a"_s, u" b"_s};
    QTest::newRow("an empty file types one paragraph break") << QByteArray() << QStringList{QString()};
    QTest::newRow("a file of one line break") << "\n"_ba << QStringList{QString(), QString()};
    QTest::newRow("an indented first line ends an empty paragraph first")
        << "  a\nb\n"_ba << QStringList{QString(), u"a b"_s};
    QTest::newRow("inner and trailing blanks become single blanks")
        << "a   b   \nc  \nd"_ba << QStringList{u"a b c d"_s};
    QTest::newRow("tabs are ordinary characters") << "a\t b\n"_ba << QStringList{u"a\t b"_s};
    QTest::newRow("Cyrillic in code page 1251")
        << "\xcf\xf0\xe8\xe2\xe5\xf2,\n\xec\xe8\xf0 \xb8\xe6\n"_ba << QStringList{u"Привет, мир ёж"_s};
    QTest::newRow("a paragraph of blanks after a blank line is not typed")
        << "a\n\n   \n"_ba << QStringList{u"a"_s, QString(), QString()};
}

void TestWordExport::callSequence()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, paragraphs);
    const QString path = write(content);
    QVERIFY(!path.isEmpty());

    RecordingWordAutomation word;
    WordExport::exportToWord(CodePage::fromUnicode(path), word);
    QCOMPARE(word.calls(), wholeExport(paragraphs));
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
    QVERIFY(!isOpenInProcess(path));
}

void TestWordExport::cp1251Path()
{
    const QString path = m_dir->filePath(u"гороскоп.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("text\n");
    file.close();

    RecordingWordAutomation word;
    WordExport::exportToWord(CodePage::fromUnicode(path), word);
    QCOMPARE(word.calls(), wholeExport({u"text"_s}));
}

void TestWordExport::unopenableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << u"missing.txt"_s;
    QTest::newRow("beneath a regular file") << u"plain/text.txt"_s;
}

void TestWordExport::unopenableFile()
{
    QFETCH(QString, name);
    QVERIFY(!write("x").isEmpty()); // "text.txt" ...
    QVERIFY(QFile::copy(m_dir->filePath(u"text.txt"_s), m_dir->filePath(u"plain"_s)));
    const QString path = m_dir->filePath(name);

    RecordingWordAutomation word;
    WordExport::exportToWord(CodePage::fromUnicode(path), word);
    QVERIFY(word.calls().isEmpty());
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, u"*** Warring"_s);
    QCOMPARE(boxes.first().text, u"Cannot Open File: "_s + path);

    // The mode's entry reports the same and starts no word processor: no document appears.
    Diagnostics::clearRecordedBoxes();
    const QStringList documentsBefore = documentsInTemp();
    Modes::exportToWord(CodePage::fromUnicode(path));
    QCOMPARE(Diagnostics::recordedBoxes().size(), 1);
    QCOMPARE(Diagnostics::recordedBoxes().first().text, u"Cannot Open File: "_s + path);
    QCOMPARE(documentsInTemp(), documentsBefore);
}

void TestWordExport::missingObject_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("calls");

    const QStringList open = opening();
    QTest::newRow("no automation server") << u"Word.Application"_s << open.mid(0, 1);
    QTest::newRow("no documents") << u"Documents()"_s
                                  << open.mid(0, 3) + QStringList{u"delete application"_s};
    QTest::newRow("no options") << u"Options()"_s << open.mid(0, 5) + QStringList{u"delete application"_s};
    QTest::newRow("no document opened")
        << u"ActiveDocument()"_s << open + QStringList{u"delete application"_s};
    QTest::newRow("no selection") << u"Selection()"_s
                                  << open + boundary(QString()).mid(0, 1)
            + QStringList{u"delete application"_s};
    QTest::newRow("no font") << u"Font"_s
                             << open + boundary(QString()).mid(0, 2) + QStringList{u"delete application"_s};
    QTest::newRow("no paragraph format")
        << u"ParagraphFormat ()"_s
        << open + boundary(u"a b"_s).mid(0, 6) + QStringList{u"delete application"_s};
}

// A word processor that lacks an object ends the export with one warning, without crashing, and
// the application object is still deleted.
void TestWordExport::missingObject()
{
    QFETCH(QString, missing);
    QFETCH(QStringList, calls);
    const QString path = write("a\nb\n\nc\n");

    {
        QFile probe(path);
        QVERIFY(probe.open(QIODevice::ReadOnly));
        QVERIFY(isOpenInProcess(path)); // the probe itself works
    }

    RecordingWordAutomation word;
    word.setMissing(missing);
    WordExport::exportToWord(CodePage::fromUnicode(path), word);
    QCOMPARE(word.calls(), calls);
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, u"*** Warring"_s);
    QVERIFY(!isOpenInProcess(path));
}

QTEST_MAIN(TestWordExport)
#include "tst_wordexport.moc"
