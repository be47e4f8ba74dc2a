#include "widgets/bytedateedit.h"
#include "widgets/bytetimeedit.h"
#include "widgets/dval.h"
#include "widgets/tval.h"

#include <QDate>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Keys of a row: a single character is typed as that character, anything else names a key.
void press(QWidget *edit, const QStringList &keys)
{
    for (const QString &key : keys) {
        if (key == u"Up")
            QTest::keyClick(edit, Qt::Key_Up);
        else if (key == u"Down")
            QTest::keyClick(edit, Qt::Key_Down);
        else if (key == u"Left")
            QTest::keyClick(edit, Qt::Key_Left);
        else if (key == u"Right")
            QTest::keyClick(edit, Qt::Key_Right);
        else if (key == u"Home")
            QTest::keyClick(edit, Qt::Key_Home);
        else if (key == u"Backspace")
            QTest::keyClick(edit, Qt::Key_Backspace);
        else if (key == u"Delete")
            QTest::keyClick(edit, Qt::Key_Delete);
        else if (key.size() == 1)
            QTest::keyClick(edit, key.at(0).toLatin1());
        else
            QFAIL(qPrintable(u"unknown key in test row: "_s + key));
    }
}

QStringList keys(const char *spaced)
{
    return QString::fromLatin1(spaced).split(u'|');
}

} // namespace

class TestDateEdits final : public QObject
{
    Q_OBJECT

private slots:
    void dateKeys_data();
    void dateKeys();
    void timeKeys_data();
    void timeKeys();
    void initialTexts();
    void outsideTextIsNormalisedEveryTime();
    void validatorsWithoutEdit_data();
    void validatorsWithoutEdit();
    void otherKeysReachTheEdit();
};

void TestDateEdits::dateKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCursor");

    // Overwrite typing and corrections.
    QTest::newRow("month 25 becomes 10") << u"15.05.2020"_s << 3 << keys("2") << u"15.10.2020"_s << 4;
    QTest::newRow("month digit jumps the dot") << u"15.05.2020"_s << 4 << keys("9") << u"15.09.2020"_s << 6;
    QTest::newRow("day digit") << u"15.05.2020"_s << 0 << keys("2") << u"25.05.2020"_s << 1;
    QTest::newRow("day 31 in a 30-day month") << u"15.04.2021"_s << 0 << keys("3|1") << u"30.04.2021"_s << 3;
    QTest::newRow("day 00 becomes 01") << u"15.05.2020"_s << 0 << keys("0|0") << u"01.05.2020"_s << 3;
    QTest::newRow("month 00 becomes 01") << u"15.05.2020"_s << 3 << keys("0|0") << u"15.01.2020"_s << 6;
    QTest::newRow("whole date typed")
        << u"01.01.2000"_s << 0 << keys("2|4|1|2|1|9|9|9") << u"24.12.1999"_s << 10;
    QTest::newRow("29 February lost with the leap year")
        << u"29.02.2024"_s << 6 << keys("2|0|2|3") << u"28.02.2023"_s << 10;
    QTest::newRow("February 4000 is common")
        << u"29.02.2000"_s << 6 << keys("4|0|0|0") << u"28.02.4000"_s << 10;
    QTest::newRow("minus makes a negative year") << u"15.05.2020"_s << 6 << keys("-") << u"15.05.-020"_s << 7;

    // Stepping without wrap.
    QTest::newRow("Up month to February") << u"31.01.2021"_s << 3 << keys("Up") << u"28.02.2021"_s << 3;
    QTest::newRow("Up month to leap February") << u"31.01.2024"_s << 3 << keys("Up") << u"29.02.2024"_s << 3;
    QTest::newRow("Down first day") << u"01.01.2020"_s << 0 << keys("Down") << u"01.01.2020"_s << 0;
    QTest::newRow("Down first month") << u"01.01.2020"_s << 3 << keys("Down") << u"01.01.2020"_s << 3;
    QTest::newRow("Up December") << u"12.12.2020"_s << 3 << keys("Up") << u"12.12.2020"_s << 3;
    QTest::newRow("Up last day of month") << u"31.01.2020"_s << 1 << keys("Up") << u"31.01.2020"_s << 1;
    QTest::newRow("Up day") << u"09.01.2020"_s << 1 << keys("Up|Up") << u"11.01.2020"_s << 1;
    QTest::newRow("Up year from leap day") << u"29.02.2024"_s << 8 << keys("Up") << u"28.02.2025"_s << 8;
    QTest::newRow("Down year below zero") << u"01.01.0000"_s << 6 << keys("Down") << u"01.01.-001"_s << 6;
    QTest::newRow("Up month at the dot") << u"10.05.2020"_s << 5 << keys("Up") << u"10.06.2020"_s << 5;

    // Nothing is ever removed; letters and blanks are ignored.
    QTest::newRow("Backspace") << u"15.05.2020"_s << 4 << keys("Backspace") << u"15.05.2020"_s << 4;
    QTest::newRow("Delete") << u"15.05.2020"_s << 4 << keys("Delete") << u"15.05.2020"_s << 4;
    QTest::newRow("letter and blank") << u"15.05.2020"_s << 0 << keys("a| |Z|.") << u"15.05.2020"_s << 0;

    // The cursor jumps over the separators.
    QTest::newRow("Left at 3") << u"15.05.2020"_s << 3 << keys("Left") << u"15.05.2020"_s << 1;
    QTest::newRow("Left at 6") << u"15.05.2020"_s << 6 << keys("Left") << u"15.05.2020"_s << 4;
    QTest::newRow("Right at 1") << u"15.05.2020"_s << 1 << keys("Right") << u"15.05.2020"_s << 3;
    QTest::newRow("Right at 4") << u"15.05.2020"_s << 4 << keys("Right") << u"15.05.2020"_s << 6;
    QTest::newRow("Right at 2 is a plain move")
        << u"15.05.2020"_s << 2 << keys("Right") << u"15.05.2020"_s << 3;
    QTest::newRow("Right at 5 is a plain move")
        << u"15.05.2020"_s << 5 << keys("Right") << u"15.05.2020"_s << 6;
    QTest::newRow("Left at 2 is a plain move")
        << u"15.05.2020"_s << 2 << keys("Left") << u"15.05.2020"_s << 1;
    QTest::newRow("Home") << u"15.05.2020"_s << 7 << keys("Home") << u"15.05.2020"_s << 0;
}

