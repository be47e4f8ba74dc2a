#include "forms/formfixture.h"

#include "forms/choicegroups.h"
#include "forms/filtr.h"
#include "forms/formfields.h"
#include "forms/formitems.h"
#include "support/flagset.h"
#include "toolkit/widgethelpers.h"
#include "widgets/bytedateedit.h"
#include "widgets/bytedatewid.h"
#include "widgets/bytetimeedit.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

using FormFixture::boxHolding;
using namespace Qt::StringLiterals;

// A dialog that records the object names of the buttons that call its Knop().
class OwnerDialog : public QDialog
{
    Q_OBJECT

public slots:
    void Knop() { clicks.append(sender()->objectName()); }

public:
    QStringList clicks;
};

class TestFormItems : public QObject
{
    Q_OBJECT

private:
    // Builds one item into a fresh host; the catalog holds the given lines.
    void build(const QString &catalog, QByteArrayView type, QByteArrayView name)
    {
        QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), catalog));
        m_host = std::make_unique<OwnerDialog>();
        m_layout = new QVBoxLayout(m_host.get());
        FormItems::buildItem(type, name, m_layout, m_host.get());
    }
    template <typename T> T *child(const QString &name) const { return m_host->findChild<T *>(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<OwnerDialog> m_host;
    QVBoxLayout *m_layout = nullptr;

private slots:
    void init();
    void cleanup();

    void kinds_data();
    void kinds();
    void pushButton_data();
    void pushButton();
    void okCancelRow();
    void label_data();
    void label();
    void spinBox_data();
    void spinBox();
    void rememberedCombo_data();
    void rememberedCombo();
    void comboBeside();
    void lineEdit_data();
    void lineEdit();
    void dateTimeEdit_data();
    void dateTimeEdit();
    void dateAndTimeFields();
    void picture();
    void helpText();
    void radioGroup_data();
    void radioGroup();
    void checkBoxGroup_data();
    void checkBoxGroup();
    void catalogList();
    void fileList_data();
    void fileList();
    void checkList_data();
    void checkList();
    void formRows();
};

void TestFormItems::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestFormItems::cleanup()
{
    m_host.reset();
    Catalog::clear();
    Settings::reset();
}

void TestFormItems::kinds_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QByteArray>("className");

    QTest::newRow("AH") << QByteArray("AH-Help") << u"Help"_s << QByteArray("QLabel");
    QTest::newRow("A") << QByteArray("A-Head") << u"Head"_s << QByteArray("QLabel");
    QTest::newRow("C") << QByteArray("C-Opts") << u"COpts"_s << QByteArray("QGroupBox");
    QTest::newRow("DT") << QByteArray("DT-When") << u"When"_s << QByteArray("QDateTimeEdit");
    QTest::newRow("D") << QByteArray("D-Birth") << u"Birth"_s << QByteArray("ByteDateWid");
    QTest::newRow("Dx is a date too") << QByteArray("Dx-Birth") << u"Birth"_s << QByteArray("ByteDateWid");
    QTest::newRow("Tm") << QByteArray("Tm-At") << u"At"_s << QByteArray("ByteTimeEdit");
    QTest::newRow("R") << QByteArray("R-Mode") << u"RMode"_s << QByteArray("QGroupBox");
    QTest::newRow("S") << QByteArray("S-Count") << u"Count"_s << QByteArray("QSpinBox");
    QTest::newRow("IM") << QByteArray("IM-qt.png") << u"qt"_s << QByteArray("QLabel");
    QTest::newRow("HT") << QByteArray("HT-Lang") << u"Lang"_s << QByteArray("QComboBox");
    QTest::newRow("H") << QByteArray("H-Site") << u"Site"_s << QByteArray("QComboBox");
    QTest::newRow("E") << QByteArray("E-Path") << u"Path"_s << QByteArray("QLineEdit");
    QTest::newRow("LF") << QByteArray("LF-Files-list.txt") << u"Files"_s << QByteArray("QListWidget");
    QTest::newRow("LK") << QByteArray("LK-Days") << u"Days"_s << QByteArray("QListWidget");
    QTest::newRow("L") << QByteArray("Lx-Empty") << u"Empty"_s << QByteArray("QListWidget");
    QTest::newRow("M") << QByteArray("M-Pick") << u"Pick"_s << QByteArray("QListWidget");
    QTest::newRow("M with check set") << QByteArray("M-Pick_3") << u"Pick_3"_s << QByteArray("QListWidget");
}

