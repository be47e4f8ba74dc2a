// A stand-in program for the Windows tests, copied under the name it stands in for ("kora10.exe",
// a running "tav.exe"): it writes its working directory to "<its own path>.cwd" and then appends its
// command line to "<its own path>.ran" (both UTF-8), so that a test sees that, where and how it was
// started, and then stays running for as many seconds as its first argument "wait=N" says, so that
// a test can replace it while it runs.
//
// Where "<its own path>.do" exists, the stand-in then does what that file says instead, one step a
// line, as a stand-in for the archiver: "args" writes each argument followed by "|" to standard
// error, "say TEXT" writes the line TEXT there, "sleep MS" waits, "exit N" ends with that code,
// "crash" ends as a crashed program does (with an exception's code), "touch FILE" makes an empty
// file ("{1}" in its name stands for the first argument) and "run PROGRAM" runs that program with
// the stand-in's own arguments and waits for it; the stand-in then ends with its exit code unless
// an "exit" says otherwise.
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

std::wstring wide(const std::string &bytes)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, nullptr, 0);
    std::wstring text(size_t(size > 0 ? size - 1 : 0), L'\0');
    if (size > 1)
        MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, text.data(), size);
    return text;
}

// The command line after the program's own name, as it was given.
const wchar_t *argumentsOf(const wchar_t *commandLine)
{
    const wchar_t *at = commandLine;
    if (*at == L'"') {
        at = std::wcschr(at + 1, L'"');
        return at ? at + 1 : L"";
    }
    while (*at && *at != L' ' && *at != L'\t')
        ++at;
    return at;
}

// Runs the program with these arguments and the stand-in's own standard channels; its exit code.
int run(const std::wstring &program, const wchar_t *arguments)
{
    std::wstring commandLine = L"\"" + program + L"\"" + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
            &startup, &process))
        return 127;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

// Follows the steps of the file; the exit code of the last "exit" or else of the last "run", else 0.
int follow(FILE *steps, int arguments, wchar_t **argv)
{
    int code = 0;
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
        } else if (step.starts_with("touch ")) {
            std::string name = step.substr(6);
            if (const size_t at = name.find("{1}"); at != std::string::npos)
                name.replace(at, 3, arguments > 1 ? utf8(argv[1]) : std::string());
            if (FILE *file = _wfopen(wide(name).c_str(), L"wb"))
                std::fclose(file);
        } else if (step.starts_with("run ")) {
            std::fflush(stderr);
            code = run(wide(step.substr(4)), argumentsOf(GetCommandLineW()));
        } else if (step == "crash") {
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), EXCEPTION_ACCESS_VIOLATION);
        }
    }
    return code;
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
