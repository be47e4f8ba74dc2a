#include "common/fakedrives.h"
#include "common/testpaths.h"
#include "modes/flash/tflash.h"
#include "modes/modeentries.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The machines the tests run on: the fixed system disk and an optical drive are always there.
constexpr auto baseDevices = "sda 8:0 fixed|sda1 8:1 none in sda|sr0 11:0 removable";
constexpr auto baseMounts = "8:1 /dev/sda1 system|11:0 /dev/sr0 cdrom";

QStringList parts(const char *text)
{
    return QString::fromLatin1(text).split(u'|', Qt::SkipEmptyParts);
}

// Sees the application's quit request the moment it is made.
class QuitWatcher final : public QObject
{
public:
    int quits = 0;
    qsizetype boxesAtQuit = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::Quit) {
            ++quits;
            boxesAtQuit = Diagnostics::recordedBoxes().size();
        }
        return false;
    }
};

} // namespace

class TestFlash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void states_data();
    void states();
    void fewerPagesThanStates();
    void pagesFromCatalogList_data();
    void pagesFromCatalogList();
    void createFolder_data();
    void createFolder();
    void createFolderFailure();
    void rescanOnlyWithoutDrive_data();
    void rescanOnlyWithoutDrive();
    void buttons_data();
    void buttons();
    void entry();
    void pageImages();

private:
    // A fresh machine with extra devices and mounts, and a TFlash that scans it.
    bool makeMachine(const QStringList &devices, const QStringList &mounts);
    std::unique_ptr<TFlash> makeFlash();
    bool useCatalog(const QByteArray &text);
    bool useShippedCatalog();
    static void click(TFlash &flash, const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeDrives> m_machine;
    QString m_startDir;
};

void TestFlash::initTestCase()
{
    Diagnostics::setRecording(true);
    m_startDir = QDir::currentPath();
}

void TestFlash::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    Diagnostics::clearRecordedBoxes();
    QVERIFY(useShippedCatalog());
}

void TestFlash::cleanup()
{
    qInstallMessageHandler(nullptr);
    m_machine.reset();
    QVERIFY(QDir::setCurrent(m_startDir));
    m_dir.reset();
}

bool TestFlash::makeMachine(const QStringList &devices, const QStringList &mounts)
{
    m_machine = std::make_unique<FakeDrives>(m_dir->filePath(u"machine"_s));
    for (const QString &device : parts(baseDevices) + devices) {
        if (!m_machine->addDevice(device))
            return false;
    }
    for (const QString &mount : parts(baseMounts) + mounts) {
        if (!m_machine->addMount(mount))
            return false;
    }
    return m_machine->write();
}

std::unique_ptr<TFlash> TestFlash::makeFlash()
{
    auto flash = std::make_unique<TFlash>(m_machine->source());
    flash->buildPages();
    flash->selectPage();
    return flash;
}

