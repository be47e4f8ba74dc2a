#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

// "tav F=Flash" as the host starts it, pressed by a user on a private display.
class TestFlashRun : public QObject
{
    Q_OBJECT

private slots:
    void leaveThroughButton_data();
    void leaveThroughButton();
};

void TestFlashRun::leaveThroughButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("Exit") << u"xCan"_s << QStringList{};
    QTest::newRow("Copy asks for the box first") << u"Per"_s << QStringList{u"*** Warring"_s};
}

void TestFlashRun::leaveThroughButton()
{
    QFETCH(QString, button);
    QFETCH(QStringList, boxes);

    XvfbDisplay display;
    if (!display.isValid())
        QSKIP("Xvfb and xdotool are needed to press the buttons");
    TavInstallation installation;
    QVERIFY(installation.isValid());
    installation.setEnvironment(display.environment(installation.environment()));
    // Whatever drives this machine has, every page holds the one button under test.
    QVERIFY(
        installation.writeCatalog(u"mainFlash FlashRun\nFlash P/P/P/P\nP (B-%1)V\n"
                                  "xCan Exit\nPer Copy\nDanPer Last word before copying\n"_s.arg(button)));
    // The host program of the test leaves a mark that it was started.
    QVERIFY(installation.writeFile(u"host"_s, "#!/bin/sh\necho started > marker\n"));
    QVERIFY(QFile::setPermissions(
        installation.filePath(u"host"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QStringList answered;
    bool hostBeforeBox = false;
    QElapsedTimer sincePress;
    const TavRun run = installation.run({u"F=Flash"_s, u"P=host"_s}, 30000, [&] {
        const bool hostStarted = installation.exists(u"marker"_s);
        if (display.answerBoxes({u"*** Warring"_s}, answered) > 0)
            hostBeforeBox = hostBeforeBox || hostStarted;
        if (sincePress.isValid() && sincePress.elapsed() < 1000)
            return;
        const QByteArray ids
            = display.xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^\\*\\*\\*FlashRun$"_s});
        const QByteArray window = ids.split('\n').value(0);
        if (window.isEmpty())
            return;
        // The one button has the focus; Space presses it.
        display.xdotool({u"windowfocus"_s, u"--sync"_s, QString::fromLatin1(window), u"key"_s, u"space"_s});
        sincePress.start();
    });
    QVERIFY2(run.finished && !run.crashed, run.describe().constData());
    QVERIFY2(run.exitCode == 0, run.describe().constData());
    QCOMPARE(answered, boxes);
    QVERIFY(!hostBeforeBox);

    // The host is started detached at the very end; give it a moment to write.
    QElapsedTimer waiting;
    waiting.start();
    while (!installation.exists(u"marker"_s) && waiting.elapsed() < 5000)
        QThread::msleep(50);
    QCOMPARE(installation.readFile(u"marker"_s), QByteArray("started\n"));
    QVERIFY(installation.exists(u"tavx.in"_s));
    const QByteArray log = installation.log();
    QCOMPARE(log.contains("Last word before copying"), !boxes.isEmpty());
}

QTEST_GUILESS_MAIN(TestFlashRun)
#include "tst_flashrun.moc"
