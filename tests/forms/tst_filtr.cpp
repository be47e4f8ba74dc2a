#include "forms/filtr.h"
#include "shell/catalog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What the stand-in dialogs were asked and what they answer.
struct Dialogs
{
    QStringList calls;
    QStringList captions;
    QString directory;
    QString file;
    QStringList files;

    Filtr::Chooser chooser()
    {
        return {
            [this](const QString &caption) {
                calls << u"directory"_s;
                captions << caption;
                return directory;
            },
            [this](const QString &caption) {
                calls << u"file"_s;
                captions << caption;
                return file;
            },
            [this](const QString &caption) {
                calls << u"files"_s;
                captions << caption;
                return files;
            },
        };
    }
};

} // namespace

class TestFiltr final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void doubleClick_data();
    void doubleClick();
    void otherEventsPass_data();
    void otherEventsPass();
    void typingAndClicksReachTheEdit();
    void notALineEdit();

private:
    QTemporaryDir m_dir;
};

void TestFiltr::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile catalog(m_dir.filePath(u"tav.t"_s));
    QVERIFY(catalog.open(QIODevice::WriteOnly));
    catalog.write("Src Source folder[3]\nList Many files\n");
    catalog.close();
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    Catalog::load(u"tav.t"_s);
    QDir::setCurrent(previous);
    QVERIFY(Catalog::isLoaded());
}

void TestFiltr::cleanupTestCase()
{
    Catalog::clear();
}

void TestFiltr::cleanup()
{
    Filtr::setChooser({});
}

void TestFiltr::doubleClick_data()
{
    QTest::addColumn<QVariant>("mode");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("dialog");

    const QVariant none;
    QTest::newRow("directory chosen")
        << QVariant(1) << u"C:/data"_s << QString() << QStringList() << u"C:/data"_s << u"directory"_s;
    QTest::newRow("directory cancelled")
        << QVariant(1) << QString() << u"x"_s << QStringList{u"y"_s} << u"old"_s << u"directory"_s;
    QTest::newRow("file chosen") << QVariant(2) << u"/d"_s << u"/home/u/a.txt"_s << QStringList()
                                 << u"/home/u/a.txt"_s << u"file"_s;
    QTest::newRow("file cancelled") << QVariant(2) << u"/d"_s << QString() << QStringList{u"y"_s} << u"old"_s
                                    << u"file"_s;
    QTest::newRow("files chosen") << QVariant(3) << QString() << QString()
                                  << QStringList{u"a.txt"_s, u"b.txt"_s} << u"a.txt b.txt "_s << u"files"_s;
    QTest::newRow("one of several") << QVariant(3) << QString() << QString() << QStringList{u"a.txt"_s}
                                    << u"a.txt "_s << u"files"_s;
    QTest::newRow("files cancelled") << QVariant(3) << u"/d"_s << u"f"_s << QStringList() << u"old"_s
                                     << u"files"_s;
    QTest::newRow("mode 0") << QVariant(0) << u"/d"_s << u"f"_s << QStringList{u"y"_s} << u"old"_s
                            << QString();
    QTest::newRow("mode 4") << QVariant(4) << u"/d"_s << u"f"_s << QStringList{u"y"_s} << u"old"_s
                            << QString();
    QTest::newRow("no property") << none << u"/d"_s << u"f"_s << QStringList{u"y"_s} << u"old"_s << QString();
    QTest::newRow("property not a number")
        << QVariant(u"x"_s) << u"/d"_s << u"f"_s << QStringList{u"y"_s} << u"old"_s << QString();
}

void TestFiltr::doubleClick()
{
    QFETCH(QVariant, mode);
    QFETCH(QString, directory);
    QFETCH(QString, file);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    QFETCH(QString, dialog);

    Dialogs dialogs{{}, {}, directory, file, files};
    Filtr::setChooser(dialogs.chooser());

    QLineEdit edit(u"old"_s);
    edit.setObjectName(u"Src"_s);
    if (mode.isValid())
        edit.setProperty("m", mode);
    edit.installEventFilter(new Filtr(&edit));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));

    QTest::mouseDClick(&edit, Qt::LeftButton);

    QCOMPARE(edit.text(), expected);
    QCOMPARE(dialogs.calls, dialog.isEmpty() ? QStringList() : QStringList{dialog});
    if (!dialog.isEmpty())
        QCOMPARE(dialogs.captions, QStringList{u"Source folder"_s});
    // The double click is consumed: the edit's own word selection never happens.
    QVERIFY(!edit.hasSelectedText());
}

void TestFiltr::otherEventsPass_data()
{
    QTest::addColumn<int>("type");

    QTest::newRow("press") << int(QEvent::MouseButtonPress);
    QTest::newRow("release") << int(QEvent::MouseButtonRelease);
    QTest::newRow("key") << int(QEvent::KeyPress);
    QTest::newRow("focus") << int(QEvent::FocusIn);
    QTest::newRow("paint") << int(QEvent::Paint);
    QTest::newRow("close") << int(QEvent::Close);
}

void TestFiltr::otherEventsPass()
{
    QFETCH(int, type);

    Dialogs dialogs;
    Filtr::setChooser(dialogs.chooser());
    QLineEdit edit;
    edit.setObjectName(u"Src"_s);
    edit.setProperty("m", 1);
    Filtr filter(&edit);
    QEvent event(static_cast<QEvent::Type>(type));
    QVERIFY(!filter.eventFilter(&edit, &event));
    QVERIFY(dialogs.calls.isEmpty());
}

void TestFiltr::typingAndClicksReachTheEdit()
{
    Dialogs dialogs{{}, {}, u"/never"_s, u"/never"_s, {u"/never"_s}};
    Filtr::setChooser(dialogs.chooser());
    QLineEdit edit;
    edit.setObjectName(u"List"_s);
    edit.setProperty("m", 3);
    edit.installEventFilter(new Filtr(&edit));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));

    QTest::mouseClick(&edit, Qt::LeftButton);
    QTest::keyClicks(&edit, u"abc def"_s);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), u"abc de"_s);
    QVERIFY(dialogs.calls.isEmpty());

    // A second line edit keeps its own key and mode.
    QTest::mouseDClick(&edit, Qt::LeftButton);
    QCOMPARE(dialogs.calls, QStringList{u"files"_s});
    QCOMPARE(dialogs.captions, QStringList{u"Many files"_s});
    QCOMPARE(edit.text(), u"/never "_s);
}

void TestFiltr::notALineEdit()
{
    // Only a line edit takes the choice; anything else is left alone, the click still consumed.
    Dialogs dialogs{{}, {}, QString(), u"/x"_s, {}};
    Filtr::setChooser(dialogs.chooser());
    QLabel label(u"text"_s);
    label.setObjectName(u"Src"_s);
    label.setProperty("m", 2);
    Filtr filter(&label);
    QEvent event(QEvent::MouseButtonDblClick);
    QVERIFY(filter.eventFilter(&label, &event));
    QCOMPARE(dialogs.calls, QStringList{u"file"_s});
    QCOMPARE(label.text(), u"text"_s);
}

QTEST_MAIN(TestFiltr)
#include "tst_filtr.moc"
