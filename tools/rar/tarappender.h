#pragma once

#include "entrypath.h"
#include "platform.h"
#include "result.h"
#include "uniquefd.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct archive;

// Adds files to a tar archive (POSIX pax format, uncompressed) by appending them in place: a later
// entry of a path replaces the earlier one when extracting, so the cost of one file does not grow
// with the archive, and the entries already there are never rewritten. Each entry starts where
// the whole entries end (TarEnd); an entry that fails (full disk, unreadable file) is cut off
// again, and one cut short by a kill is written over by the next run.
class TarAppender final
{
public:
    TarAppender() = default;
    TarAppender(const TarAppender &) = delete;
    TarAppender &operator=(const TarAppender &) = delete;
    // An archive that open() created and that received nothing is removed.
    ~TarAppender();

    // Opens the archive at path (created when missing) for this process alone and finds its end.
    [[nodiscard]] Result open(const std::string &path);
    // Adds the file, link or directory at path under its relative name; with recursive, a
    // directory's contents follow it. Returns one problem per entry that was not added ("name: reason").
    [[nodiscard]] std::vector<std::string> add(const std::string &path, bool recursive);
    // Called with the name of every entry added.
    void setEntryCallback(std::function<void(const std::string &name)> callback)
    {
        m_onEntry = std::move(callback);
    }
    // Ends the archive and makes it durable (fsync, close). A failure takes back this run's entries.
    [[nodiscard]] Result finish();

private:
    void addTree(
        const std::string &source, const EntryPath &name, bool recursive, std::vector<std::string> &problems);
    Result appendEntry(const std::string &source, const EntryPath &name, const Platform::FileStatus &status);
    Result writeEntry(
        archive *writer, const std::string &source, const EntryPath &name, Platform::FileStatus status);
    static ssize_t writeCallback(archive *writer, void *self, const void *buffer, std::size_t size);
    void removeIfCreated();

    std::string m_path;
    UniqueFd m_fd;
    bool m_created = false;
    int m_added = 0;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    std::uint64_t m_runStart = 0; // where this run's first entry goes
    std::uint64_t m_end = 0; // where the whole entries end
    std::uint64_t m_position = 0; // where the writer's next byte goes
    bool m_discard = false; // drop the writer's output (its end blocks, or after a failure)
    Result m_writeResult = Result::success();
    std::vector<char> m_buffer;
    std::function<void(const std::string &)> m_onEntry;
};
