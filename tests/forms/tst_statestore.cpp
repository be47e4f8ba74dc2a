#include "forms/formfixture.h"

#include "forms/checksets.h"
#include "forms/formitems.h"
#include "forms/layoutbuilder.h"
#include "forms/statestore.h"
#include "support/codepage.h"
#include "support/flagset.h"
#include "widgets/bytedateedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The description used by the round trip: every kind that keeps a value between runs.
const QString roundTripCatalog
    = uR"(Form ((E-Path+Eh-Word+S-Count+DT-When+D-Birth)V+(HT-Lang+H-cbFILE+R-Mode+C-Opts)V+(M-Pick+F-Rows)V)H
Path Path
Word Word
Count Count[0,50]
When When
Birth Birth
Lang Language[4]/English/Russian/German
cbFILE File
Mode Mode[3]/Fast/Slow/Exact
Opts Options/Sound[5]/Log[6]
Pick a/b/c/d
Rows Name/.Temp/S-Qty/Tm-At
Name Name
Temp Temp
Qty Qty[0,9]
At Time
)"_s;

// Every value a user can see in the dialog, one sorted line per widget. Names beginning with
// '.' are left out: they are kept in memory only.
QStringList dumpValues(QWidget *dialog)
{
    QStringList lines;
    for (QWidget *widget : dialog->findChildren<QWidget *>()) {
        const QString name = widget->objectName();
        if (name.isEmpty() || name.startsWith(u"qt"_s) || name.startsWith(u'.'))
            continue;
        const QString prefix = QString::fromLatin1(widget->metaObject()->className()) + u' ' + name + u'=';
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            lines.append(prefix + edit->text());
        } else if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
            lines.append(prefix + QString::number(spin->value()));
        } else if (auto *when = qobject_cast<QDateTimeEdit *>(widget)) {
            lines.append(prefix + when->dateTime().toString(u"dd.MM.yyyy HH:mm:ss"_s));
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            if (!name.contains(u"FILE"_s))
                lines.append(prefix + QString::number(combo->currentIndex()));
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            if (button->isCheckable())
                lines.append(
                    prefix + widget->parent()->objectName() + u' ' + QString::number(button->isChecked()));
        } else if (auto *list = qobject_cast<QListWidget *>(widget)) {
            QString states;
            for (int i = 0; i < list->count(); ++i)
                states += QString::number(list->item(i)->data(Qt::CheckStateRole).toInt());
            lines.append(prefix + states);
        }
    }
    lines.sort();
    return lines;
}

// The helper mode of this program: rebuild the form in a fresh process from the files in the
// directory and print what it shows.
int dumpMode(const QString &directory)
{
    Diagnostics::setRecording(true);
    QDir::setCurrent(directory);
    Catalog::load(u"test.t"_s);
    Settings::load(u"tavx.in"_s);
    QDialog dialog;
    QLayout *layout = LayoutBuilder::buildLayout("Form", &dialog);
    if (!layout)
        return 2;
    dialog.setLayout(layout);
    QStringList lines = dumpValues(&dialog);
    lines.append(u"saved cbFILE="_s + CodePage::toUnicode(Settings::value("cbFILE").value_or("-")));
    if (auto *temp = dialog.findChild<QLineEdit *>(u".Temp"_s))
        lines.append(u"memory .Temp="_s + temp->text());
    std::fputs(lines.join(u'\n').toUtf8().constData(), stdout);
    return 0;
}

// Key events carrying text that QTest's key table does not know (Cyrillic letters).
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

enum class WidgetKind {
    LineEdit,
    Spin,
    SpinInner,
    DateTime,
    CheckBox,
    PushButton,
    Combo,
    PlainList,
    Label,
    DateEdit
};

