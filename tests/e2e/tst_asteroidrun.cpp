// Run mode "Ast" in the built program on a private X display: the number, typed as soon as the
// window is there, is checked against the ephemeris directory, the answer comes in a box, and the
// number is in "tavx.in" after the window closed. The asteroid file is present, so nothing goes
// to the network, and libcurl, which only a transfer loads, is never loaded.

#include "common/tavinstallation.h"
#include "common/xvfbdisplay.h"
#include "shell/catalog.h"
#include "support/codepage.h"

#include <QtTest>

#include <cstdio>

using namespace Qt::StringLiterals;

class TestAsteroidRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Catalog::clear();
        Catalog::load(TavInstallation::binDir() + u"/tav.t"_s);
        QVERIFY(Catalog::text("mainA").has_value());
    }

    void presentFileIsReportedAndNumberKept()
    {
        XvfbDisplay display;
        if (!display.isValid())
            QSKIP("Xvfb and xdotool are needed to use the window");
        TavInstallation installation;
        QVERIFY(installation.isValid());
        QProcessEnvironment environment = display.environment(installation.environment());
        // The dynamic loader names on standard error every library it loads.
        environment.insert(u"LD_DEBUG"_s, u"files"_s);
        installation.setEnvironment(environment);
        QVERIFY(installation.writeFile(u"PLP018.E1"_s, "marker"));
        QVERIFY(installation.writeFile(u"0010/SE01234S.SE1"_s, "old"));

        const QString window = XvfbDisplay::exactTitlePattern(u"***"_s + Catalog::displayText("mainA"));
        const QString box = XvfbDisplay::exactTitlePattern(u"*** Warring"_s);
        int step = 0;
        QStringList seen;
        const TavRun run = installation.run({u"-a"_s, u"F=Up"_s}, 60000, [&] {
            switch (step) {
            case 0: // the number field has the focus from the start; Tab then reaches "FtpA"
                if (!display.isVisible(window))
                    return;
                display.typeInto(window, {u"type"_s, u"1234"_s});
                display.typeInto(window, {u"key"_s, u"Tab"_s, u"space"_s});
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
        QVERIFY2(run.standardError.contains("libQt6Widgets"), "the loader reported nothing");
        QVERIFY2(!run.standardError.contains("libcurl"), "libcurl was loaded without a transfer");

        // The present file is left as it was and reported with its number and path.
        QCOMPARE(installation.readFile(u"0010/SE01234S.SE1"_s), "old"_ba);
        char expected[400];
        std::snprintf(expected, sizeof expected, Catalog::text("As%is")->constData(), 1234,
            "./"
            "/0010/SE01234S.SE1");
        QCOMPARE(installation.log(), "** **\n"_ba + expected + '\n');
        const QByteArray settings = installation.settings();
        QVERIFY2(settings.contains("\nNAst=1234\n"), settings.constData());
    }
};

QTEST_GUILESS_MAIN(TestAsteroidRun)
#include "tst_asteroidrun.moc"