void TestFormItems::kinds()
{
    QFETCH(QByteArray, item);
    QFETCH(QString, objectName);
    QFETCH(QByteArray, className);

    QFile list(m_dir->filePath(u"list.txt"_s));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("one\ntwo\n");
    list.close();

    const qsizetype dash = item.indexOf('-');
    build(u"Days Mon/Tue\nPick A/B\nMode M/x/y\nOpts O/a/b\n"_s, item.first(dash), item.sliced(dash + 1));
    QWidget *widget = child<QWidget>(objectName);
    QVERIFY(widget);
    QCOMPARE(QByteArray(widget->metaObject()->className()), className);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestFormItems::pushButton_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stretch");

    QTest::newRow("two lines, suffix cut") << u"Load:file[3]"_s << u"Load\nfile"_s << 2;
    QTest::newRow("leading bracket empties") << u"[x]Go"_s << QString() << 1;
    QTest::newRow("plain") << u"Go on"_s << u"Go on"_s << 1;
    QTest::newRow("three lines") << u"a:b:c"_s << u"a\nb\nc"_s << 3;
    QTest::newRow("cut at 99") << QString(120, u'w') << QString(99, u'w') << 1;
    QTest::newRow("cyrillic") << u"Пуск"_s << u"Пуск"_s << 1;
}

void TestFormItems::pushButton()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, stretch);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Go "_s + text + u'\n'));
    QHBoxLayout layout;
    std::unique_ptr<QPushButton> button(WidgetHelpers::makePushButton("Go", &layout));
    QCOMPARE(button->text(), shown);
    QCOMPARE(button->sizePolicy().verticalStretch(), stretch);
    QCOMPARE(button->objectName(), u"Go"_s);
    QVERIFY(!button->isDefault());
    QCOMPARE(layout.indexOf(button.get()), 0);
}

void TestFormItems::okCancelRow()
{
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Ok Fine\nCan Stop\n"_s));
    OwnerDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    FormFields::makeOkCancelRow(&dialog, layout, "Ok", "Can");
    auto *ok = dialog.findChild<QPushButton *>(u"Ok"_s);
    auto *cancel = dialog.findChild<QPushButton *>(u"Can"_s);
    QVERIFY(ok && cancel);
    QCOMPARE(ok->text(), u"Fine"_s);

    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
}

void TestFormItems::label_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("rowText");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("bold");

    QTest::newRow("lines, row text, red") << u"Total:sum[Row]#ff0000"_s << QByteArray("A") << u"Total\nsum"_s
                                          << QByteArray("Row") << QColor(255, 0, 0) << false;
    QTest::newRow("green") << u"Note#00ff00"_s << QByteArray("A") << u"Note"_s << QByteArray()
                           << QColor(0, 255, 0) << false;
    QTest::newRow("green with its own #")
        << u"Note##00ff00"_s << QByteArray("A") << u"Note"_s << QByteArray() << QColor(0, 255, 0) << false;
    QTest::newRow("bold") << u"Head"_s << QByteArray("Ab") << u"Head"_s << QByteArray() << QColor() << true;
    QTest::newRow("unknown colour keeps the background")
        << u"Note#red"_s << QByteArray("A") << u"Note"_s << QByteArray() << QColor() << false;
    QTest::newRow("row text cut at 19") << u"x["_s + QString(30, u'r') + u"]"_s << QByteArray("A") << u"x"_s
                                        << QByteArray(19, 'r') << QColor() << false;
    QTest::newRow("text cut at 199") << QString(250, u't') << QByteArray("A") << QString(199, u't')
                                     << QByteArray() << QColor() << false;
}

