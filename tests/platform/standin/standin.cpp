// A stand-in program for the Windows tests, copied under the name it stands in for ("kora10.exe",
// a running "tav.exe"): it writes its working directory to "<its own path>.cwd" and then appends its
// command line to "<its own path>.ran" (both UTF-8), so that a test sees that, where and how it was
// started, and then stays running for as many seconds as its first argument "wait=N" says, so that
// a test can replace it while it runs.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// Writes the line to the file in the mode given ("wb" or "ab").
bool put(const std::wstring &path, const wchar_t *mode, const std::string &line)
{
    FILE *file = _wfopen(path.c_str(), mode);
    if (!file)
        return false;
    std::fputs((line + "\n").c_str(), file);
    std::fclose(file);
    return true;
}

} // namespace

int main()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    wchar_t directory[MAX_PATH];
    const DWORD directoryLength = GetCurrentDirectoryW(MAX_PATH, directory);
    if (directoryLength == 0 || directoryLength >= MAX_PATH)
        return 2;
    // The directory first: once the command line is there, a test finds both.
    const wchar_t *commandLine = GetCommandLineW();
    if (!put(std::wstring(self) + L".cwd", L"wb", utf8(directory))
        || !put(std::wstring(self) + L".ran", L"ab", utf8(commandLine)))
        return 3;

    int arguments = 0;
    wchar_t **argv = CommandLineToArgvW(commandLine, &arguments);
    if (argv && arguments > 1 && std::wcsncmp(argv[1], L"wait=", 5) == 0)
        Sleep(DWORD(std::wcstol(argv[1] + 5, nullptr, 10)) * 1000);
    LocalFree(argv);
    return 0;
}
