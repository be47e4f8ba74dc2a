#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command lines of the stand-in archiver, as the updater calls it:
//   rar x [switches] ARCHIVE [TARGET/]   extract everything, into TARGET/ (TARGET\ too on Windows)
//                                        or the current directory
//   rar a [switches] ARCHIVE PATH...     add or replace PATH (-r: with a directory's contents)
// A PATH written "@LIST" names a list file: one path per line (LF or CRLF, empty lines skipped),
// each line the path as if given on the command line; the text is the file names' own bytes here,
// the ANSI code page on Windows (Platform::listText), as the Windows archiver reads a list file. Switches
// (-r, -y, -idcpdq) stand anywhere between the command and ARCHIVE. Anything else is a usage error.
class RarCommand final
{
public:
    enum class Kind { Extract, Add };

    // Exit codes.
    static constexpr int Success = 0;
    static constexpr int EntryFailed = 1; // some entries or paths failed, the others were done
    static constexpr int ArchiveFailed = 2; // the archive or a list could not be read, created or written
    static constexpr int UsageError = 3;
    // x: some entries failed because the disk refused them (full, read-only), the code RAR gives
    // a write error.
    static constexpr int WriteFailed = 5;

    // The command of the arguments after the program name, or nothing (the reason in error).
    [[nodiscard]] static std::optional<RarCommand> parse(
        const std::vector<std::string_view> &arguments, std::string &error);
    [[nodiscard]] static std::string_view usage();
    // The archive name as `a` uses it: ".rar" appended when the file name has no extension.
    [[nodiscard]] static std::string withExtension(std::string_view name);
    // The paths of a list file's text.
    [[nodiscard]] static std::vector<std::string> listedPaths(std::string_view text);

    // Runs the command: errors go to standard error; the entries done to standard output unless quiet.
    [[nodiscard]] int run() const;

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] bool isQuiet() const { return m_quiet; }
    [[nodiscard]] bool isRecursive() const { return m_recursive; }
    [[nodiscard]] const std::string &archive() const { return m_archive; }
    [[nodiscard]] const std::string &target() const { return m_target; }
    [[nodiscard]] const std::vector<std::string> &paths() const { return m_paths; }

private:
    int extract() const;
    int add() const;
    // The PATH arguments with every @LIST replaced by its paths; false (the reason printed) when a
    // list cannot be read.
    bool expandedPaths(std::vector<std::string> &paths) const;

    Kind m_kind = Kind::Extract;
    bool m_quiet = false;
    bool m_recursive = false;
    std::string m_archive;
    std::string m_target = ".";
    std::vector<std::string> m_paths;
};
