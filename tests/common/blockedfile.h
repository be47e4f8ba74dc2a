#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A file that the test process can open but not use as it would, for the paths that must give up
// without losing anything, as when another program holds the file:
// - Writing: it can be read, but neither written nor replaced;
// - Reading: reading it fails from its first byte.
// On Linux, where root reads and writes past permissions, it is a link into /proc
// (/proc/version, /proc/self/mem; the latter opens, but cannot be read). On Windows it is a file
// held open by another handle of the test, sharing reading alone, or nothing, so that it does not
// even open (Wine, run as root, would write a read-only file, and lets a locked range be read).
class BlockedFile final
{
public:
    enum class Block { Writing, Reading };

    BlockedFile();
    ~BlockedFile();
    BlockedFile(const BlockedFile &) = delete;
    BlockedFile &operator=(const BlockedFile &) = delete;

    // Makes the file at path; false, with reason(), where it cannot be made.
    [[nodiscard]] bool make(const QString &path, Block block);
    [[nodiscard]] QString reason() const { return m_reason; }
    // Whether the file is still the one made, and still blocked.
    [[nodiscard]] bool intact() const;

private:
    struct Hold; // what blocks the file: blockedfile_posix.cpp and blockedfile_win.cpp
    [[nodiscard]] bool makeHere();
    [[nodiscard]] bool isSameKind() const;

    std::unique_ptr<Hold> m_hold;
    QString m_path;
    Block m_block = Block::Writing;
    QByteArray m_contents; // what reading gives, Writing only
    QString m_reason;
};
