// Removable drives on Windows, under Wine: the test gives the Wine prefix drives of each kind and
// checks that the drive scan, and the portable-copy window with it, find exactly the removable
// ones.
#include "modes/flash/tflash.h"
#include "platform/drives/removabledrives.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"

#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#include <windows.h>
#include <winioctl.h>

using namespace Qt::StringLiterals;

namespace {

// Wine's mount manager defines a drive letter as winecfg does: it records the drive's kind in
// HKLM\Software\Wine\Drives ("floppy" for a removable drive, "cdrom", "hd") and links the letter
// to a folder of the host in the prefix's dosdevices. The request is Wine's own.
constexpr DWORD defineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest
{
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

// The host's path of a folder of the prefix ("/tmp/..." for "Z:\tmp\...").
QByteArray hostPath(const QString &path)
{
    using Converter = char *(CDECL *)(LPCWSTR);
    const auto toHost = reinterpret_cast<Converter>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toHost)
        return {};
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    char *converted = toHost(native.c_str());
    const QByteArray result(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

// mountPoint empty: the letter is taken away again.
bool defineDrive(char letter, DWORD type, const QByteArray &mountPoint)
{
    const HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> buffer(sizeof(UnixDriveRequest) + size_t(mountPoint.size()) + 1, '\0');
    auto *request = reinterpret_cast<UnixDriveRequest *>(buffer.data());
    request->size = ULONG(buffer.size());
    request->type = type;
    request->letter = WCHAR(QChar::fromLatin1(letter).toLower().unicode());
    if (!mountPoint.isEmpty()) {
        request->mountPointOffset = USHORT(sizeof(UnixDriveRequest));
        memcpy(buffer.data() + sizeof(UnixDriveRequest), mountPoint.constData(), size_t(mountPoint.size()));
    }
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(
        manager, defineUnixDrive, buffer.data(), DWORD(buffer.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok;
}

// One drive of the prefix for as long as the object lives, on a folder of its own.
class WineDrive final
{
public:
    WineDrive(char letter, DWORD type)
        : m_letter(letter)
    {
        m_defined = m_folder.isValid() && defineDrive(letter, type, hostPath(m_folder.path()));
    }
    ~WineDrive()
    {
        if (m_defined)
            defineDrive(m_letter, DRIVE_NO_ROOT_DIR, {});
    }
    WineDrive(const WineDrive &) = delete;
    WineDrive &operator=(const WineDrive &) = delete;

    [[nodiscard]] bool isDefined() const { return m_defined; }
    [[nodiscard]] QString root() const { return QChar::fromLatin1(m_letter) + u":/"_s; }
    [[nodiscard]] QString folder() const { return m_folder.path(); }

private:
    char m_letter;
    QTemporaryDir m_folder;
    bool m_defined = false;
};

// Letters no drive of the prefix uses, from the end of the alphabet.
QList<char> freeLetters(int count)
{
    QStringList used;
    for (const QFileInfo &drive : QDir::drives())
        used.append(drive.filePath().left(1).toUpper());
    QList<char> letters;
    for (char letter = 'Y'; letter > 'D' && letters.size() < count; --letter) {
        if (!used.contains(QString(QChar::fromLatin1(letter))))
            letters.append(letter);
    }
    return letters;
}

} // namespace

class TestRemovableDrivesWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scan_data();
    void scan();

private:
    QList<char> m_letters;
};

void TestRemovableDrivesWin::initTestCase()
{
    Diagnostics::setRecording(true);
    Catalog::load(QCoreApplication::applicationDirPath() + u"/tav.t"_s);
    QVERIFY(Catalog::isLoaded());
    m_letters = freeLetters(4);
    QCOMPARE(m_letters.size(), 4);
}

void TestRemovableDrivesWin::scan_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<bool>("withFolder");
    QTest::addColumn<unsigned>("state");

    QTest::newRow("a CD and a fixed disk only")
        << QList<int>{DRIVE_CDROM, DRIVE_FIXED} << false << unsigned(TFlash::NoDrive);
    QTest::newRow("one removable among a CD and a fixed disk") << QList<int>{
        DRIVE_FIXED, DRIVE_REMOVABLE, DRIVE_CDROM} << false << unsigned(TFlash::DriveWithoutFolder);
    QTest::newRow("one removable holding the data folder")
        << QList<int>{DRIVE_REMOVABLE, DRIVE_CDROM} << true << unsigned(TFlash::DriveWithFolder);
    QTest::newRow("two removable") << QList<int>{DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_REMOVABLE} << false
                                   << unsigned(TFlash::SeveralDrives);
}

void TestRemovableDrivesWin::scan()
{
    QFETCH(QList<int>, types);
    QFETCH(bool, withFolder);
    QFETCH(unsigned, state);
    Diagnostics::clearRecordedBoxes();
    // A new Wine prefix has fixed drives only.
    QCOMPARE(RemovableDrives::systemDrives(), QStringList());

    std::vector<std::unique_ptr<WineDrive>> drives;
    QStringList removable;
    const WineDrive *lastRemovable = nullptr;
    for (qsizetype i = 0; i < types.size(); ++i) {
        drives.push_back(std::make_unique<WineDrive>(m_letters.at(i), DWORD(types.at(i))));
        const WineDrive &drive = *drives.back();
        QVERIFY(drive.isDefined());
        if (types.at(i) == DRIVE_REMOVABLE) {
            removable.append(drive.root());
            lastRemovable = &drive;
            if (withFolder)
                QVERIFY(QDir(drive.folder()).mkdir(QString::fromLatin1(TFlash::dataFolder)));
        }
    }
    // The kinds as a user's winecfg would have written them.
    const QSettings registry(u"HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives"_s, QSettings::NativeFormat);
    for (qsizetype i = 0; i < types.size(); ++i) {
        const QString kind = registry.value(QChar::fromLatin1(m_letters.at(i)).toLower() + u":"_s).toString();
        QCOMPARE(kind,
            types.at(i) == DRIVE_REMOVABLE   ? u"floppy"_s
                : types.at(i) == DRIVE_CDROM ? u"cdrom"_s
                                             : u"hd"_s);
    }
    std::sort(removable.begin(), removable.end());
    QCOMPARE(RemovableDrives::systemDrives(), removable);

    // The portable-copy window scans the same way, and makes its folder on the one drive.
    TFlash flash;
    flash.buildPages();
    flash.selectPage();
    QCOMPARE(flash.pageState(), state);
    auto *button = flash.findChild<QPushButton *>(u"CrFold"_s);
    QVERIFY(button);
    button->click();
    const bool folderThere = lastRemovable
        && QFileInfo(QDir(lastRemovable->folder()).filePath(QString::fromLatin1(TFlash::dataFolder))).isDir();
    QCOMPARE(folderThere, state == TFlash::DriveWithoutFolder || state == TFlash::DriveWithFolder);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

QTEST_MAIN(TestRemovableDrivesWin)
#include "tst_removabledrives_win.moc"