void TestDateEdits::dateKeys()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QStringList, keys);
    QFETCH(QString, expected);
    QFETCH(int, expectedCursor);

    ByteDateEdit edit(text.toLatin1());
    QCOMPARE(edit.text(), text);
    edit.show();
    edit.setCursorPosition(cursor);
    press(&edit, keys);
    QCOMPARE(edit.text(), expected);
    QCOMPARE(edit.cursorPosition(), expectedCursor);
    QVERIFY(!edit.isReformatted());
}

void TestDateEdits::timeKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCursor");

    QTest::newRow("hour digits") << u"10:20:30"_s << 0 << keys("2|3") << u"23:20:30"_s << 3;
    QTest::newRow("hour 30 refused") << u"10:20:30"_s << 0 << keys("3") << u"10:20:30"_s << 0;
    QTest::newRow("hour 24 refused") << u"20:20:30"_s << 1 << keys("4") << u"20:20:30"_s << 1;
    QTest::newRow("minute 60 refused") << u"10:20:30"_s << 3 << keys("6") << u"10:20:30"_s << 3;
    QTest::newRow("minute digits jump") << u"10:20:30"_s << 3 << keys("5|9") << u"10:59:30"_s << 6;
    QTest::newRow("seconds digits") << u"10:20:30"_s << 6 << keys("4|5") << u"10:20:45"_s << 8;
    QTest::newRow("refusal keeps later keys")
        << u"10:20:30"_s << 0 << keys("7|2|Right|5") << u"20:50:30"_s << 4;
    QTest::newRow("minus ignored") << u"10:20:30"_s << 0 << keys("-") << u"10:20:30"_s << 0;
    QTest::newRow("letters ignored") << u"10:20:30"_s << 3 << keys("x| ") << u"10:20:30"_s << 3;
    QTest::newRow("Backspace and Delete")
        << u"10:20:30"_s << 4 << keys("Backspace|Delete") << u"10:20:30"_s << 4;

    QTest::newRow("Up wraps at midnight") << u"23:59:59"_s << 6 << keys("Up") << u"00:00:00"_s << 6;
    QTest::newRow("Up hour wraps") << u"23:30:00"_s << 0 << keys("Up") << u"00:30:00"_s << 0;
    QTest::newRow("Down at midnight") << u"00:00:00"_s << 0 << keys("Down") << u"00:00:00"_s << 0;
    QTest::newRow("Down second at midnight") << u"00:00:00"_s << 6 << keys("Down") << u"00:00:00"_s << 6;
    QTest::newRow("Down hour below zero") << u"00:30:00"_s << 1 << keys("Down") << u"00:30:00"_s << 1;
    QTest::newRow("Up minute carries") << u"10:59:30"_s << 4 << keys("Up") << u"11:00:30"_s << 4;
    QTest::newRow("Down second borrows") << u"01:00:00"_s << 7 << keys("Down") << u"00:59:59"_s << 7;

    QTest::newRow("Left at 3") << u"10:20:30"_s << 3 << keys("Left") << u"10:20:30"_s << 1;
    QTest::newRow("Right at 4") << u"10:20:30"_s << 4 << keys("Right") << u"10:20:30"_s << 6;
}

void TestDateEdits::timeKeys()
{
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QStringList, keys);
    QFETCH(QString, expected);
    QFETCH(int, expectedCursor);

    ByteTimeEdit edit(text.toLatin1());
    edit.show();
    edit.setCursorPosition(cursor);
    press(&edit, keys);
    QCOMPARE(edit.text(), expected);
    QCOMPARE(edit.cursorPosition(), expectedCursor);
}

