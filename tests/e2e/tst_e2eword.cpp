#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"
#include "support/codepage.h"

#include <QDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestEndToEndWord : public QObject
{
    Q_OBJECT

private slots:
    void exportsTheFile_data();
    void exportsTheFile();
    void missingFileGivesOnlyTheWarning();
};

namespace {

// Settings that a save would rewrite, so that a run that saved them is seen.
const QByteArray unsavedSettings = "Ov=1 2 3\nLang=ru\n";

// The runs write their documents into the installation, not into the system's temporary directory.
void useInstallationAsTemp(TavInstallation &installation)
{
    QProcessEnvironment environment = installation.environment();
    environment.insert(u"TMPDIR"_s, installation.path());
    installation.setEnvironment(environment);
}

QStringList documents(const TavInstallation &installation)
{
    return QDir(installation.path()).entryList({u"tav-*.fodt"_s}, QDir::Files);
}

} // namespace

void TestEndToEndWord::exportsTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain name") << u"report.txt"_s;
    QTest::newRow("Cyrillic name") << u"отчёт.txt"_s;
}

void TestEndToEndWord::exportsTheFile()
{
    QFETCH(QString, name);
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.writeSettings(unsavedSettings));
    useInstallationAsTemp(installation);
    QVERIFY(installation.writeFile(name, "\xd1\xee\xeb\xed\xf6\xe5\n\xe2 \xee\xe2\xed\xe5\n\n  @@ note\n"));

    const TavRun run = installation.run({u"F=Word"_s, name});
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(installation.settings(), unsavedSettings);

    const QStringList written = documents(installation);
    QCOMPARE(written.size(), 1);
    const QString document = QString::fromUtf8(installation.readFile(written.first()));
    QVERIFY2(
        document.contains(u"<text:p text:style-name=\"P1\">Солнце в овне</text:p>"_s), qPrintable(document));
    QVERIFY(document.contains(u"fo:text-align=\"justify\""_s));
    QVERIFY(document.contains(u"style:font-name=\"Courier New\" fo:font-size=\"12pt\""_s));
    // The offscreen platform opens no documents; the log says where the document is.
    QVERIFY2(installation.log().contains(
                 "Cannot Open File: " + CodePage::fromUnicode(installation.filePath(written.first()))),
        installation.log().constData());
}

void TestEndToEndWord::missingFileGivesOnlyTheWarning()
{
    // Other test programs start and stop X servers beside this one; a server that starts while
    // another one with its display number shuts down can lose its socket and take no clients.
    // Such a run never reaches the program, so it is made again on a new server.
    for (int attempt = 1;; ++attempt) {
        XvfbDisplay display;
        if (!display.isValid())
            QSKIP("Xvfb and xdotool are needed to answer the box");
        TavInstallation installation;
        QVERIFY(installation.isValid());
        QVERIFY(installation.writeSettings(unsavedSettings));
        installation.setEnvironment(display.environment(installation.environment()));
        useInstallationAsTemp(installation);
        // The X11 platform loads the system's D-Bus library, whose allocations outlive the
        // process (not ours to free); the sanitizer build is told to leave them out.
        QVERIFY(installation.writeFile(u"lsan.supp"_s, "leak:libdbus-1.so\n"));
        QProcessEnvironment environment = installation.environment();
        environment.insert(u"LSAN_OPTIONS"_s, u"suppressions="_s + installation.filePath(u"lsan.supp"_s));
        installation.setEnvironment(environment);

        QStringList answered;
        const TavRun run = installation.run({u"F=Word"_s, u"missing.txt"_s}, 30000, [&] {
            display.answerBoxes({u"*** Warring"_s, u"*** Error"_s}, answered);
        });
        if (attempt < 3 && run.standardError.contains("could not connect to display"))
            continue;
        QVERIFY2(run.finished && !run.crashed, run.describe().constData());
        QVERIFY2(run.exitCode == 0, run.describe().constData());
        QCOMPARE(answered, QStringList{u"*** Warring"_s});
        QCOMPARE(installation.log(), QByteArray("** **\nCannot Open File: missing.txt\n"));
        QVERIFY(documents(installation).isEmpty());
        QCOMPARE(installation.settings(), unsavedSettings);
        return;
    }
}

QTEST_MAIN(TestEndToEndWord)
#include "tst_e2eword.moc"
