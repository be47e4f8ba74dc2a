#include "common/sizedfilesystem.h"

#include "common/hostpython.h"

#include <QDir>

#include <windows.h>

// Under Wine a test's folder is a folder of the host, so the host's mount, run through its
// python3, gives it a tmpfs of the size asked for, which the Windows program sees as a drive that
// fills up. Windows itself has no such file system: there mount() is false and the tests skip.
SizedFileSystem::~SizedFileSystem()
{
    unmount();
}

bool SizedFileSystem::mount(const QString &directory, qint64 bytes)
{
    QString whyNone;
    if (HostPython::program(&whyNone).isEmpty()) {
        m_reason = whyNone;
        return false;
    }
    if (!QDir().mkpath(directory)) {
        m_reason = QStringLiteral("cannot create ") + directory;
        return false;
    }
    const QStringList command{QStringLiteral("mount"), QStringLiteral("-t"), QStringLiteral("tmpfs"),
        QStringLiteral("-o"), QStringLiteral("size=%1,mode=0755,nosuid,nodev").arg(bytes),
        QStringLiteral("tmpfs"), HostPython::path(directory)};
    const HostPython::Run run = HostPython::runProgram(command, 20000);
    if (run.exitCode != 0) {
        m_reason = command.join(u' ') + QStringLiteral(": ") + QString::fromLocal8Bit(run.output).trimmed();
        return false;
    }
    m_directory = directory;
    return true;
}

void SizedFileSystem::unmount()
{
    if (m_directory.isEmpty())
        return;
    // Lazily, as on Linux: a directory still open inside does not keep it.
    (void)HostPython::runProgram(
        {QStringLiteral("umount"), QStringLiteral("-l"), HostPython::path(m_directory)}, 20000);
    m_directory.clear();
}

QString SizedFileSystem::fullText()
{
    // Without the closing full stop, as programs quote it inside a line of their own.
    QString text = qt_error_string(ERROR_DISK_FULL);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

bool SizedFileSystem::mentionsFull(const QString &text)
{
    if (text.contains(fullText()))
        return true;
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        ERROR_DISK_FULL, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString userText = length > 0 ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    if (userText.endsWith(u'.'))
        userText.chop(1);
    return !userText.isEmpty() && text.contains(userText);
}

qint64 SizedFileSystem::bytesUsed() const
{
    ULARGE_INTEGER available{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER free{};
    const QString native = QDir::toNativeSeparators(m_directory) + u'\\';
    if (m_directory.isEmpty()
        || !GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t *>(native.utf16()), &available, &total, &free))
        return -1;
    return qint64(total.QuadPart - free.QuadPart);
}