bool TestFlash::useCatalog(const QByteArray &text)
{
    QFile file(m_dir->filePath(u"tav.t"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    Catalog::clear();
    Catalog::load(u"tav.t"_s);
    return Catalog::isLoaded();
}

bool TestFlash::useShippedCatalog()
{
    Catalog::clear();
    Catalog::load(TestPaths::built(u"tav.t"_s));
    return Catalog::isLoaded();
}

// The button of that name on the page shown, or on any page when the shown one has none.
void TestFlash::click(TFlash &flash, const QString &name)
{
    auto *button = flash.currentWidget() ? flash.currentWidget()->findChild<QPushButton *>(name) : nullptr;
    if (!button)
        button = flash.findChild<QPushButton *>(name);
    QVERIFY2(button, qPrintable(name));
    button->click();
}

void TestFlash::states_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("mounts");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<unsigned>("state");
    QTest::addColumn<QStringList>("drives");

    const QStringList stick{u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s};
    const QStringList stick2{u"sdc 8:32 removable"_s, u"sdc1 8:33 none in sdc"_s};

    QTest::newRow("no stick, only fixed disk and CD")
        << QStringList{} << QStringList{} << QStringList{} << 0u << QStringList{};
    QTest::newRow("one stick with the folder")
        << stick << QStringList{u"8:17 /dev/sdb1 STICK"_s} << QStringList{u"STICK/K10DBCNF"_s} << 1u
        << QStringList{u"STICK"_s};
    QTest::newRow("one stick without the folder")
        << stick << QStringList{u"8:17 /dev/sdb1 STICK"_s} << QStringList{} << 2u << QStringList{u"STICK"_s};
    QTest::newRow("a file named like the folder is no folder")
        << stick << QStringList{u"8:17 /dev/sdb1 STICK"_s} << QStringList{u"STICK/K10DBCNF!"_s} << 2u
        << QStringList{u"STICK"_s};
    QTest::newRow("folder on the fixed disk does not count")
        << stick << QStringList{u"8:17 /dev/sdb1 STICK"_s} << QStringList{u"system/K10DBCNF"_s} << 2u
        << QStringList{u"STICK"_s};
    QTest::newRow("a stick with a blank in its name")
        << stick << QStringList{u"8:17 /dev/sdb1 MY\\040STICK"_s} << QStringList{u"MY STICK/K10DBCNF"_s} << 1u
        << QStringList{u"MY STICK"_s};
    QTest::newRow("whole-disk stick")
        << QStringList{u"sdd 8:48 removable"_s} << QStringList{u"8:48 /dev/sdd STICK"_s} << QStringList{}
        << 2u << QStringList{u"STICK"_s};
    QTest::newRow("two sticks") << stick + stick2 << QStringList{u"8:17 /dev/sdb1 A"_s, u"8:33 /dev/sdc1 B"_s}
                                << QStringList{u"A/K10DBCNF"_s} << 3u << QStringList{u"A"_s, u"B"_s};
}

void TestFlash::states()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, mounts);
    QFETCH(QStringList, folders);
    QFETCH(unsigned, state);
    QFETCH(QStringList, drives);

    QVERIFY(makeMachine(devices, mounts));
    for (const QString &folder : folders) {
        // A trailing '!' asks for a plain file of that name.
        if (folder.endsWith(u'!')) {
            QFile file(m_machine->mountPoint(folder.chopped(1)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkpath(m_machine->mountPoint(folder)));
        }
    }

    qInstallMessageHandler(Diagnostics::messageHandler);
    Diagnostics::resetLog();
    auto flash = makeFlash();
    qInstallMessageHandler(nullptr);

    QCOMPARE(flash->count(), 4);
    QCOMPARE(flash->pageState(), state);
    QCOMPARE(flash->currentIndex(), int(state));
    // The page opens with its first button focused, so Return or Space presses it at once.
    const QStringList firstButtons{u"UstF"_s, u"Per"_s, u"CrFold"_s, u"xCan"_s};
    QVERIFY(flash->focusWidget());
    QCOMPARE(flash->focusWidget()->objectName(), firstButtons.at(int(state)));
    QVERIFY(flash->currentWidget()->isAncestorOf(flash->focusWidget()));
    QStringList wanted;
    for (const QString &drive : drives)
        wanted.append(m_machine->mountPoint(drive));
    QVERIFY(flash->driveList().has_value());
    QCOMPARE(*flash->driveList(), wanted);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());

    // The checked path reaches the run's log through the message handler.
    QFile log(u"taw.tax"_s);
    const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    const QByteArray checked = QFile::encodeName(m_machine->mountPoint(drives.value(0)) + u"/K10DBCNF"_s);
    if (drives.size() == 1) {
        QVERIFY2(logged.startsWith("** **\n"), logged.constData());
        QVERIFY2(logged.contains("\nD:\"" + checked + '"'), logged.constData());
    } else {
        QVERIFY2(!logged.contains("K10DBCNF"), logged.constData());
    }
}

void TestFlash::fewerPagesThanStates()
{
    QVERIFY(useCatalog("Flash P0\nP0 (B-xCan)V\n"));
    QVERIFY(makeMachine(
        {u"sdb 8:16 removable"_s, u"sdc 8:32 removable"_s}, {u"8:16 /dev/sdb A"_s, u"8:32 /dev/sdc B"_s}));
    auto flash = makeFlash();
    QCOMPARE(flash->count(), 1);
    QCOMPARE(flash->pageState(), 3u);
    QCOMPARE(flash->currentIndex(), 0);
}

void TestFlash::pagesFromCatalogList_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("buttons");

    QTest::newRow("empty pieces give no page") << QByteArray("a//b/") << QStringList{u"Can"_s, u"Per"_s};
    QTest::newRow("leading slash") << QByteArray("/b") << QStringList{u"Per"_s};
    QTest::newRow("a key without description gives an empty page")
        << QByteArray("a/none/b") << QStringList{u"Can"_s, QString(), u"Per"_s};
}

