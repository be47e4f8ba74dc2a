#include "shell/catalog.h"
#include "widgets/bytedateedit.h"
#include "widgets/bytedatewid.h"
#include "widgets/dcald.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString format = u"dd.MM.yyyy"_s;

QPushButton *button(QWidget *dialog, const QString &name)
{
    return dialog->findChild<QPushButton *>(name);
}

// Clicks the cell of a day of the shown month; days 13 to 22 appear once in any month's grid.
bool clickDay(QCalendarWidget *calendar, int day)
{
    auto *view = calendar->findChild<QTableView *>();
    if (!view || day < 13 || day > 22)
        return false;
    const QAbstractItemModel *model = view->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(row, column);
            if (model->data(index).toString() == QString::number(day)) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
                return true;
            }
        }
    }
    return false;
}

} // namespace

class TestCalendar final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void dialogParts();
    void yearButtons_data();
    void yearButtons();
    void closing_data();
    void closing();
    void dateWidgetParts();
    void dateWidget_data();
    void dateWidget();
};

void TestCalendar::initTestCase()
{
    Catalog::load(QStringLiteral(TAV_BIN_DIR "/tav.t"));
    QVERIFY(Catalog::isLoaded());
}

void TestCalendar::cleanupTestCase()
{
    Catalog::clear();
}

void TestCalendar::dialogParts()
{
    DCald dialog(QDate(2020, 5, 15));
    QCOMPARE(dialog.windowTitle(), Catalog::displayText("Cal"));
    QVERIFY(dialog.windowTitle() != u"Cal"_s);

    QCalendarWidget *calendar = dialog.calendar();
    QCOMPARE(calendar->parent() != nullptr, true);
    QCOMPARE(calendar->selectedDate(), QDate(2020, 5, 15));
    QCOMPARE(calendar->firstDayOfWeek(), Qt::Monday);
    QCOMPARE(calendar->verticalHeaderFormat(), QCalendarWidget::NoVerticalHeader);
    QVERIFY(calendar->isGridVisible());

    // One row of buttons, in this order, each showing its key's text from the catalog.
    const QStringList keys{u"Ok"_s, u"Can"_s, u"Y+"_s, u"Y-"_s};
    QPushButton *first = button(&dialog, keys.first());
    QVERIFY(first);
    auto *row = qobject_cast<QHBoxLayout *>(dialog.layout()->itemAt(1)->layout());
    QVERIFY(row);
    QCOMPARE(row->count(), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        QPushButton *b = button(&dialog, keys.at(i));
        QVERIFY2(b, qPrintable(keys.at(i)));
        QCOMPARE(row->itemAt(i)->widget(), b);
        QCOMPARE(b->text(), Catalog::displayText(keys.at(i).toLatin1()));
        QVERIFY(!b->text().isEmpty() && b->text() != keys.at(i));
        QVERIFY(!b->isDefault());
    }
}

void TestCalendar::yearButtons_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QDate>("expected");

    QTest::newRow("leap day forward") << QDate(2024, 2, 29) << QStringList{u"Y+"_s} << QDate(2025, 2, 28);
    QTest::newRow("leap day back") << QDate(2024, 2, 29) << QStringList{u"Y-"_s} << QDate(2023, 2, 28);
    QTest::newRow("leap day is not restored")
        << QDate(2024, 2, 29) << QStringList{u"Y+"_s, u"Y-"_s} << QDate(2024, 2, 28);
    QTest::newRow("two years forward")
        << QDate(2020, 6, 15) << QStringList{u"Y+"_s, u"Y+"_s} << QDate(2022, 6, 15);
    QTest::newRow("to the next leap day") << QDate(2023, 2, 28) << QStringList{u"Y+"_s} << QDate(2024, 2, 28);
}

void TestCalendar::yearButtons()
{
    QFETCH(QDate, start);
    QFETCH(QStringList, clicks);
    QFETCH(QDate, expected);

    DCald dialog(start, nullptr, 1);
    dialog.show();
    for (const QString &name : clicks)
        QTest::mouseClick(button(&dialog, name), Qt::LeftButton);
    QCOMPARE(dialog.calendar()->selectedDate(), expected);
    // The year buttons never close the dialog.
    QVERIFY(dialog.isVisible());
}

void TestCalendar::closing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<int>("result");
    QTest::addColumn<QDate>("selected");

    const QDate start(2021, 3, 10);
    QTest::newRow("Ok") << 0 << u"Ok"_s << false << int(QDialog::Accepted) << start;
    QTest::newRow("Can") << 0 << u"Can"_s << false << int(QDialog::Rejected) << start;
    QTest::newRow("day click in mode 0")
        << 0 << u"day"_s << false << int(QDialog::Accepted) << QDate(2021, 3, 18);
    QTest::newRow("day click in mode 1")
        << 1 << u"day"_s << true << int(QDialog::Rejected) << QDate(2021, 3, 18);
    QTest::newRow("Ok in mode 1") << 1 << u"Ok"_s << false << int(QDialog::Accepted) << start;
}

