// Run mode "Conf" in the built program, used with the keyboard on a private X display: the
// take-over happens in the running program, and closing the window starts the program line and
// saves what the user chose.

#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"
#include "shell/catalog.h"
#include "support/codepage.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestConfRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Catalog::clear();
        Catalog::load(TavInstallation::binDir() + u"/tav.t"_s);
        QVERIFY(Catalog::text("mainRC").has_value());
    }

    void typeTickPressOkAndClose()
    {
        XvfbDisplay display;
        if (!display.isValid())
            QSKIP("Xvfb and xdotool are needed to use the window");
        TavInstallation installation;
        QVERIFY(installation.isValid());
        installation.setEnvironment(display.environment(installation.environment()));
        QVERIFY(installation.writeFile(u"old/kora.ini"_s, "BASA=C:\\base\nOrb-A=2\nX=9\n"));
        QVERIFY(installation.writeFile(u"old/a.bod"_s, "bod"));
        QVERIFY(installation.writeFile(u"old/n.txt"_s, "not chosen"));
        QVERIFY(installation.writeFile(u"kora.ini"_s, "X=1\n"));
        QVERIFY(installation.writeFile(u"starter"_s, "#!/bin/sh\ntouch started\n"));
        QVERIFY(QFile::setPermissions(
            installation.filePath(u"starter"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString other = installation.filePath(u"old"_s);

        const QString window = XvfbDisplay::exactTitlePattern(u"***"_s + Catalog::displayText("mainRC"));
        const QString box = XvfbDisplay::exactTitlePattern(u"*** Warring"_s);
        int step = 0;
        QStringList seen;
        const TavRun run = installation.run({u"F=Conf"_s, u"P=starter"_s}, 60000, [&] {
            switch (step) {
            case 0: // the directory has the focus from the start
                if (!display.isVisible(window))
                    return;
                display.typeInto(window, {u"type"_s, other});
                // six check boxes, then "Ok"
                display.typeInto(window,
                    {u"key"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s,
                        u"space"_s});
                seen << u"dialog"_s;
                step = 1;
                return;
            case 1:
                if (!display.isVisible(box))
                    return;
                seen << u"box"_s;
                display.typeInto(box, {u"key"_s, u"Return"_s});
                step = 2;
                return;
            case 2:
                if (display.isVisible(box) || !display.isVisible(window))
                    return;
                display.typeInto(window, {u"key"_s, u"Escape"_s});
                step = 3;
                return;
            default:
                return;
            }
        });
        QVERIFY2(run.finished && !run.crashed, run.describe().constData());
        QCOMPARE(seen, (QStringList{u"dialog"_s, u"box"_s}));
        QCOMPARE(run.exitCode, 0);

        QCOMPARE(installation.readFile(u"kora.ini"_s), "X=1\nBASA=C:\\base\nOrb-A=2\n"_ba);
        QCOMPARE(installation.readFile(u"a.bod"_s), "bod"_ba);
        QVERIFY(!installation.exists(u"n.txt"_s));
        QCOMPARE(installation.log(), "** **\n" + CodePage::fromUnicode(Catalog::displayText("is")) + '\n');
        // What the user chose is saved after the window closed: options 2 to 8 were switched on
        // by the dialog, the directory typed.
        const QByteArray settings = installation.settings();
        QVERIFY2(
            settings.startsWith("Ov=0 0 1 1 1 1 1 1 1 0   0 0 0 0 0 0 0 0 0 0 \n"), settings.constData());
        QVERIFY2(settings.contains("\nDir1002=" + CodePage::fromUnicode(other) + '\n'), settings.constData());
        QTRY_VERIFY_WITH_TIMEOUT(installation.exists(u"started"_s), 5000);
    }
};

QTEST_GUILESS_MAIN(TestConfRun)
#include "tst_confrun.moc"