void TestFormItems::label()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, type);
    QFETCH(QString, shown);
    QFETCH(QByteArray, rowText);
    QFETCH(QColor, background);
    QFETCH(bool, bold);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Head "_s + text + u'\n'));
    QByteArray row("untouched");
    std::unique_ptr<QLabel> label(FormFields::makeLabel("Head", nullptr, type, &row));
    QCOMPARE(label->text(), shown);
    QCOMPARE(label->objectName(), u"Head"_s);
    QCOMPARE(row, rowText);
    QCOMPARE(label->autoFillBackground(), background.isValid());
    if (background.isValid())
        QCOMPARE(label->palette().color(label->backgroundRole()), background);
    QCOMPARE(label->font().bold(), bold);
}

void TestFormItems::spinBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("beside");

    QTest::newRow("range, starts at minimum")
        << u"Number of copies[1,99]"_s << QByteArray("S") << QByteArray() << 1 << 99 << 1 << false;
    QTest::newRow("caption beside") << u"Number of copies[1,99]"_s << QByteArray("Sh") << QByteArray() << 1
                                    << 99 << 1 << true;
    QTest::newRow("saved value") << u"Copies[1,99]"_s << QByteArray("S") << QByteArray("12") << 1 << 99 << 12
                                 << false;
    QTest::newRow("no range") << u"Copies"_s << QByteArray("S") << QByteArray() << 0 << 0 << 0 << false;
    QTest::newRow("negative minimum")
        << u"Shift[-5,5]"_s << QByteArray("S") << QByteArray("-3") << -5 << 5 << -3 << false;
}

void TestFormItems::spinBox()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, saved);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(bool, beside);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Count "_s + text + u'\n'));
    if (!saved.isNull())
        Settings::setValue("Count", saved);
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem(type, "Count", m_layout, m_host.get());

    auto *spin = child<QSpinBox>(u"Count"_s);
    QVERIFY(spin);
    QCOMPARE(spin->minimum(), minimum);
    QCOMPARE(spin->maximum(), maximum);
    QCOMPARE(spin->value(), value);
    QCOMPARE(spin->buttonSymbols(), QAbstractSpinBox::PlusMinus);
    QBoxLayout *pair = boxHolding(m_layout, spin);
    QVERIFY(pair && pair != m_layout);
    QCOMPARE(pair->direction(), beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    auto *caption = qobject_cast<QLabel *>(pair->itemAt(pair->indexOf(spin) - 1)->widget());
    QVERIFY(caption);
    QCOMPARE(caption->text(), text.left(text.indexOf(u'[')));
}

void TestFormItems::rememberedCombo_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("current");

    QTest::newRow("slot 4") << u"Language[4]/English/Russian"_s << 4 << u"Language"_s
                            << QStringList{u"English"_s, u"Russian"_s} << 1;
    QTest::newRow("slot out of range")
        << u"Language[25]/a/b"_s << 4 << u"Language"_s << QStringList{u"a"_s, u"b"_s} << 0;
    QTest::newRow("no bracket is slot 0")
        << u"Language/a/b/c"_s << 0 << u"Language"_s << QStringList{u"a"_s, u"b"_s, u"c"_s} << 1;
    QTest::newRow("entries unchanged")
        << u"L[2]/a[1]/b"_s << 2 << u"L"_s << QStringList{u"a[1]"_s, u"b"_s} << 1;
    QTest::newRow("no text") << QString() << 0 << QString() << QStringList() << -1;
}

void TestFormItems::rememberedCombo()
{
    QFETCH(QString, text);
    QFETCH(int, slot);
    QFETCH(QString, caption);
    QFETCH(QStringList, entries);
    QFETCH(int, current);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Lang "_s + text + u"\nOther x\n"_s));
    Settings::options()[slot] = 1;
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem("HT", "Lang", m_layout, m_host.get());

    auto *combo = child<QComboBox>(u"Lang"_s);
    QVERIFY(combo);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown.append(combo->itemText(i));
    QCOMPARE(shown, entries);
    QCOMPARE(combo->currentIndex(), current);
    QBoxLayout *pair = boxHolding(m_layout, combo);
    QCOMPARE(pair->direction(), QBoxLayout::TopToBottom);
    auto *label = qobject_cast<QLabel *>(pair->itemAt(pair->indexOf(combo) - 1)->widget());
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
}

