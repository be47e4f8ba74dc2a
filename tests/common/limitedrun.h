#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// Runs work in a child process under the limits a test puts on it, so that the test itself stays
// free of them: permissions that bind (root, which ignores them, becomes the user nobody) and,
// with a positive sizeLimit, the most the child may write into one file, as on a disk that fills
// up. Windows has no way to drop root's rights to a user nobody, nor a limit of a file's size:
// there work under limits does not run (std::nullopt) and the test skips with `unsupported`; work
// without limits runs in the test's own process.
namespace LimitedRun {

struct Limits
{
    bool permissionsBind = false;
    qint64 sizeLimit = 0; // 0: none
};

inline constexpr char unsupported[]
    = "This system can neither make permissions bind a test run as administrator nor limit a file's size";

// Whether work returned true; std::nullopt where the limits cannot be had.
[[nodiscard]] std::optional<bool> run(const std::function<bool()> &work, Limits limits);

} // namespace LimitedRun
