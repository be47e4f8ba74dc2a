#include "platform/installationlock.h"

#include <QDir>

#include <windows.h>

InstallationLock::InstallationLock(QString path)
    : m_path(std::move(path))
{ }

InstallationLock::~InstallationLock()
{
    // The system deletes the file with the last handle, also when the process is killed.
    if (isHeld())
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

InstallationLock::State InstallationLock::tryLock()
{
    if (isHeld())
        return State::Held;
    const std::wstring name = QDir::toNativeSeparators(m_path).toStdWString();
    // No sharing: any other open fails while this handle lives. Not inherited by child processes.
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            return State::HeldElsewhere;
        m_errorText = m_path + QStringLiteral(": ") + qt_error_string(int(error));
        return State::Failed;
    }
    m_handle = reinterpret_cast<qintptr>(handle);
    return State::Held;
}
