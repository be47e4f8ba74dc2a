// A stand-in program for the Windows tests, copied under the name it stands in for ("kora10.exe",
// a running "tav.exe"): it appends its command line to "<its own path>.ran" (UTF-8), so that a
// test sees that and how it was started, and then stays running for as many seconds as its first
// argument "wait=N" says, so that a test can replace it while it runs.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int main()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    const std::wstring log = std::wstring(self) + L".ran";

    const wchar_t *commandLine = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string line(size_t(size > 0 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, line.data(), size, nullptr, nullptr);
    FILE *file = _wfopen(log.c_str(), L"ab");
    if (!file)
        return 3;
    std::fputs((line + "\n").c_str(), file);
    std::fclose(file);

    int arguments = 0;
    wchar_t **argv = CommandLineToArgvW(commandLine, &arguments);
    if (argv && arguments > 1 && std::wcsncmp(argv[1], L"wait=", 5) == 0)
        Sleep(DWORD(std::wcstol(argv[1] + 5, nullptr, 10)) * 1000);
    LocalFree(argv);
    return 0;
}
