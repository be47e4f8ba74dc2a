#pragma once

#include <QString>
#include <QtGlobal>

// A lock on a file of the installation that one process holds at a time and that ends with the
// process, however it ends: a kill or a crash releases it at once, so it is never stale and the
// next start simply takes it. The holder removes the file when it lets go; a file left by a killed
// holder is reused. Not held by child processes (the archiver, the host program started at the
// end). Linux: flock() on the file, checked to still be the file of that name; Windows: the file
// opened without sharing and deleted when closed.
class InstallationLock final
{
public:
    enum class State { Held, HeldElsewhere, Failed };

    explicit InstallationLock(QString path);
    ~InstallationLock();
    InstallationLock(const InstallationLock &) = delete;
    InstallationLock &operator=(const InstallationLock &) = delete;

    // Takes the lock without waiting: HeldElsewhere while another process holds it, Failed (with
    // errorText()) when the file cannot be made (a read-only installation).
    [[nodiscard]] State tryLock();
    [[nodiscard]] bool isHeld() const { return m_handle != invalidHandle; }
    [[nodiscard]] QString errorText() const { return m_errorText; }

private:
    static constexpr qintptr invalidHandle = -1;

    QString m_path;
    QString m_errorText;
    qintptr m_handle = invalidHandle; // the file descriptor, or the Windows handle
};
