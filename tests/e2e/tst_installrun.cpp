// `cmake --install` of this build into a directory that then serves as the host's installation:
// what it lays out, a reinstall over settings already there, and the installed program run from
// there in each language (the English catalog copied over "tav.t", as the README tells).

#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestInstallRun : public QObject
{
    Q_OBJECT

private slots:
    void laysOutInstallation();
    void runsFromInstallation_data();
    void runsFromInstallation();

private:
    // Installs this build into the installation's directory; an empty text on success, else what
    // cmake printed.
    static QByteArray install(const TavInstallation &installation);
};

QByteArray TestInstallRun::install(const TavInstallation &installation)
{
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(TAV_CMAKE_COMMAND),
        {u"--install"_s, TavInstallation::binDir() + u"/.."_s, u"--prefix"_s, installation.path()});
    if (!cmake.waitForFinished(60000) || cmake.exitStatus() != QProcess::NormalExit || cmake.exitCode() != 0)
        return "cmake --install failed: " + cmake.readAll();
    return {};
}

void TestInstallRun::laysOutInstallation()
{
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.removeFile(u"tavx.in"_s));
    const QByteArray failure = install(installation);
    QVERIFY2(failure.isEmpty(), failure.constData());

    QDir dir(installation.path());
    QCOMPARE(dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
        (QStringList{
            u"qt.png"_s, u"rar"_s, u"tav"_s, u"tav.en.t"_s, u"tav.qss"_s, u"tav.t"_s, u"tavx.in"_s}));
    for (const QString &program : {u"tav"_s, u"rar"_s})
        QVERIFY2(QFileInfo(dir.filePath(program)).isExecutable(), qPrintable(program));
    for (const QString &name : {u"tav.t"_s, u"tav.en.t"_s, u"tav.qss"_s, u"qt.png"_s}) {
        QFile built(TavInstallation::binDir() + u'/' + name);
        QVERIFY(built.open(QIODevice::ReadOnly));
        QVERIFY2(installation.readFile(name) == built.readAll(), qPrintable(name));
    }
    QCOMPARE(installation.settings(), TavInstallation::defaultSettings);

    // The installed archiver answers a bare call with its usage.
    QProcess rar;
    rar.start(dir.filePath(u"rar"_s), {});
    QVERIFY(rar.waitForFinished(10000));
    QCOMPARE(rar.exitCode(), 3);
    QVERIFY(rar.readAllStandardError().contains("usage"));

    // Installing again, as an update of the program would, keeps what the user chose.
    const QByteArray chosen = "Ov=1 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nNAst=1234\n";
    QVERIFY(installation.writeSettings(chosen));
    const QByteArray again = install(installation);
    QVERIFY2(again.isEmpty(), again.constData());
    QCOMPARE(installation.settings(), chosen);
}

void TestInstallRun::runsFromInstallation_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<QString>("title");

    QTest::newRow("Russian, as installed") << QString() << u"***Загрузка файла астероида"_s;
    QTest::newRow("English catalog copied over tav.t") << u"tav.en.t"_s << u"***Asteroid file download"_s;
}

void TestInstallRun::runsFromInstallation()
{
    QFETCH(QString, catalog);
    QFETCH(QString, title);

    XvfbDisplay display;
    if (!display.isValid())
        QSKIP("Xvfb and xdotool are needed to see the window");
    TavInstallation installation;
    QVERIFY(installation.isValid());
    QVERIFY(installation.removeFile(u"tavx.in"_s));
    const QByteArray failure = install(installation);
    QVERIFY2(failure.isEmpty(), failure.constData());
    if (!catalog.isEmpty()) {
        QVERIFY(installation.removeFile(u"tav.t"_s));
        QVERIFY(QFile::copy(installation.filePath(catalog), installation.filePath(u"tav.t"_s)));
    }
    // The host's part: the ephemeris directory that the asteroid dialog looks for at start.
    QVERIFY(installation.writeFile(u"PLP018.E1"_s, "marker"));
    installation.setProgram(installation.filePath(u"tav"_s));
    installation.setEnvironment(display.environment(installation.environment()));

    // The window's title comes from the catalog; a start file the installation lacks would
    // show its box first and the window never comes.
    const QString window = XvfbDisplay::exactTitlePattern(title);
    bool seen = false;
    const TavRun run = installation.run({u"F=Ast"_s}, 30000, [&] {
        if (seen || !display.isVisible(window))
            return;
        seen = true;
        display.typeInto(window, {u"key"_s, u"Escape"_s});
    });
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QVERIFY(seen);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(!installation.log().contains("Cannot Open File"), installation.log().constData());
    QVERIFY(installation.settings().startsWith("Ov="));
}

QTEST_GUILESS_MAIN(TestInstallRun)
#include "tst_installrun.moc"