std::unique_ptr<QWidget> makeWidget(WidgetKind kind)
{
    switch (kind) {
    case WidgetKind::LineEdit: {
        auto edit = std::make_unique<QLineEdit>();
        edit->setText(u"abc"_s);
        return edit;
    }
    case WidgetKind::Spin:
    case WidgetKind::SpinInner: {
        auto spin = std::make_unique<QSpinBox>();
        spin->setValue(12);
        return spin;
    }
    case WidgetKind::DateTime:
        return std::make_unique<QDateTimeEdit>(QDateTime(QDate(2003, 2, 1), QTime(4, 5, 6)));
    case WidgetKind::CheckBox:
        return std::make_unique<QCheckBox>();
    case WidgetKind::PushButton:
        return std::make_unique<QPushButton>();
    case WidgetKind::Combo:
        return std::make_unique<QComboBox>();
    case WidgetKind::PlainList:
        return std::make_unique<QListWidget>();
    case WidgetKind::Label:
        return std::make_unique<QLabel>();
    case WidgetKind::DateEdit:
        return std::make_unique<ByteDateEdit>(QByteArray("07.08.1999"));
    }
    return nullptr;
}

} // namespace

class TestStateStore : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    std::unique_ptr<QDialog> buildForm(const QString &catalog, QByteArrayView key)
    {
        if (!catalog.isNull() && !FormFixture::resetWithCatalog(m_dir->path(), catalog))
            return nullptr;
        auto dialog = std::make_unique<QDialog>();
        QLayout *layout = LayoutBuilder::buildLayout(key, dialog.get());
        if (!layout)
            return nullptr;
        dialog->setLayout(layout);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            return nullptr;
        return dialog;
    }

private slots:
    void init();
    void cleanup();
    void singleWidgets_data();
    void singleWidgets();
    void radioGroup_data();
    void radioGroup();
    void checkBoxGroup();
    void checkList_data();
    void checkList();
    void comboBoxes_data();
    void comboBoxes();
    void checkSetSurvivesRebuild();
    void roundTrip();
};

void TestStateStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), QString()));
}

void TestStateStore::cleanup()
{
    Catalog::clear();
    Settings::reset();
    CheckSets::reset();
    // Windows keeps the current folder from being removed.
    QDir::setCurrent(QDir::tempPath());
    m_dir.reset();
}

void TestStateStore::singleWidgets_data()
{
    QTest::addColumn<WidgetKind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("line edit") << WidgetKind::LineEdit << u"Path"_s << true << QByteArray("QLineEdit")
                               << QByteArray("abc");
    QTest::newRow("unnamed line edit")
        << WidgetKind::LineEdit << QString() << true << QByteArray("QLineEdit") << QByteArray();
    QTest::newRow("blank name") << WidgetKind::LineEdit << u"   "_s << true << QByteArray("QLineEdit")
                                << QByteArray();
    QTest::newRow("qt's own name") << WidgetKind::LineEdit << u"qt_spinbox_lineedit"_s << true
                                   << QByteArray("QLineEdit") << QByteArray();
    QTest::newRow("line edit subclass") << WidgetKind::DateEdit << u"Path"_s << true
                                        << QByteArray("ByteDateEdit") << QByteArray("07.08.1999");
    QTest::newRow("spin box") << WidgetKind::Spin << u"Path"_s << true << QByteArray("QSpinBox")
                              << QByteArray("12");
    QTest::newRow("date-time edit") << WidgetKind::DateTime << u"Path"_s << true
                                    << QByteArray("QDateTimeEdit") << QByteArray("01.02.2003 04:05:06");
    QTest::newRow("check box") << WidgetKind::CheckBox << u"Path"_s << true << QByteArray("QCheckBox")
                               << QByteArray();
    QTest::newRow("push button") << WidgetKind::PushButton << u"Path"_s << true << QByteArray("QPushButton")
                                 << QByteArray();
    QTest::newRow("combo box left to the caller")
        << WidgetKind::Combo << u"Path"_s << false << QByteArray("QComboBox") << QByteArray();
    QTest::newRow("list not a check list")
        << WidgetKind::PlainList << u"Path"_s << false << QByteArray("QListWidget") << QByteArray();
    QTest::newRow("label") << WidgetKind::Label << u"Path"_s << false << QByteArray("QLabel") << QByteArray();
    QTest::newRow("name cut at 99") << WidgetKind::LineEdit << QString(120, u'n') << true
                                    << QByteArray("QLineEdit") << QByteArray("abc");
}