void TestFormItems::comboBeside()
{
    // The whole text is the caption, suffix included; the owner fills the combo box.
    build(u"Site Update site[3]\n"_s, "H", "Site");
    auto *combo = child<QComboBox>(u"Site"_s);
    QVERIFY(combo);
    QCOMPARE(combo->count(), 0);
    QBoxLayout *pair = boxHolding(m_layout, combo);
    QCOMPARE(pair->direction(), QBoxLayout::LeftToRight);
    QCOMPARE(qobject_cast<QLabel *>(pair->itemAt(0)->widget())->text(), u"Update site[3]"_s);
}

void TestFormItems::lineEdit_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("beside");

    QTest::newRow("no chooser") << QByteArray("E") << 0 << false;
    QTest::newRow("directory") << QByteArray("ED") << 1 << false;
    QTest::newRow("file before several") << QByteArray("EMF") << 2 << false;
    QTest::newRow("several files") << QByteArray("EM") << 3 << false;
    QTest::newRow("directory beside") << QByteArray("EhD") << 1 << true;
}

void TestFormItems::lineEdit()
{
    QFETCH(QByteArray, type);
    QFETCH(int, mode);
    QFETCH(bool, beside);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Src Source folder[2]\n"_s));
    Settings::setValue("Src", QByteArray("C:/data"));
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem(type, "Src", m_layout, m_host.get());

    auto *edit = child<QLineEdit>(u"Src"_s);
    QVERIFY(edit);
    QCOMPARE(edit->text(), u"C:/data"_s);
    QVERIFY(edit->dragEnabled());
    QCOMPARE(edit->property("m").isValid(), mode != 0);
    QCOMPARE(edit->property("m").toInt(), mode);
    // Filtr has no meta-object of its own, so it is told apart from the edit's other children by
    // its C++ type.
    const QObjectList children = edit->children();
    const auto filters = std::count_if(children.begin(), children.end(),
        [](QObject *child) { return dynamic_cast<Filtr *>(child) != nullptr; });
    QCOMPARE(filters, mode != 0 ? 1 : 0);
    QBoxLayout *pair = boxHolding(m_layout, edit);
    QCOMPARE(pair->direction(), beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    QCOMPARE(
        qobject_cast<QLabel *>(pair->itemAt(pair->indexOf(edit) - 1)->widget())->text(), u"Source folder"_s);
}

void TestFormItems::dateTimeEdit_data()
{
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QDateTime>("expected");

    QTest::newRow("saved") << QByteArray("01.02.2003 04:05:06")
                           << QDateTime(QDate(2003, 2, 1), QTime(4, 5, 6));
    QTest::newRow("leading blanks") << QByteArray("  01.02.2003 04:05:06")
                                    << QDateTime(QDate(2003, 2, 1), QTime(4, 5, 6));
    QTest::newRow("unreadable") << QByteArray("yesterday") << QDateTime(QDate(2000, 1, 1), QTime(0, 0));
}

void TestFormItems::dateTimeEdit()
{
    QFETCH(QByteArray, saved);
    QFETCH(QDateTime, expected);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"When When[1]\n"_s));
    Settings::setValue("When", saved);
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem("DT", "When", m_layout, m_host.get());
    auto *edit = child<QDateTimeEdit>(u"When"_s);
    QVERIFY(edit);
    QCOMPARE(edit->dateTime(), expected);
    // The edit accepts nothing before the year 100; that is as early as it gets.
    QCOMPARE(edit->minimumDate(), QDate(100, 1, 1));
    QVERIFY(edit->calendarPopup());
    QVERIFY(edit->calendarWidget());
    QCOMPARE(edit->calendarWidget()->firstDayOfWeek(), Qt::Monday);
    QBoxLayout *pair = boxHolding(m_layout, edit);
    QCOMPARE(qobject_cast<QLabel *>(pair->itemAt(pair->indexOf(edit) - 1)->widget())->text(), u"When"_s);
}