void TestFlash::pagesFromCatalogList()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, buttons);

    QVERIFY(useCatalog("Flash " + list + "\na (B-Can)V\nb (1+B-Per)H\nnone\n"));
    QVERIFY(makeMachine({}, {}));
    auto flash = makeFlash();
    QCOMPARE(flash->count(), buttons.size());
    for (int i = 0; i < buttons.size(); ++i) {
        const QList<QPushButton *> found = flash->widget(i)->findChildren<QPushButton *>();
        QCOMPARE(found.size(), buttons.at(i).isEmpty() ? 0 : 1);
        if (!found.isEmpty())
            QCOMPARE(found.first()->objectName(), buttons.at(i));
    }
}

void TestFlash::createFolder_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("mounts");
    QTest::addColumn<QStringList>("created");

    QTest::newRow("no drive") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("one drive") << QStringList{u"sdb 8:16 removable"_s} << QStringList{u"8:16 /dev/sdb S"_s}
                               << QStringList{u"S"_s};
    QTest::newRow("two drives") << QStringList{u"sdb 8:16 removable"_s, u"sdc 8:32 removable"_s}
                                << QStringList{u"8:16 /dev/sdb S"_s, u"8:32 /dev/sdc T"_s} << QStringList{};
}

void TestFlash::createFolder()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, mounts);
    QFETCH(QStringList, created);

    QVERIFY(makeMachine(devices, mounts));
    auto flash = makeFlash();
    const unsigned state = flash->pageState();
    click(*flash, u"CrFold"_s);

    for (const QString &point : {u"S"_s, u"T"_s, u"system"_s, u"cdrom"_s})
        QCOMPARE(QFileInfo(m_machine->mountPoint(point + u"/K10DBCNF"_s)).isDir(), created.contains(point));
    QCOMPARE(flash->pageState(), state);
    QCOMPARE(flash->currentIndex(), int(state));
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());

    // A second press finds the folder there and keeps quiet.
    click(*flash, u"CrFold"_s);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

// A drive that cannot take the folder says so instead of leaving the user to believe it worked.
void TestFlash::createFolderFailure()
{
    QVERIFY(makeMachine({u"sdb 8:16 removable"_s}, {u"8:16 /dev/sdb S"_s}));
    auto flash = makeFlash();
    QCOMPARE(flash->pageState(), 2u);
    // The medium vanished and something else took its place: nothing can be made below a file.
    const QString point = m_machine->mountPoint(u"S"_s);
    QVERIFY(QDir(point).removeRecursively());
    QFile blocker(point);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    click(*flash, u"CrFold"_s);
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, u"*** Warring"_s);
    QVERIFY2(boxes.first().text.contains(u"K10DBCNF"_s), qPrintable(boxes.first().text));
    QVERIFY2(boxes.first().text.startsWith(Catalog::displayText("NoCrFold")), qPrintable(boxes.first().text));
    QCOMPARE(flash->pageState(), 2u);
}

void TestFlash::rescanOnlyWithoutDrive_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("mounts");
    QTest::addColumn<bool>("rescans");

    QTest::newRow("state 0 rescans") << QStringList{} << QStringList{} << true;
    QTest::newRow("state 2 keeps its list")
        << QStringList{u"sdb 8:16 removable"_s} << QStringList{u"8:16 /dev/sdb S"_s} << false;
}

void TestFlash::rescanOnlyWithoutDrive()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, mounts);
    QFETCH(bool, rescans);

    QVERIFY(makeMachine(devices, mounts));
    auto flash = makeFlash();
    const unsigned state = flash->pageState();
    const QStringList before = *flash->driveList();

    // A stick is plugged in while the window is open.
    QVERIFY(m_machine->addDevice(u"sde 8:64 removable"_s));
    QVERIFY(m_machine->addMount(u"8:64 /dev/sde NEW"_s));
    QVERIFY(m_machine->write());
    click(*flash, u"UstF"_s);

    const QStringList after = *flash->driveList();
    QCOMPARE(after, rescans ? before + QStringList{m_machine->mountPoint(u"NEW"_s)} : before);
    QCOMPARE(flash->pageState(), state);
    QCOMPARE(flash->currentIndex(), int(state));

    // The fresh list is what "CrFold" works on.
    click(*flash, u"CrFold"_s);
    QCOMPARE(QFileInfo(m_machine->mountPoint(u"NEW/K10DBCNF"_s)).isDir(), rescans);
}

