// The Word export of Windows against a stand-in of Word's automation server (wordserver/), which
// the test registers in the classes of its Wine prefix and which records every call made to it.
// The recorded calls must be the ones the recording backend of the other platforms lists for the
// same file, in COM's terms.
#include "common/recordingwordautomation.h"
#include "modes/modeentries.h"
#include "modes/word/wordexport.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString serverClassId = u"{6C1F4E52-8A37-4D7B-9E2F-3B5A7C9D1E04}"_s;

// The stand-in server under the name "Word.Application" while the object lives, with the file it
// records into and the members whose objects it lacks.
class ServerRegistration final
{
public:
    ServerRegistration(const QString &recording, const QString &missing)
    {
        QSettings classes(u"HKEY_CLASSES_ROOT"_s, QSettings::NativeFormat);
        const QString server = QDir::toNativeSeparators(
            QCoreApplication::applicationDirPath() + u"/recordingwordserver.dll"_s);
        classes.setValue(u"Word.Application/CLSID/Default"_s, serverClassId);
        classes.setValue(u"CLSID/%1/InprocServer32/Default"_s.arg(serverClassId), server);
        classes.setValue(u"CLSID/%1/InprocServer32/ThreadingModel"_s.arg(serverClassId), u"Apartment"_s);
        classes.setValue(u"CLSID/%1/Recording"_s.arg(serverClassId), QDir::toNativeSeparators(recording));
        classes.setValue(u"CLSID/%1/Missing"_s.arg(serverClassId), missing);
        classes.sync();
        m_ok = classes.status() == QSettings::NoError && QFileInfo::exists(server);
    }
    ~ServerRegistration() { remove(); }
    ServerRegistration(const ServerRegistration &) = delete;
    ServerRegistration &operator=(const ServerRegistration &) = delete;

    [[nodiscard]] bool ok() const { return m_ok; }

    static void remove()
    {
        QSettings classes(u"HKEY_CLASSES_ROOT"_s, QSettings::NativeFormat);
        classes.remove(u"Word.Application"_s);
        classes.remove(u"CLSID/"_s + serverClassId);
        classes.sync();
    }

private:
    bool m_ok = false;
};

// How Word's object model takes each call of the export: a property read or a method that answers
// with an object is one Invoke as property get and method at once; ActiveQt's setter slots
// ("SetSize") and setProperty() are property puts; the rest are method calls. The recording
// backend writes "receiver.name arguments"; the server writes "receiver.Member kind arguments",
// with texts in quotes.
struct ComCall
{
    QString recorded;
    QString com;
    bool quoteArgument = false;
};

const QList<ComCall> &comCalls()
{
    static const QList<ComCall> calls = {
        {u"create Word.Application"_s, u"create Word.Application"_s},
        {u"application.Visible ="_s, u"application.Visible put"_s},
        {u"application.Documents()"_s, u"application.Documents get|call"_s},
        {u"documents.Add()"_s, u"documents.Add get|call"_s},
        {u"application.Options()"_s, u"application.Options get|call"_s},
        {u"options.CheckSpellingAsYouType(bool) ="_s, u"options.CheckSpellingAsYouType put"_s},
        {u"application.ActiveDocument()"_s, u"application.ActiveDocument get|call"_s},
        {u"application.Selection()"_s, u"application.Selection get|call"_s},
        {u"selection.Font"_s, u"selection.Font get|call"_s},
        {u"font.SetSize"_s, u"font.Size put"_s},
        {u"font.SetName"_s, u"font.Name put"_s, true},
        {u"selection.TypeText(const QString&)"_s, u"selection.TypeText call"_s},
        {u"selection.ParagraphFormat ()"_s, u"selection.ParagraphFormat get|call"_s},
        {u"paragraphFormat.SetAlignment (WdParagraphAlignment)"_s, u"paragraphFormat.Alignment put"_s},
        {u"selection.TypeParagraph()"_s, u"selection.TypeParagraph call"_s},
        {u"selection.GoTo(int, int, int)"_s, u"selection.GoTo get|call"_s},
        {u"activeDocument.Saved ="_s, u"activeDocument.Saved put"_s},
        {u"delete application"_s, u"release application"_s},
    };
    return calls;
}

QStringList inComTerms(const QStringList &recorded)
{
    QStringList lines;
    for (const QString &line : recorded) {
        QString translated = u"untranslated: "_s + line;
        for (const ComCall &call : comCalls()) {
            if (line != call.recorded && !line.startsWith(call.recorded + u' '))
                continue;
            const QString argument = line.mid(call.recorded.size() + 1);
            translated = call.com;
            if (!argument.isEmpty())
                translated += u' ' + (call.quoteArgument ? u'"' + argument + u'"' : argument);
        }
        lines.append(translated);
    }
    return lines;
}