void TestFormItems::dateAndTimeFields()
{
    build(u"At Time\n"_s, "DT", "Now");
    auto *now = child<QDateTimeEdit>(u"Now"_s);
    QVERIFY(now);
    QVERIFY(qAbs(now->dateTime().secsTo(QDateTime::currentDateTime())) < 60);

    Settings::setValue("Birth", QByteArray("05.06.2007"));
    Settings::setValue("At", QByteArray("12:34:56"));
    FormItems::buildItem("D", "Birth", m_layout, m_host.get());
    FormItems::buildItem("Tm", "At", m_layout, m_host.get());
    auto *date = child<ByteDateWid>(u"Birth"_s);
    QVERIFY(date);
    // The inner edit carries the same name, so that its text is stored under it.
    auto *dateEdit = date->findChild<ByteDateEdit *>(u"Birth"_s);
    QVERIFY(dateEdit);
    QCOMPARE(dateEdit->text(), u"05.06.2007"_s);
    auto *time = child<ByteTimeEdit>(u"At"_s);
    QVERIFY(time);
    QCOMPARE(time->text(), u"12:34:56"_s);
    QBoxLayout *pair = boxHolding(m_layout, time);
    QCOMPARE(qobject_cast<QLabel *>(pair->itemAt(pair->indexOf(time) - 1)->widget())->text(), u"Time"_s);
}

void TestFormItems::picture()
{
    // qt.png lies beside the test programs, not in the working directory.
    build(QString(), "IM", "qt.png");
    auto *label = child<QLabel>(u"qt"_s);
    QVERIFY(label);
    QVERIFY(!label->pixmap().isNull());

    FormItems::buildItem("IM", "missing.png", m_layout, m_host.get());
    QVERIFY(!child<QLabel>(u"missing"_s));
    QCOMPARE(m_host->findChildren<QLabel *>().size(), 1);
}

void TestFormItems::helpText()
{
    QFile file(m_dir->filePath(u"notes.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("@@Intro\na\n@@Help\n* note\nb\n@@End\n");
    file.close();
    build(u"Help notes.txt(Help)\nNone nofile.txt\n"_s, "AH", "Help");
    auto *label = child<QLabel>(u"Help"_s);
    QVERIFY(label);
    QCOMPARE(label->text(), u"b\n"_s);
    QVERIFY(label->wordWrap());
    QVERIFY(label->openExternalLinks());
    QCOMPARE(label->margin(), 10);

    FormItems::buildItem("AH", "None", m_layout, m_host.get());
    auto *empty = child<QLabel>(u"None"_s);
    QVERIFY(empty);
    QVERIFY(empty->text().isEmpty());
}

void TestFormItems::radioGroup_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<bool>("horizontal");

    const QStringList three{u"Fast"_s, u"Slow"_s, u"Exact"_s};
    QTest::newRow("slot 3 holds 1") << u"Mode[3]/Fast/Slow/Exact"_s << QByteArray("R") << u"Mode"_s << three
                                    << u"r2"_s << false;
    QTest::newRow("in a row") << u"Mode[3]/Fast/Slow/Exact"_s << QByteArray("Rh") << u"Mode"_s << three
                              << u"r2"_s << true;
    QTest::newRow("slot out of range")
        << u"Mode[30]/Fast/Slow/Exact"_s << QByteArray("R") << u"Mode"_s << three << u"r1"_s << false;
    QTest::newRow("blank title") << u" /Fast/Slow"_s << QByteArray("R") << QString()
                                 << QStringList{u"Fast"_s, u"Slow"_s} << u"r1"_s << false;
}

void TestFormItems::radioGroup()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, type);
    QFETCH(QString, title);
    QFETCH(QStringList, buttons);
    QFETCH(QString, checked);
    QFETCH(bool, horizontal);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Mode "_s + text + u'\n'));
    Settings::options()[3] = 1;
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem(type, "Mode", m_layout, m_host.get());

    auto *box = child<QGroupBox>(u"RMode"_s);
    QVERIFY(box);
    QCOMPARE(box->title(), title);
    const auto radios = box->findChildren<QRadioButton *>();
    QStringList texts;
    for (int i = 0; i < radios.size(); ++i) {
        texts.append(radios[i]->text());
        QCOMPARE(radios[i]->objectName(), u"r%1"_s.arg(i + 1));
        QCOMPARE(radios[i]->isChecked(), radios[i]->objectName() == checked);
    }
    QCOMPARE(texts, buttons);
    auto *inner = qobject_cast<QBoxLayout *>(box->layout());
    QCOMPARE(inner->direction(), horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

void TestFormItems::checkBoxGroup_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<bool>>("checked");

    QTest::newRow("own slots") << u"Options/Sound[5]/Log[6]/Beep[7]"_s << u"Options"_s
                               << QList<bool>{true, false, true};
    QTest::newRow("blank title") << u" /Sound[5]"_s << QString() << QList<bool>{true};
    QTest::newRow("no bracket is slot 0, out of range unchecked")
        << u"T/a/b[20]"_s << u"T"_s << QList<bool>{true, false};
}

