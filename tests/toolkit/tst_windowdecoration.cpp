#include "toolkit/windowdecoration.h"

#include <QDir>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

class TestWindowDecoration : public QObject
{
    Q_OBJECT

private slots:
    void flags_data();
    void flags();
    void iconComesFromWorkingDirectory();
    void deleteOnClose();
};

void TestWindowDecoration::flags_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<Qt::WindowType>("type");
    QTest::addColumn<bool>("customFrame");

    QTest::newRow("none keeps a child widget") << 0 << Qt::Widget << false;
    QTest::newRow("1 plain window") << 1 << Qt::Window << false;
    QTest::newRow("4 dialog frame") << 4 << Qt::Dialog << true;
    QTest::newRow("1+4: the dialog frame wins") << 5 << Qt::Dialog << true;
    QTest::newRow("1+2+4 as the run-mode windows use it") << 7 << Qt::Dialog << true;
}

void TestWindowDecoration::flags()
{
    QFETCH(int, bits);
    QFETCH(Qt::WindowType, type);
    QFETCH(bool, customFrame);

    QWidget parent;
    auto *widget = new QWidget(&parent);
    decorateWindow(widget, u"Title"_s, WindowDecorations::fromInt(bits));

    QCOMPARE(widget->windowType(), type);
    QCOMPARE(widget->windowTitle(), u"***Title"_s);
    const Qt::WindowFlags f = widget->windowFlags();
    QCOMPARE(bool(f & Qt::CustomizeWindowHint), customFrame);
    if (customFrame) {
        QVERIFY(f & Qt::WindowCloseButtonHint);
        QVERIFY(f & Qt::WindowTitleHint);
        QVERIFY(f & Qt::WindowSystemMenuHint);
        QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(f & Qt::WindowContextHelpButtonHint));
    }
    QVERIFY(!widget->testAttribute(Qt::WA_DeleteOnClose));
}

void TestWindowDecoration::iconComesFromWorkingDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    QWidget without;
    decorateWindow(&without, u"x"_s, WindowDecoration::Icon);
    QVERIFY(without.windowIcon().availableSizes().isEmpty());

    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(dir.filePath(u"qt.png"_s)));

    QWidget plain;
    decorateWindow(&plain, u"x"_s, WindowDecoration::Window);
    QVERIFY(plain.windowIcon().availableSizes().isEmpty());

    QWidget with;
    decorateWindow(&with, u"x"_s, WindowDecoration::Icon);
    const QPixmap pixmap = with.windowIcon().pixmap(16, 16);
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.toImage().pixelColor(8, 8), QColor(Qt::red));
    QCOMPARE(with.windowTitle(), u"***x"_s);

    QVERIFY(QDir::setCurrent(previous));
}

void TestWindowDecoration::deleteOnClose()
{
    QPointer<QWidget> window = new QWidget;
    decorateWindow(window, QString(), WindowDecoration::Window | WindowDecoration::DeleteOnClose);
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(window->windowTitle(), u"***"_s);
    window->show();
    window->close();
    QTRY_VERIFY(window.isNull());
}

QTEST_MAIN(TestWindowDecoration)
#include "tst_windowdecoration.moc"