void TestFlash::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("quits");
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("Can") << u"Can"_s << true << QStringList{};
    QTest::newRow("xCan") << u"xCan"_s << true << QStringList{};
    QTest::newRow("Per shows its message first") << u"Per"_s << true << QStringList{u"DanPer"_s};
    QTest::newRow("UstF") << u"UstF"_s << false << QStringList{};
    QTest::newRow("case matters") << u"can"_s << false << QStringList{};
    QTest::newRow("whole name only") << u"Cancel"_s << false << QStringList{};
    QTest::newRow("unnamed") << QString() << false << QStringList{};
}

void TestFlash::buttons()
{
    QFETCH(QString, name);
    QFETCH(bool, quits);
    QFETCH(QStringList, boxes);

    QVERIFY(makeMachine({}, {}));
    auto flash = makeFlash();
    QPushButton button;
    button.setObjectName(name);
    connect(&button, &QPushButton::clicked, flash.get(), &TFlash::Knop);

    QuitWatcher watcher;
    qApp->installEventFilter(&watcher);
    QTimer::singleShot(0, &button, &QPushButton::click);
    QTimer::singleShot(300, qApp, [] { QCoreApplication::exit(99); });
    const int result = QCoreApplication::exec();
    qApp->removeEventFilter(&watcher);

    QCOMPARE(result, quits ? 0 : 99);
    QCOMPARE(watcher.quits, quits ? 1 : 0);
    const auto recorded = Diagnostics::recordedBoxes();
    QCOMPARE(recorded.size(), boxes.size());
    for (int i = 0; i < boxes.size(); ++i) {
        QCOMPARE(recorded.at(i).title, u"*** Warring"_s);
        QCOMPARE(recorded.at(i).text, Catalog::displayText(boxes.at(i).toLatin1()));
        QVERIFY(recorded.at(i).text != boxes.at(i));
    }
    // The box was closed before the quit was asked for.
    if (quits)
        QCOMPARE(watcher.boxesAtQuit, boxes.size());
}

void TestFlash::entry()
{
    std::unique_ptr<QWidget> window = Modes::startFlash();
    QVERIFY(window);
    auto *flash = qobject_cast<TFlash *>(window.get());
    QVERIFY(flash);
    QVERIFY(flash->isVisible());
    QCOMPARE(flash->count(), 4);
    QCOMPARE(flash->windowTitle(), u"***"_s + Catalog::displayText("mainFlash"));
    QVERIFY(flash->windowTitle() != u"***mainFlash"_s);
    QCOMPARE(flash->windowType(), Qt::Dialog);
    QVERIFY(flash->driveList().has_value());
    QCOMPARE(flash->currentIndex(), int(flash->pageState()));

    // The entry point keeps the window after it was closed.
    QVERIFY(!flash->testAttribute(Qt::WA_DeleteOnClose));
    flash->close();
    QCoreApplication::processEvents();
    QVERIFY(!flash->isVisible());
    QCOMPARE(flash->count(), 4);
}

// Every page, as the user sees it, for a look by eye.
void TestFlash::pageImages()
{
    QVERIFY(makeMachine({}, {}));
    auto flash = makeFlash();
    flash->show();
    const QList<QStringList> expectedButtons{{u"UstF"_s, u"CrFold"_s, u"xCan"_s}, {u"Per"_s, u"xCan"_s},
        {u"CrFold"_s, u"Per"_s, u"xCan"_s}, {u"xCan"_s}};
    QCOMPARE(flash->count(), expectedButtons.size());
    for (int i = 0; i < flash->count(); ++i) {
        flash->setCurrentIndex(i);
        QStringList names;
        for (const QPushButton *button : flash->widget(i)->findChildren<QPushButton *>())
            names.append(button->objectName());
        QCOMPARE(names, expectedButtons.at(i));

        const QImage image = flash->grab().toImage();
        QVERIFY(!image.isNull());
        // Rendered text and buttons: more than one colour on the page.
        const QRgb first = image.pixel(0, 0);
        bool varied = false;
        for (int y = 0; y < image.height() && !varied; y += 2)
            for (int x = 0; x < image.width() && !varied; x += 2)
                varied = image.pixel(x, y) != first;
        QVERIFY(varied);
        const QString file = TestPaths::built(u"../flash-page-%1.png"_s.arg(i));
        QVERIFY2(image.save(file), qPrintable(file));
    }
}

QTEST_MAIN(TestFlash)
#include "tst_flash.moc"