void TestStateStore::singleWidgets()
{
    QFETCH(WidgetKind, kind);
    QFETCH(QString, name);
    QFETCH(bool, handled);
    QFETCH(QByteArray, className);
    QFETCH(QByteArray, stored);

    std::unique_ptr<QWidget> widget = makeWidget(kind);
    widget->setObjectName(name);
    QByteArray storedClass;
    QByteArray storedName;
    QCOMPARE(StateStore::storeWidget(widget.get(), storedClass, storedName), handled);
    QCOMPARE(storedClass, className);
    QCOMPARE(storedName, name.toLatin1().left(99));
    QCOMPARE(Settings::value(storedName).value_or(QByteArray()), stored);
}

void TestStateStore::radioGroup_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("slot3");

    QTest::newRow("third button stores 2") << u"Mode[3]/Fast/Slow/Exact"_s << u"r3"_s << 2;
    QTest::newRow("first button stores 0") << u"Mode[3]/Fast/Slow/Exact"_s << u"r1"_s << 0;
    QTest::newRow("slot out of range stores nothing") << u"Mode[30]/Fast/Slow/Exact"_s << u"r3"_s << 7;
}

void TestStateStore::radioGroup()
{
    QFETCH(QString, text);
    QFETCH(QString, click);
    QFETCH(int, slot3);

    auto dialog = buildForm(u"Form (R-Mode)\nMode "_s + text + u'\n', "Form");
    QVERIFY(dialog);
    Settings::options()[3] = 7;
    auto *button = dialog->findChild<QRadioButton *>(click);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(button->isChecked());
    StateStore::storeDialog(dialog.get());
    QCOMPARE(int(Settings::options()[3]), slot3);
}

void TestStateStore::checkBoxGroup()
{
    auto dialog = buildForm(u"Form (C-Opts)\nOpts Options/Sound[5]/Log[6]\n"_s, "Form");
    QVERIFY(dialog);
    Settings::options()[5] = 1;
    Settings::options()[6] = 0;
    auto *log = dialog->findChild<QCheckBox *>(u"c2"_s);
    QVERIFY(log);
    QTest::mouseClick(log, Qt::LeftButton);
    // Sound was built unchecked (slot 5 was 0 then); only Log is checked now.
    StateStore::storeDialog(dialog.get());
    QCOMPARE(int(Settings::options()[5]), 0);
    QCOMPARE(int(Settings::options()[6]), 1);
}

void TestStateStore::checkList_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QList<int>>("check");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<int>("checkSet");

    QTest::newRow("two marks") << QByteArray("M-Pick") << u"Pick"_s << QList<int>{0, 1} << QByteArray("C0")
                               << -1;
    QTest::newRow("no marks") << QByteArray("M-Pick") << u"Pick"_s << QList<int>{} << QByteArray("00") << -1;
    QTest::newRow("last of nine") << QByteArray("M-Nine") << u"Nine"_s << QList<int>{8} << QByteArray("0080")
                                  << -1;
    QTest::newRow("check set 3") << QByteArray("M-Pick_3") << u"Pick_3"_s << QList<int>{0, 1} << QByteArray()
                                 << 3;
}

void TestStateStore::checkList()
{
    QFETCH(QByteArray, item);
    QFETCH(QString, objectName);
    QFETCH(QList<int>, check);
    QFETCH(QByteArray, saved);
    QFETCH(int, checkSet);

    auto dialog = buildForm(
        u"Form ("_s + QString::fromLatin1(item) + u")\nPick a/b/c\nNine 1/2/3/4/5/6/7/8/9\n"_s, "Form");
    QVERIFY(dialog);
    auto *list = dialog->findChild<QListWidget *>(objectName);
    QVERIFY(list);
    // Space on the current item toggles its mark, as the user would.
    for (int row : check) {
        list->setCurrentRow(row);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(list->item(row)->checkState(), Qt::Checked);
    }
    StateStore::storeDialog(dialog.get());
    QCOMPARE(Settings::value(objectName.toLatin1()).value_or(QByteArray()), saved);
    if (checkSet >= 0) {
        FlagSet expected;
        for (int row : check)
            expected.setFlag(row, true);
        QCOMPARE(CheckSets::value(checkSet), expected);
    }
}