void TestDateEdits::initialTexts()
{
    const QString before = QDate::currentDate().toString(u"dd.MM.yyyy"_s);
    ByteDateEdit date;
    // Built across midnight, the edit may hold either day.
    QVERIFY2(date.text() == before || date.text() == QDate::currentDate().toString(u"dd.MM.yyyy"_s),
        qPrintable(date.text()));
    QCOMPARE(date.cursorPosition(), 0);
    QVERIFY(dynamic_cast<const DVal *>(date.validator()));
    QCOMPARE(date.validator()->parent(), &date);

    ByteTimeEdit time;
    QCOMPARE(time.text(), u"00:00:00"_s);
    QCOMPARE(time.cursorPosition(), 0);
    QVERIFY(dynamic_cast<const TVal *>(time.validator()));

    // A stored text is shown as it was stored, even when it is not canonical.
    ByteDateEdit stored(QByteArray("7.3.1990"));
    QCOMPARE(stored.text(), u"7.3.1990"_s);
    ByteTimeEdit storedTime(QByteArray("25:00"));
    QCOMPARE(storedTime.text(), u"25:00"_s);
}

void TestDateEdits::outsideTextIsNormalisedEveryTime()
{
    // Texts set from outside (calendar, restored values) go through the validator; a canonical
    // text must not leave the edit waiting to let the next one through unchecked.
    ByteDateEdit edit(QByteArray("15.05.2020"));
    edit.show();
    edit.setCursorPosition(0);
    QTest::keyClick(&edit, '2');
    QCOMPARE(edit.text(), u"25.05.2020"_s);
    edit.setText(u"10.10.2010"_s);
    QCOMPARE(edit.text(), u"10.10.2010"_s);
    edit.setText(u"31.02.2021"_s);
    QCOMPARE(edit.text(), u"28.02.2021"_s);
    edit.setText(u"31.04.2021"_s);
    QCOMPARE(edit.text(), u"30.04.2021"_s);

    ByteTimeEdit time(QByteArray("10:20:30"));
    time.setText(u"11:22:33"_s);
    QCOMPARE(time.text(), u"11:22:33"_s);
    time.setText(u"23:5"_s);
    QCOMPARE(time.text(), u"23:05:00"_s);
}

void TestDateEdits::validatorsWithoutEdit_data()
{
    QTest::addColumn<bool>("time");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("outputPos");

    const int ok = QValidator::Acceptable;
    QTest::newRow("date overtype") << false << u"15.205.2020"_s << 4 << ok << u"15.10.2020"_s << 4;
    QTest::newRow("date cursor at end") << false << u"31.06.2021"_s << 10 << ok << u"30.06.2021"_s << 10;
    QTest::newRow("date empty") << false << QString() << 0 << ok << u"01.01.0000"_s << 0;
    QTest::newRow("date short year") << false << u"01.02.3"_s << 7 << ok << u"01.02.0003"_s << 7;
    QTest::newRow("date pos before dot") << false << u"155.05.2020"_s << 2 << ok << u"15.05.2020"_s << 3;
    QTest::newRow("date day and month too big")
        << false << u"99.13.2020"_s << 10 << ok << u"31.10.2020"_s << 10;
    QTest::newRow("time overtype") << true << u"120:20:30"_s << 1 << ok << u"10:20:30"_s << 1;
    QTest::newRow("time seconds 61") << true << u"10:20:61"_s << 8 << int(QValidator::Invalid)
                                     << u"10:20:61"_s << 8;
    QTest::newRow("time before colon") << true << u"123:20:30"_s << 2 << ok << u"12:20:30"_s << 3;
}

void TestDateEdits::validatorsWithoutEdit()
{
    QFETCH(bool, time);
    QFETCH(QString, input);
    QFETCH(int, pos);
    QFETCH(int, state);
    QFETCH(QString, output);
    QFETCH(int, outputPos);

    DVal dateValidator;
    TVal timeValidator;
    const QValidator &validator = time ? static_cast<const QValidator &>(timeValidator) : dateValidator;
    QCOMPARE(int(validator.validate(input, pos)), state);
    QCOMPARE(input, output);
    QCOMPARE(pos, outputPos);
}

void TestDateEdits::otherKeysReachTheEdit()
{
    // A parent sees only what the edit does not take: swallowed characters stop at the edit.
    QWidget parent;
    auto *edit = new ByteDateEdit(QByteArray("15.05.2020"), &parent);
    parent.show();
    QTest::keyClick(edit, Qt::Key_End);
    QCOMPARE(edit->cursorPosition(), 10);
    QSignalSpy returns(edit, &QLineEdit::returnPressed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(returns.count(), 1);
}

QTEST_MAIN(TestDateEdits)
#include "tst_dateedits.moc"
