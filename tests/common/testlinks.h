#pragma once

#include <QString>

// Symbolic links for tests, made by the system's own call: Qt's QFile::link() makes a shortcut file
// on Windows. Windows lets only privileged users make links, and Wine makes none; there make() is
// false and a test skips what needs a link, with noLinks as the reason.
namespace TestLinks {

inline constexpr char noLinks[] = "This system does not let a user make symbolic links";

// Makes link, leading to target (relative to the link's folder, or absolute).
[[nodiscard]] bool make(const QString &target, const QString &link);

} // namespace TestLinks
