#pragma once

#include <string>
#include <string_view>
#include <utility>

// The outcome of one step of the archiver: success, or failure with a reason for the user
// ("No space left on device", "the path leads outside the target").
class [[nodiscard]] Result final
{
public:
    static Result success() { return Result(true, {}); }
    static Result failure(std::string reason) { return Result(false, std::move(reason)); }
    // The failure of a system call, described by its error number.
    static Result fromErrno(int error);
    // A failure in the system's own words that stands for the error number (a Windows error that
    // means what the number means), so that isWriteFault() sees it.
    static Result failure(std::string reason, int error) { return Result(false, std::move(reason), error); }

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] const std::string &reason() const { return m_reason; }
    // The disk refused to store data (full, over quota or the file-size limit, read-only,
    // failing): a fault of the place written to, not of the archive.
    [[nodiscard]] bool isWriteFault() const;

private:
    Result(bool ok, std::string reason, int error = 0)
        : m_ok(ok)
        , m_reason(std::move(reason))
        , m_error(error)
    { }

    bool m_ok;
    std::string m_reason;
    int m_error; // the system's error number, 0 when there is none
};
