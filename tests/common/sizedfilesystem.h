#pragma once

#include <QString>
#include <QtGlobal>

// A file system of a fixed size (tmpfs) mounted on a directory for the time of a test, so that a
// test fills a disk for real: writes fail with "No space left on device" as they do on a full
// drive. Mounting needs the right to (root, or CAP_SYS_ADMIN; under Wine the host's mount does it); where it
// is refused, mount() is false and reason() says why, and the test skips with that reason
// (SKIP_UNLESS_MOUNTED), never passes silently. The destructor unmounts (lazily, so a current directory
// inside does not hold it); declare it after the QTemporaryDir that holds the directory.
//
//     SizedFileSystem disk;
//     SKIP_UNLESS_MOUNTED(disk, dir.filePath(u"UP00"_s), 64 * 1024);
class SizedFileSystem final
{
public:
    SizedFileSystem() = default;
    ~SizedFileSystem();
    SizedFileSystem(const SizedFileSystem &) = delete;
    SizedFileSystem &operator=(const SizedFileSystem &) = delete;

    // Creates the directory when it is missing.
    [[nodiscard]] bool mount(const QString &directory, qint64 bytes);
    void unmount();
    [[nodiscard]] QString reason() const { return m_reason; }
    // Bytes in use: 0 once everything written there has been removed.
    [[nodiscard]] qint64 bytesUsed() const;
    // The system's words for a write onto a full disk ("No space left on device"), without a
    // closing full stop, as this program's Qt reports them.
    [[nodiscard]] static QString fullText();
    // Whether the text says the disk is full, in those words or in the words another program (the
    // archiver) gets from the system: under Wine the two may be in different languages.
    [[nodiscard]] static bool mentionsFull(const QString &text);

private:
    QString m_directory;
    QString m_reason;
};

#define SKIP_UNLESS_MOUNTED(disk, directory, bytes)                                                          \
    do {                                                                                                     \
        if (!(disk).mount((directory), (bytes)))                                                             \
            QSKIP(qPrintable(QStringLiteral("SKIPPED: no size-limited file system can be mounted "           \
                                            "here, so a full disk cannot be tested: ")                       \
                + (disk).reason()));                                                                         \
    } while (false)
