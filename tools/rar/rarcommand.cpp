#include "rarcommand.h"

#include "archiveextractor.h"
#include "platform.h"
#include "tarappender.h"
#include "targetdirectory.h"
#include "uniquefd.h"

#include <cerrno>
#include <cstdio>

namespace {

void printProblem(const std::string &problem)
{
    std::fprintf(stderr, "rar: %s\n", Platform::outputText(problem).c_str());
}

// The list file's text in UTF-8, read through the platform like every other path.
Result readList(const std::string &path, std::string &text)
{
    const UniqueFd fd(Platform::openForReading(path));
    if (!fd.isValid())
        return Result::fromErrno(errno);
    Platform::FileStatus status;
    if (Result found = Platform::fileStatus(fd.get(), status); !found.ok())
        return found;
    std::string bytes(status.size, '\0');
    if (Result read = Platform::readAt(fd.get(), bytes.data(), bytes.size(), 0); !read.ok())
        return read;
    text = Platform::listText(std::move(bytes));
    return Result::success();
}

} // namespace

std::string_view RarCommand::usage()
{
    return "usage: rar x [-y] [-idcpdq] ARCHIVE [TARGET/]\n"
           "       rar a [-r] [-y] [-idcpdq] ARCHIVE PATH|@LIST...\n"
           "  x  extract every entry into TARGET/ (default: the current directory)\n"
           "  a  add or replace PATH in ARCHIVE (\".rar\" appended to a name without extension);\n"
           "     @LIST reads the paths from the file LIST, one per line\n"
           "  -r      take directories along with their contents\n"
           "  -y      answer yes (existing files are always overwritten)\n"
           "  -idcpdq print nothing but errors\n";
}

std::optional<RarCommand> RarCommand::parse(
    const std::vector<std::string_view> &arguments, std::string &error)
{
    if (arguments.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    RarCommand command;
    if (arguments[0] == "x") {
        command.m_kind = Kind::Extract;
    } else if (arguments[0] == "a") {
        command.m_kind = Kind::Add;
    } else {
        error = "unknown command \"" + std::string(arguments[0]) + '"';
        return std::nullopt;
    }
    std::size_t i = 1;
    for (; i < arguments.size() && arguments[i].starts_with('-'); ++i) {
        const std::string_view option = arguments[i];
        if (option == "-idcpdq") {
            command.m_quiet = true;
        } else if (option == "-r" && command.m_kind == Kind::Add) {
            command.m_recursive = true;
        } else if (option != "-y") {
            error = "unknown switch \"" + std::string(option) + '"';
            return std::nullopt;
        }
    }
    if (i == arguments.size()) {
        error = "no archive named";
        return std::nullopt;
    }
    const std::string_view archive = arguments[i++];
    const std::vector<std::string_view> rest(
        arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
    if (command.m_kind == Kind::Extract) {
        command.m_archive = archive;
        // On Windows "UP00\" names a directory as well as "UP00/".
        const auto endsInSeparator = [](std::string_view target) {
            return !target.empty() && Platform::separators().find(target.back()) != std::string_view::npos;
        };
        if (rest.size() > 1 || (rest.size() == 1 && !endsInSeparator(rest[0]))) {
            error = "x takes one target directory, written with a trailing \"/\"";
            return std::nullopt;
        }
        if (!rest.empty())
            command.m_target = rest[0];
    } else {
        command.m_archive = withExtension(archive);
        if (rest.empty()) {
            error = "no path to add";
            return std::nullopt;
        }
        command.m_paths.assign(rest.begin(), rest.end());
    }
    return command;
}

std::string RarCommand::withExtension(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    const std::string_view fileName = slash == std::string_view::npos ? name : name.substr(slash + 1);
    // A dot that only starts the name (".backup") is no extension.
    const std::size_t dot = fileName.rfind('.');
    std::string result(name);
    if (dot == std::string_view::npos || dot == 0)
        result += ".rar";
    return result;
}

int RarCommand::run() const
{
    return m_kind == Kind::Extract ? extract() : add();
}

int RarCommand::extract() const
{
    std::string reason;
    std::optional<TargetDirectory> target = TargetDirectory::open(m_target, reason);
    if (!target) {
        printProblem(m_target + ": " + reason);
        return ArchiveFailed;
    }
    ArchiveExtractor extractor(*target);
    if (!m_quiet)
        extractor.setEntryCallback(
            [](const std::string &name) { std::printf("%s\n", Platform::outputText(name).c_str()); });
    const ExtractReport report = extractor.extractFile(m_archive);
    for (const std::string &problem : report.problems)
        printProblem(problem);
    if (!report.readable)
        return ArchiveFailed;
    if (report.writeFault)
        return WriteFailed;
    return report.ok() ? Success : EntryFailed;
}

std::vector<std::string> RarCommand::listedPaths(std::string_view text)
{
    std::vector<std::string> paths;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!line.empty())
            paths.emplace_back(line);
    }
    return paths;
}

bool RarCommand::expandedPaths(std::vector<std::string> &paths) const
{
    for (const std::string &path : m_paths) {
        if (!path.starts_with('@') || path.size() == 1) {
            paths.push_back(path);
            continue;
        }
        const std::string list = path.substr(1);
        std::string text;
        if (Result read = readList(list, text); !read.ok()) {
            printProblem(list + ": " + read.reason());
            return false;
        }
        for (std::string &listed : listedPaths(text))
            paths.push_back(std::move(listed));
    }
    return true;
}

int RarCommand::add() const
{
    // Every list is read before the archive is touched: a list that cannot be read adds nothing.
    std::vector<std::string> paths;
    if (!expandedPaths(paths))
        return ArchiveFailed;
    TarAppender appender;
    if (Result opened = appender.open(m_archive); !opened.ok()) {
        printProblem(m_archive + ": " + opened.reason());
        return ArchiveFailed;
    }
    if (!m_quiet)
        appender.setEntryCallback(
            [](const std::string &name) { std::printf("%s\n", Platform::outputText(name).c_str()); });
    std::vector<std::string> problems;
    for (const std::string &path : paths) {
        for (std::string &problem : appender.add(path, m_recursive))
            problems.push_back(std::move(problem));
    }
    for (const std::string &problem : problems)
        printProblem(problem);
    if (Result finished = appender.finish(); !finished.ok()) {
        printProblem(m_archive + ": " + finished.reason());
        return ArchiveFailed;
    }
    return problems.empty() ? Success : EntryFailed;
}
