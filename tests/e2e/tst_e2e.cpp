#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"

#include <QtTest>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void runsWithoutWindowEndAtOnce_data();
    void runsWithoutWindowEndAtOnce();
    void badStartFilesNeverStopTheStart_data();
    void badStartFilesNeverStopTheStart();
    void missingSettingsFileIsReportedInABox();
    void logHoldsOnlyTheLastRun();
    void afterTheWindowTheProgramLineStartsAndSettingsAreSaved();
};

namespace {

// Settings that a save would rewrite (the "Ov" line always gets all twenty numbers), so that
// a run that saved them is seen.
const QByteArray unsavedSettings = "Ov=1 2 3\nLang=ru\n";

} // namespace

void TestEndToEnd::runsWithoutWindowEndAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("mode name differs in case") << QStringList{QStringLiteral("F=up")};
    QTest::newRow("empty mode name") << QStringList{QStringLiteral("F=")};
    QTest::newRow("unknown mode with a program line")
        << QStringList{QStringLiteral("F=Nothing"), QStringLiteral("P=starter"), QStringLiteral("x")};
    QTest::newRow("Word with too few arguments") << QStringList{QStringLiteral("F=Word")};
    QTest::newRow("arguments over every capacity") << QStringList{QStringLiteral("F=") + QString(5000, u'm'),
        QStringLiteral("P=") + QString(5000, u'p'), QString(5000, u'a'),
        QStringLiteral("UF=") + QString(500, u'u'), QStringLiteral("VER=") + QString(500, u'v')};
    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many << QStringLiteral("arg%1").arg(i);
    QTest::newRow("many bare arguments after P")
        << (QStringList{QStringLiteral("F=up"), QStringLiteral("P=x")} + many);
}

void TestEndToEnd::runsWithoutWindowEndAtOnce()
{
    QFETCH(QStringList, arguments);
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.writeSettings(unsavedSettings));
    // A program line naming this script would leave a trace if it were started.
    QVERIFY(installation.writeFile(QStringLiteral("starter"), "#!/bin/sh\ntouch started\n"));
    QVERIFY(QFile::setPermissions(installation.filePath(QStringLiteral("starter")),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const TavRun run = installation.run(arguments);
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QVERIFY2(run.exitCode == 0, run.describe().constData());
    // No box was met and nothing else was logged.
    QVERIFY(!installation.exists(QStringLiteral("taw.tax")));
    // The settings are saved only after an event loop.
    QCOMPARE(installation.settings(), unsavedSettings);
    QTest::qWait(300);
    QVERIFY(!installation.exists(QStringLiteral("started")));
}

void TestEndToEnd::badStartFilesNeverStopTheStart_data()
{
    QTest::addColumn<QByteArray>("catalog");
    QTest::addColumn<QByteArray>("settings");

    QTest::newRow("catalog of only @ lines") << QByteArray("@\n").repeated(20000) << unsavedSettings;
    QTest::newRow("catalog of binary bytes")
        << QByteArray("\x00\x01\xFF\xFE@\r\r\n\x80\x81 @", 12).repeated(5000) << unsavedSettings;
    QTest::newRow("catalog line of 4 MB") << "Long " + QByteArray(4 << 20, 'x') + "\n" << unsavedSettings;
    QTest::newRow("Ov line of 10,000 numbers")
        << QByteArray("MEM m\n") << "Ov=" + QByteArray("300 ").repeated(10000) + "\n";
    QTest::newRow("settings of binary bytes")
        << QByteArray("MEM m\n") << QByteArray("\x00=\xFF\n=\n==\n\r\n", 11).repeated(1000);
}

void TestEndToEnd::badStartFilesNeverStopTheStart()
{
    QFETCH(QByteArray, catalog);
    QFETCH(QByteArray, settings);
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.writeFile(QStringLiteral("tav.t"), catalog));
    QVERIFY(installation.writeSettings(settings));
    const TavRun run = installation.run({QStringLiteral("F=up")});
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QVERIFY2(run.exitCode == 0, run.describe().constData());
    QCOMPARE(installation.settings(), settings);
}