void TestFormItems::checkBoxGroup()
{
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(QList<bool>, checked);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Opts "_s + text + u'\n'));
    Settings::options()[0] = 1;
    Settings::options()[5] = 1;
    Settings::options()[7] = 9;
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem("C", "Opts", m_layout, m_host.get());

    auto *box = child<QGroupBox>(u"COpts"_s);
    QVERIFY(box);
    QCOMPARE(box->title(), title);
    const auto checks = box->findChildren<QCheckBox *>();
    QCOMPARE(checks.size(), checked.size());
    for (int i = 0; i < checks.size(); ++i) {
        QCOMPARE(checks[i]->objectName(), u"c%1"_s.arg(i + 1));
        QCOMPARE(checks[i]->isChecked(), checked[i]);
    }
}

void TestFormItems::catalogList()
{
    build(u"Days Mon/Tue[7]\n"_s, "LK", "Days");
    auto *list = child<QListWidget>(u"Days"_s);
    QVERIFY(list);
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), u"Mon"_s);
    QCOMPARE(list->item(1)->text(), u"Tue"_s);
    QCOMPARE(list->item(1)->type(), 7);
    QCOMPARE(list->currentRow(), 0);
    // Four items or fewer: twice the text height, then 5/4 of it.
    const QFontMetrics metrics(list->font());
    const int lines = metrics.boundingRect(u"Mon"_s).height() + metrics.boundingRect(u"Tue"_s).height();
    QCOMPARE(list->height(), lines * 2 * 5 / 4);
    const int widest = qMax(metrics.boundingRect(u"Mon"_s).width(), metrics.boundingRect(u"Tue"_s).width());
    QCOMPARE(list->width(), list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + widest * 13 / 10);
}

void TestFormItems::fileList_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("warnings");

    QTest::newRow("comments and blanks skipped")
        << QByteArray("Files-list.txt") << QStringList{u"one"_s, u"two"_s, u"Пять"_s} << 0;
    QTest::newRow("missing file") << QByteArray("Files-absent.txt") << QStringList() << 1;
    QTest::newRow("no file named") << QByteArray("Files") << QStringList() << 1;
}

void TestFormItems::fileList()
{
    QFETCH(QByteArray, name);
    QFETCH(QStringList, items);
    QFETCH(int, warnings);

    QFile file(m_dir->filePath(u"list.txt"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("* comment\none\n\n   \ntwo[4]\n");
    file.write(CodePage::unicodeToCp866(u"Пять\n"_s));
    file.close();

    build(QString(), "LF", name);
    auto *list = child<QListWidget>(u"Files"_s);
    QVERIFY(list);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    QCOMPARE(shown, items);
    QCOMPARE(Diagnostics::recordedBoxes().size(), warnings);
}

void TestFormItems::checkList_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QList<int>>("states");

    // Saved value "Pick" = "C0" and check set 3 with flags 1 and 2.
    QTest::newRow("marks from saved value") << QByteArray("Pick") << u"Pick"_s << QList<int>{2, 2, 0};
    QTest::newRow("marks from check set") << QByteArray("Pick_3") << u"Pick_3"_s << QList<int>{0, 2, 2};
    QTest::newRow("clear check set") << QByteArray("Pick_4") << u"Pick_4"_s << QList<int>{0, 0, 0};
    QTest::newRow("check set out of range")
        << QByteArray("Pick_40") << u"Pick_40"_s << QList<int>{-1, -1, -1};
    QTest::newRow("no saved value") << QByteArray("Other") << u"Other"_s << QList<int>{0, 0, 0};
}

void TestFormItems::checkList()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, objectName);
    QFETCH(QList<int>, states);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Pick a/b/c\nOther a/b/c\n"_s));
    Settings::setValue("Pick", QByteArray("C0"));
    FlagSet set;
    set.setFlag(1, true);
    set.setFlag(2, true);
    CheckSets::setValue(3, set);
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem("M", name, m_layout, m_host.get());

    auto *list = child<QListWidget>(objectName);
    QVERIFY(list);
    QCOMPARE(list->count(), states.size());
    for (int i = 0; i < states.size(); ++i) {
        const QVariant state = list->item(i)->data(Qt::CheckStateRole);
        QCOMPARE(state.isValid() ? state.toInt() : -1, states[i]);
    }
}

