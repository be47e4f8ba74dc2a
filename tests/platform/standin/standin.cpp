// A stand-in program for the Windows tests, copied under the name it stands in for ("kora10.exe",
// a running "tav.exe"): it writes its working directory to "<its own path>.cwd" and then appends its
// command line to "<its own path>.ran" (both UTF-8), so that a test sees that, where and how it was
// started, and then stays running for as many seconds as its first argument "wait=N" says, so that
// a test can replace it while it runs.
//
// Where "<its own path>.do" exists, the stand-in then does what that file says instead, one step a
// line, as a stand-in for the archiver: "args" writes each argument followed by "|" to standard
// error, "say TEXT" writes the line TEXT there, "sleep MS" waits, "exit N" ends with that code and
// "crash" ends as a crashed program does (with an exception's code).
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

// Follows the steps of the file; the exit code of the last "exit", else 0.
int follow(FILE *steps, int arguments, wchar_t **argv)
{
    char line[1024];
    while (std::fgets(line, sizeof line, steps)) {
        std::string step(line);
        while (!step.empty() && (step.back() == '\n' || step.back() == '\r'))
            step.pop_back();
        if (step == "args") {
            for (int i = 1; i < arguments; ++i)
                std::fputs((utf8(argv[i]) + "|").c_str(), stderr);
        } else if (step.starts_with("say ")) {
            std::fputs((step.substr(4) + "\n").c_str(), stderr);
        } else if (step.starts_with("sleep ")) {
            std::fflush(stderr);
            Sleep(DWORD(std::stoul(step.substr(6))));
        } else if (step.starts_with("exit ")) {
            return std::stoi(step.substr(5));
        } else if (step == "crash") {
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), EXCEPTION_ACCESS_VIOLATION);
        }
    }
    return 0;
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
    if (FILE *steps = _wfopen((std::wstring(self) + L".do").c_str(), L"rb")) {
        const int code = follow(steps, argv ? arguments : 0, argv);
        std::fclose(steps);
        LocalFree(argv);
        return code;
    }
    if (argv && arguments > 1 && std::wcsncmp(argv[1], L"wait=", 5) == 0)
        Sleep(DWORD(std::wcstol(argv[1] + 5, nullptr, 10)) * 1000);
    LocalFree(argv);
    return 0;
}