void TestCalendar::closing()
{
    QFETCH(int, mode);
    QFETCH(QString, action);
    QFETCH(bool, stillOpen);
    QFETCH(int, result);
    QFETCH(QDate, selected);

    DCald dialog(QDate(2021, 3, 10), nullptr, mode);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (action == u"day")
        QVERIFY(clickDay(dialog.calendar(), 18));
    else
        QTest::mouseClick(button(&dialog, action), Qt::LeftButton);
    QCOMPARE(dialog.isVisible(), stillOpen);
    QCOMPARE(dialog.result(), result);
    QCOMPARE(dialog.calendar()->selectedDate(), selected);
}

void TestCalendar::dateWidgetParts()
{
    ByteDateWid widget(QByteArray("15.05.2020"));
    QCOMPARE(widget.dateEdit()->text(), u"15.05.2020"_s);
    QCOMPARE(widget.dateEdit()->parentWidget(), &widget);
    QCOMPARE(widget.calendarButton()->text(), u"K"_s);
    QCOMPARE(widget.calendarButton()->parentWidget(), &widget);
    auto *layout = qobject_cast<QHBoxLayout *>(widget.layout());
    QVERIFY(layout);
    QCOMPARE(layout->contentsMargins(), QMargins());
    QCOMPARE(layout->stretch(layout->indexOf(widget.dateEdit())), 10);
    QCOMPARE(layout->stretch(layout->indexOf(widget.calendarButton())), 1);

    ByteDateWid today;
    QCOMPARE(QDate::fromString(today.dateEdit()->text(), format).isValid(), true);
}

void TestCalendar::dateWidget_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QDate>("opensOn");
    QTest::addColumn<QString>("expected");

    const QDate today = QDate::currentDate();
    QTest::newRow("day clicked") << QByteArray("15.05.2020") << QStringList{u"day"_s} << QDate(2020, 5, 15)
                                 << u"20.05.2020"_s;
    QTest::newRow("cancelled") << QByteArray("15.05.2020") << QStringList{u"Can"_s} << QDate(2020, 5, 15)
                               << u"15.05.2020"_s;
    QTest::newRow("window closed") << QByteArray("15.05.2020") << QStringList{u"close"_s}
                                   << QDate(2020, 5, 15) << u"15.05.2020"_s;
    QTest::newRow("year forward then Ok")
        << QByteArray("29.02.2024") << QStringList{u"Y+"_s, u"Ok"_s} << QDate(2024, 2, 29) << u"28.02.2025"_s;
    QTest::newRow("trailing blanks") << QByteArray("03.04.2005  ") << QStringList{u"Ok"_s}
                                     << QDate(2005, 4, 3) << u"03.04.2005"_s;
    QTest::newRow("negative year opens today")
        << QByteArray("01.01.-001") << QStringList{u"Ok"_s} << today << today.toString(format);
    // The day grid has the focus when the dialog opens.
    QTest::newRow("arrow key, then Ok") << QByteArray("15.05.2020") << QStringList{u"Right"_s, u"Ok"_s}
                                        << QDate(2020, 5, 15) << u"16.05.2020"_s;
    QTest::newRow("garbage opens today, cancel keeps it")
        << QByteArray("abc") << QStringList{u"Can"_s} << today << u"abc"_s;
}

void TestCalendar::dateWidget()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, actions);
    QFETCH(QDate, opensOn);
    QFETCH(QString, expected);

    ByteDateWid widget(text);
    widget.show();

    QDate shown;
    bool stayedOpen = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<DCald *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown = dialog->calendar()->selectedDate();
        for (const QString &action : actions) {
            if (action == u"day")
                clickDay(dialog->calendar(), 20);
            else if (action == u"close")
                dialog->close();
            else if (action == u"Right" && dialog->focusWidget())
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Right);
            else if (action == u"Right")
                continue; // no field has the focus: the key goes nowhere
            else
                QTest::mouseClick(button(dialog, action), Qt::LeftButton);
        }
        // Never leave the test waiting in the dialog's event loop.
        if (dialog->isVisible()) {
            stayedOpen = true;
            dialog->reject();
        }
    });
    QTest::mouseClick(widget.calendarButton(), Qt::LeftButton);

    QVERIFY(!stayedOpen);
    QCOMPARE(shown, opensOn);
    QCOMPARE(widget.dateEdit()->text(), expected);
}

QTEST_MAIN(TestCalendar)
#include "tst_calendar.moc"