void TestStateStore::comboBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("listText");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("slotValue");

    QTest::newRow("FILE stores the text")
        << u"cbFILE"_s << u"Off[4]/On"_s << 1 << QByteArray("beta") << 4 << 9;
    QTest::newRow("index into slot 4") << u"Switch"_s << u"Off[4]/On"_s << 1 << QByteArray() << 4 << 1;
    QTest::newRow("no bracket is slot 0") << u"Switch"_s << u"Off/On"_s << 2 << QByteArray() << 0 << 2;
    QTest::newRow("slot 25 stores nothing") << u"Switch"_s << u"Off[25]/On"_s << 1 << QByteArray() << 4 << 9;
    QTest::newRow("empty combo stores 255")
        << u"Switch"_s << u"Off[4]/On"_s << -1 << QByteArray() << 4 << 255;
    QTest::newRow("no list stores nothing") << u"Switch"_s << QString() << 1 << QByteArray() << 0 << 9;
}

void TestStateStore::comboBoxes()
{
    QFETCH(QString, name);
    QFETCH(QString, listText);
    QFETCH(int, index);
    QFETCH(QByteArray, saved);
    QFETCH(int, slot);
    QFETCH(int, slotValue);

    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), name + u' ' + listText + u'\n'));
    Settings::options().fill(9);
    QDialog dialog;
    auto *combo = new QComboBox(&dialog);
    combo->setObjectName(name);
    if (index >= 0)
        combo->addItems({u"alpha"_s, u"beta"_s, u"gamma"_s});
    combo->setCurrentIndex(index);

    QByteArray className;
    QByteArray objectName;
    QVERIFY(!StateStore::storeWidget(combo, className, objectName));
    StateStore::storeDialog(&dialog);
    QCOMPARE(Settings::value(name.toLatin1()).value_or(QByteArray()), saved);
    QCOMPARE(int(Settings::options()[slot]), slotValue);
}