QStringList readRecording(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {u"no recording"_s};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestComWord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void noServer();
    void callSequence_data();
    void callSequence();
    void missingObject_data();
    void missingObject();

private:
    // The text file in the temporary directory, its path as the host hands it over: code page
    // 1251, backslashes.
    QByteArray write(const QString &name, const QByteArray &content);
    // The calls of the recording backend for the same file, and its boxes.
    static QStringList recordedCalls(const QByteArray &path, const QString &missing = {});

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestComWord::initTestCase()
{
    Diagnostics::setRecording(true);
    ServerRegistration::remove();
}

void TestComWord::init()
{
    Diagnostics::clearRecordedBoxes();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestComWord::cleanupTestCase()
{
    ServerRegistration::remove();
}

QByteArray TestComWord::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return CodePage::fromUnicode(QDir::toNativeSeparators(file.fileName()));
}

QStringList TestComWord::recordedCalls(const QByteArray &path, const QString &missing)
{
    RecordingWordAutomation word;
    if (!missing.isEmpty())
        word.setMissing(missing);
    WordExport::exportToWord(path, word);
    return word.calls();
}

// Without Word the user gets the same box as when the word processor stops answering, and nothing
// else happens.
void TestComWord::noServer()
{
    const QByteArray path = write(u"text.txt"_s, "one\n");
    QVERIFY(!path.isEmpty());
    recordedCalls(path, u"Word.Application"_s);
    const QList<Diagnostics::RecordedBox> expected = Diagnostics::recordedBoxes();
    QCOMPARE(expected.size(), 1);
    Diagnostics::clearRecordedBoxes();

    Modes::exportToWord(path);
    const QList<Diagnostics::RecordedBox> boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, expected.first().title);
    QCOMPARE(boxes.first().text, expected.first().text);
}

void TestComWord::callSequence_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("three lines joined") << u"text.txt"_s << "one\ntwo\nthree\n"_ba;
    QTest::newRow("blank lines, an indented line, @@")
        << u"text.txt"_s << "first\n\n\nsecond@@ note\n   third  part\n"_ba;
    QTest::newRow("an empty file") << u"text.txt"_s << QByteArray();
    QTest::newRow("Cyrillic text in a file with a Cyrillic name")
        << u"гороскоп.txt"_s << "\xcf\xf0\xe8\xe2\xe5\xf2,\n\xec\xe8\xf0 \xb8\xe6\n"_ba;
}

void TestComWord::callSequence()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QByteArray path = write(name, content);
    QVERIFY(!path.isEmpty());
    const QString recording = m_dir->filePath(u"calls.txt"_s);
    const ServerRegistration server(recording, QString());
    QVERIFY(server.ok());

    Modes::exportToWord(path);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
    QCOMPARE(readRecording(recording), inComTerms(recordedCalls(path)));
}

void TestComWord::missingObject_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QString>("recordedName");

    QTest::newRow("no documents") << u"Documents"_s << u"Documents()"_s;
    QTest::newRow("no active document") << u"ActiveDocument"_s << u"ActiveDocument()"_s;
    QTest::newRow("no font") << u"Font"_s << u"Font"_s;
    QTest::newRow("no paragraph format") << u"ParagraphFormat"_s << u"ParagraphFormat ()"_s;
}

// A Word that lacks an object on the way ends the export with the box, and every object is
// released all the same.
void TestComWord::missingObject()
{
    QFETCH(QString, member);
    QFETCH(QString, recordedName);
    const QByteArray path = write(u"text.txt"_s, "a\nb\n\nc\n");
    QVERIFY(!path.isEmpty());
    const QStringList expected = inComTerms(recordedCalls(path, recordedName));
    QCOMPARE(Diagnostics::recordedBoxes().size(), 1);
    Diagnostics::clearRecordedBoxes();

    const QString recording = m_dir->filePath(u"calls.txt"_s);
    const ServerRegistration server(recording, member);
    QVERIFY(server.ok());
    Modes::exportToWord(path);
    QCOMPARE(Diagnostics::recordedBoxes().size(), 1);
    QCOMPARE(readRecording(recording), expected);
    QCOMPARE(expected.last(), u"release application"_s);
}

QTEST_MAIN(TestComWord)
#include "tst_comword_win.moc"