void TestFormItems::formRows()
{
    build(u"Addr Name/+Phone:/.Temp/B-Go/S-Qty/A-Note/H-Site/Tm-.At/X-none/D-Day\n"
          u"Name Your name\nTemp Scratch[1]\nGo Go on[2]\nQty Quantity[1,9]\nNote Remark[Row label]\n"
          u"Site Site[4]\nAt Time\nDay Day\n"_s,
        "F", "Addr");
    Settings::setValue(".Temp", QByteArray("kept"));
    m_host = std::make_unique<OwnerDialog>();
    m_layout = new QVBoxLayout(m_host.get());
    FormItems::buildItem("F", "Addr", m_layout, m_host.get());

    QFormLayout *form = nullptr;
    for (int i = 0; i < m_layout->count() && !form; ++i)
        form = qobject_cast<QFormLayout *>(m_layout->itemAt(i)->layout());
    QVERIFY(form);
    QCOMPARE(form->labelAlignment(), Qt::AlignRight);
    QCOMPARE(form->rowCount(), 9);

    auto labelOf = [form](QWidget *field) {
        auto *label = qobject_cast<QLabel *>(form->labelForField(field));
        return label ? label->text() : QString();
    };
    auto *name = child<QLineEdit>(u"Name"_s);
    QVERIFY(name);
    QCOMPARE(labelOf(name), u"Your name"_s);
    auto *phone = child<QLineEdit>(u"+Phone:"_s);
    QVERIFY(phone);
    QCOMPARE(labelOf(phone), u"Phone:"_s);
    auto *temp = child<QLineEdit>(u".Temp"_s);
    QVERIFY(temp);
    QCOMPARE(labelOf(temp), u"Scratch"_s);
    QCOMPARE(temp->text(), u"kept"_s);
    QCOMPARE(temp->cursorPosition(), 0);

    auto *go = child<QPushButton>(u"Go"_s);
    QVERIFY(go);
    QCOMPARE(go->text(), u"Go on"_s);
    QVERIFY(labelOf(go).isEmpty());
    QTest::mouseClick(go, Qt::LeftButton);
    QCOMPARE(m_host->clicks, QStringList{u"Go"_s});

    auto *qty = child<QSpinBox>(u"Qty"_s);
    QVERIFY(qty);
    QCOMPARE(qty->maximum(), 9);
    QCOMPARE(form->labelForField(qty)->objectName(), u"L-Qty"_s);
    QCOMPARE(labelOf(qty), u"Quantity"_s);

    auto *note = child<QLabel>(u"Note"_s);
    QVERIFY(note);
    QCOMPARE(note->text(), u"Remark"_s);
    QCOMPARE(labelOf(note), u"Row label"_s);

    auto *site = child<QComboBox>(u"Site"_s);
    QVERIFY(site);
    QCOMPARE(labelOf(site), u"Site"_s);
    auto *at = child<ByteTimeEdit>(u".At"_s);
    QVERIFY(at);
    QCOMPARE(labelOf(at), u"Time"_s);
    auto *day = child<ByteDateWid>(u"Day"_s);
    QVERIFY(day);
    QCOMPARE(labelOf(day), u"Day"_s);
    QVERIFY(!child<QWidget>(u"none"_s));
}

QTEST_MAIN(TestFormItems)
#include "tst_formitems.moc"
