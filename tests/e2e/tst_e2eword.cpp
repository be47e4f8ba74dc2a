#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"
#include "shell/catalog.h"
#include "support/codepage.h"

#include <QDir>
#include <QtTest>

#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

class TestEndToEndWord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportsTheFile_data();
    void exportsTheFile();
    void missingFileGivesOnlyTheWarning();
};

namespace {

// Settings that a save would rewrite, so that a run that saved them is seen.
const QByteArray unsavedSettings = "Ov=1 2 3\nLang=ru\n";

QStringList documents(const TavInstallation &installation)
{
    return QDir(installation.path()).entryList({u"tav-*.fodt"_s}, QDir::Files);
}

// Runs the Word export on a private X display and answers its boxes ("answered" gets their
// titles). The documents go into the installation instead of the system's temporary directory,
// and the search path holds no program that opens them, as on a system without a word processor.
// Other test programs start and stop X servers beside this one; a server that starts while
// another one with its display number shuts down can lose its socket and take no clients. Such a
// run never reaches the program, so it is made again on a new server. Null when there is no Xvfb.
std::optional<TavRun> runAnswering(
    TavInstallation &installation, const QStringList &arguments, QStringList &answered)
{
    const QProcessEnvironment base = installation.environment();
    for (int attempt = 1;; ++attempt) {
        XvfbDisplay display;
        if (!display.isValid())
            return std::nullopt;
        QProcessEnvironment environment = display.environment(base);
        environment.insert(u"TMPDIR"_s, installation.path());
        environment.insert(u"PATH"_s, installation.path());
        installation.setEnvironment(environment);
        answered.clear();
        const TavRun run = installation.run(arguments, 30000, [&] {
            display.answerBoxes({u"*** Warring"_s, u"*** Error"_s}, answered);
        });
        if (attempt < 3 && run.standardError.contains("could not connect to display"))
            continue;
        return run;
    }
}

} // namespace

void TestEndToEndWord::initTestCase()
{
    Catalog::clear();
    QVERIFY(Catalog::load(TavInstallation::binDir() + u"/tav.t"_s));
}

void TestEndToEndWord::exportsTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain name") << u"report.txt"_s;
    QTest::newRow("Cyrillic name") << u"отчёт.txt"_s;
}

// With no program to open it, the document is written whole, stays where it was written, and a
// box names it; nothing blames the text.
void TestEndToEndWord::exportsTheFile()
{
    QFETCH(QString, name);
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.writeSettings(unsavedSettings));
    QVERIFY(installation.writeFile(name, "\xd1\xee\xeb\xed\xf6\xe5\n\xe2 \xee\xe2\xed\xe5\n\n  @@ note\n"));

    QStringList answered;
    const std::optional<TavRun> run = runAnswering(installation, {u"F=Word"_s, name}, answered);
    if (!run)
        QSKIP("Xvfb and xdotool are needed to answer the box");
    QVERIFY2(run->finished && !run->crashed, run->describe().constData());
    QCOMPARE(run->exitCode, 0);
    QCOMPARE(answered, QStringList{u"*** Warring"_s});
    QCOMPARE(installation.settings(), unsavedSettings);

    const QStringList written = documents(installation);
    QCOMPARE(written.size(), 1);
    const QString document = QString::fromUtf8(installation.readFile(written.first()));
    QVERIFY2(
        document.contains(u"<text:p text:style-name=\"P1\">Солнце в овне</text:p>"_s), qPrintable(document));
    QVERIFY(document.contains(u"fo:text-align=\"justify\""_s));
    QVERIFY(document.contains(u"style:font-name=\"Courier New\" fo:font-size=\"12pt\""_s));

    char box[400];
    std::snprintf(box, sizeof box, Catalog::text("NoOpen")->constData(),
        CodePage::fromUnicode(installation.filePath(written.first())).constData());
    const QByteArray log = installation.log();
    QVERIFY2(log.startsWith("** **\n") && log.split('\n').contains(box), log.constData());
    QVERIFY2(!log.contains("Cannot Open File"), log.constData());
}

void TestEndToEndWord::missingFileGivesOnlyTheWarning()
{
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.writeSettings(unsavedSettings));
    QStringList answered;
    const std::optional<TavRun> run = runAnswering(installation, {u"F=Word"_s, u"missing.txt"_s}, answered);
    if (!run)
        QSKIP("Xvfb and xdotool are needed to answer the box");
    QVERIFY2(run->finished && !run->crashed, run->describe().constData());
    QVERIFY2(run->exitCode == 0, run->describe().constData());
    QCOMPARE(answered, QStringList{u"*** Warring"_s});
    QCOMPARE(installation.log(), QByteArray("** **\nCannot Open File: missing.txt\n"));
    QVERIFY(documents(installation).isEmpty());
    QCOMPARE(installation.settings(), unsavedSettings);
}

QTEST_MAIN(TestEndToEndWord)
#include "tst_e2eword.moc"