void TestStateStore::checkSetSurvivesRebuild()
{
    auto dialog = buildForm(u"Form (M-Pick_3)\nPick a/b/c\n"_s, "Form");
    QVERIFY(dialog);
    auto *list = dialog->findChild<QListWidget *>(u"Pick_3"_s);
    QVERIFY(list);
    list->item(2)->setCheckState(Qt::Checked);
    StateStore::storeDialog(dialog.get());

    auto again = buildForm(QString(), "Form");
    QVERIFY(again);
    auto *rebuilt = again->findChild<QListWidget *>(u"Pick_3"_s);
    QVERIFY(rebuilt);
    QCOMPARE(rebuilt->item(2)->checkState(), Qt::Checked);
    QCOMPARE(rebuilt->item(0)->checkState(), Qt::Unchecked);
    // Check sets are never written to the settings file.
    QVERIFY(Settings::save(m_dir->filePath(u"tavx.in"_s)));
    QFile file(m_dir->filePath(u"tavx.in"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("Pick"));
}

void TestStateStore::roundTrip()
{
    auto dialog = buildForm(roundTripCatalog, "Form");
    QVERIFY(dialog);
    const QStringList before = dumpValues(dialog.get());

    auto *path = dialog->findChild<QLineEdit *>(u"Path"_s);
    QVERIFY(path);
    QTest::keyClicks(path, u"/home/user/data"_s);
    auto *word = dialog->findChild<QLineEdit *>(u"Word"_s);
    QVERIFY(word);
    typeText(word, u"Привет"_s);
    auto *count = dialog->findChild<QSpinBox *>(u"Count"_s);
    QVERIFY(count);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(count, Qt::Key_Up);
    QCOMPARE(count->value(), 3);
    auto *when = dialog->findChild<QDateTimeEdit *>(u"When"_s);
    QVERIFY(when);
    when->setDateTime(QDateTime(QDate(2003, 2, 1), QTime(4, 5, 6)));
    auto *birth = dialog->findChild<ByteDateEdit *>(u"Birth"_s);
    QVERIFY(birth);
    birth->setCursorPosition(0);
    QTest::keyClicks(birth, u"24121999"_s);
    QCOMPARE(birth->text(), u"24.12.1999"_s);
    auto *lang = dialog->findChild<QComboBox *>(u"Lang"_s);
    QVERIFY(lang);
    QTest::keyClick(lang, Qt::Key_Down);
    QTest::keyClick(lang, Qt::Key_Down);
    QCOMPARE(lang->currentIndex(), 2);
    auto *files = dialog->findChild<QComboBox *>(u"cbFILE"_s);
    QVERIFY(files);
    files->addItems({u"one.txt"_s, u"two.txt"_s});
    QTest::keyClick(files, Qt::Key_Down);
    auto *modeBox = dialog->findChild<QGroupBox *>(u"RMode"_s);
    QVERIFY(modeBox);
    QTest::mouseClick(modeBox->findChild<QRadioButton *>(u"r3"_s), Qt::LeftButton);
    auto *opts = dialog->findChild<QGroupBox *>(u"COpts"_s);
    QVERIFY(opts);
    // Toggled from the keyboard: under Wine a click at the middle of the box misses its click area.
    auto *c2 = opts->findChild<QCheckBox *>(u"c2"_s);
    QVERIFY(c2);
    c2->setFocus();
    QTest::keyClick(c2, Qt::Key_Space);
    auto *pick = dialog->findChild<QListWidget *>(u"Pick"_s);
    QVERIFY(pick);
    for (int row : {1, 3}) {
        pick->setCurrentRow(row);
        QTest::keyClick(pick, Qt::Key_Space);
    }
    auto *name = dialog->findChild<QLineEdit *>(u"Name"_s);
    QVERIFY(name);
    QTest::keyClicks(name, u"Ann"_s);
    auto *temp = dialog->findChild<QLineEdit *>(u".Temp"_s);
    QVERIFY(temp);
    QTest::keyClicks(temp, u"scratch"_s);
    auto *qty = dialog->findChild<QSpinBox *>(u"Qty"_s);
    QVERIFY(qty);
    QTest::keyClick(qty, Qt::Key_Up);
    auto *at = dialog->findChild<QLineEdit *>(u"At"_s);
    QVERIFY(at);
    at->setCursorPosition(0);
    QTest::keyClicks(at, u"123456"_s);
    QCOMPARE(at->text(), u"12:34:56"_s);

    const QStringList after = dumpValues(dialog.get());
    // Every value the user touched shows in the dump; unchanged ones stay equal.
    QCOMPARE(after.size(), before.size());
    int changed = 0;
    for (int i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    // Path, Word, Count, When, Birth, Lang, r1 and r3 of Mode, c2 of Opts, Pick, Name, Qty, At.
    QCOMPARE(changed, 13);

    StateStore::storeDialog(dialog.get());
    QVERIFY(Settings::save(m_dir->filePath(u"tavx.in"_s)));

    QProcess child;
    // Text mode: Windows ends the child's lines with "\r\n".
    child.start(QCoreApplication::applicationFilePath(), {u"--dump"_s, m_dir->path()},
        QIODevice::ReadWrite | QIODevice::Text);
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    QStringList rebuilt = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n');
    QCOMPARE(rebuilt.takeLast(), u"memory .Temp="_s);
    QCOMPARE(rebuilt.takeLast(), u"saved cbFILE=two.txt"_s);
    QCOMPARE(rebuilt, after);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--dump") == 0)
        return dumpMode(QString::fromLocal8Bit(argv[2]));
    TestStateStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_statestore.moc"