void TestEndToEnd::missingSettingsFileIsReportedInABox()
{
    XvfbDisplay display;
    if (!display.isValid())
        QSKIP("Xvfb and xdotool are needed to answer the box");
    TavInstallation installation;
    QVERIFY(installation.isValid());
    installation.setEnvironment(display.environment(installation.environment()));
    QVERIFY(installation.removeFile(QStringLiteral("tavx.in")));

    QStringList answered;
    const TavRun run = installation.run({QStringLiteral("F=up")}, 30000, [&] {
        display.answerBoxes({QStringLiteral("*** Warring"), QStringLiteral("*** Error")}, answered);
    });
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QCOMPARE(answered, QStringList{QStringLiteral("*** Warring")});
    QVERIFY2(run.exitCode == 0, run.describe().constData());
    QCOMPARE(installation.log(), QByteArray("** **\nCannot Open File: tavx.in\n"));
    // An unknown mode does not save, so the first run's file is not created either.
    QVERIFY(!installation.exists(QStringLiteral("tavx.in")));
}

void TestEndToEnd::logHoldsOnlyTheLastRun()
{
    XvfbDisplay display;
    if (!display.isValid())
        QSKIP("Xvfb and xdotool are needed to answer the box");
    TavInstallation installation;
    QVERIFY(installation.isValid());
    installation.setEnvironment(display.environment(installation.environment()));
    QVERIFY(installation.writeFile(QStringLiteral("taw.tax"), "** **\nfrom an older run\n"));
    QVERIFY(installation.removeFile(QStringLiteral("tavx.in")));

    for (int runNumber = 1; runNumber <= 2; ++runNumber) {
        QStringList answered;
        const TavRun run = installation.run({QStringLiteral("F=Nothing")}, 30000,
            [&] { display.answerBoxes({QStringLiteral("*** Warring")}, answered); });
        QVERIFY2(run.finished && !run.crashed, run.describe().constData());
        QVERIFY2(run.exitCode == 0, run.describe().constData());
        QCOMPARE(answered.size(), 1);
        QCOMPARE(installation.log(), QByteArray("** **\nCannot Open File: tavx.in\n"));
    }
}

void TestEndToEnd::afterTheWindowTheProgramLineStartsAndSettingsAreSaved()
{
    XvfbDisplay display;
    if (!display.isValid())
        QSKIP("Xvfb and xdotool are needed to close the window");
    TavInstallation installation;
    QVERIFY(installation.isValid());
    installation.setEnvironment(display.environment(installation.environment()));
    QVERIFY(installation.writeSettings(unsavedSettings));
    QVERIFY(installation.writeFile(QStringLiteral("kora.ini"), "X=1\n"));
    // The host names its program with a Cyrillic folder and name; the directory part is dropped
    // and the name must reach the system as the same Cyrillic name.
    const QString program = QString::fromUtf8("Кора");
    QVERIFY(
        installation.writeFile(program, "#!/bin/sh\necho \"$@\" > started.tmp\nmv started.tmp started\n"));
    QVERIFY(QFile::setPermissions(
        installation.filePath(program), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QStringList answered;
    bool closed = false;
    const TavRun run = installation.run(
        {QStringLiteral("F=Conf"), QString::fromUtf8("P=C:\\Программы\\Кора"), QStringLiteral("-x")}, 60000,
        [&] {
            display.answerBoxes({QStringLiteral("*** Warring")}, answered);
            if (closed)
                return;
            // The mode's window: a title that begins with "***" and is no box.
            const QList<QByteArray> ids
                = display
                      .xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--name"), QStringLiteral("^\\*\\*\\*")})
                      .split('\n');
            for (const QByteArray &id : ids) {
                const QString window = QString::fromLatin1(id);
                const QByteArray title = display.xdotool({QStringLiteral("getwindowname"), window}).trimmed();
                if (id.isEmpty() || title.isEmpty() || title == "*** Warring" || title == "*** Error")
                    continue;
                display.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window,
                    QStringLiteral("key"), QStringLiteral("Escape")});
                closed = true;
            }
        });
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QVERIFY(closed);
    QVERIFY2(run.exitCode == 0, run.describe().constData());
    QTRY_COMPARE_WITH_TIMEOUT(installation.readFile(QStringLiteral("started")), QByteArray("-x\n"), 5000);
    const QByteArray settings = installation.settings();
    // Rewritten whole: the "Ov" line with all twenty numbers (the window sets some of its own).
    static const QRegularExpression optionsLine(QStringLiteral("^Ov=1 2 (\\d+ ){8}  (\\d+ ){10}\n"));
    QVERIFY2(optionsLine.match(QString::fromLatin1(settings)).hasMatch(), settings.constData());
    QVERIFY2(settings.contains("\nLang=ru\n"), settings.constData());
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
