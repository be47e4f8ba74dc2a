#include "toolkit/windowdecoration.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
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
    void focusFirstField_data();
    void focusFirstField();
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

void TestWindowDecoration::focusFirstField_data()
{
    QTest::addColumn<QStringList>("widgets"); // kind, optionally ":disabled" or ":hidden"; named w0, w1, ...
    QTest::addColumn<QString>("focused"); // empty: none

    QTest::newRow("labels take no focus") << QStringList{u"label"_s, u"edit"_s, u"button"_s} << u"w1"_s;
    QTest::newRow("disabled and hidden fields are passed over")
        << QStringList{u"edit:disabled"_s, u"edit:hidden"_s, u"button"_s, u"edit"_s} << u"w2"_s;
    QTest::newRow("a spin box types into its own edit") << QStringList{u"label"_s, u"spin"_s} << u"w1"_s;
    QTest::newRow("nothing to focus") << QStringList{u"label"_s, u"button:hidden"_s} << QString();
}

void TestWindowDecoration::focusFirstField()
{
    QFETCH(QStringList, widgets);
    QFETCH(QString, focused);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    for (int i = 0; i < widgets.size(); ++i) {
        const QStringList parts = widgets.at(i).split(u':');
        QWidget *widget = nullptr;
        if (parts.first() == u"label"_s)
            widget = new QLabel(u"text"_s);
        else if (parts.first() == u"edit"_s)
            widget = new QLineEdit;
        else if (parts.first() == u"spin"_s)
            widget = new QSpinBox;
        else
            widget = new QPushButton(u"text"_s);
        widget->setObjectName(u"w%1"_s.arg(i));
        widget->setEnabled(!parts.contains(u"disabled"_s));
        layout->addWidget(widget);
        if (parts.contains(u"hidden"_s))
            widget->hide();
    }
    QWidget *field = ::focusFirstField(&window);
    QCOMPARE(field ? field->objectName() : QString(), focused);
    // The window opens with that field focused.
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget *focus = QApplication::focusWidget();
    if (field)
        QVERIFY(focus && (focus == field || field->isAncestorOf(focus)));
    else
        QVERIFY(!focus || focus == &window);
}

QTEST_MAIN(TestWindowDecoration)
#include "tst_windowdecoration.moc"
