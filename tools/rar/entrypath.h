#pragma once

#include "result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A name inside an archive, checked before anything is made from it on disk: a relative path whose
// components are neither empty, "." nor "..". "a//b/./c/" is the same name as "a/b/c"; "./" and ""
// name the root itself. The same rules decide which paths `a` stores, so whatever `a` writes, `x`
// extracts.
class EntryPath final
{
public:
    EntryPath() = default;

    // The name as stored, or nothing with the reason in reason: an absolute path or a ".."
    // component.
    [[nodiscard]] static std::optional<EntryPath> parse(std::string_view name, std::string &reason);

    // A symbolic link stored at this path may point to target when target is relative, its ".."
    // come before every name, and they climb no higher than the root.
    [[nodiscard]] Result checkLinkTarget(std::string_view target) const;

    [[nodiscard]] bool isRoot() const { return m_components.empty(); }
    [[nodiscard]] const std::vector<std::string> &components() const { return m_components; }
    // The last component; empty for the root.
    [[nodiscard]] std::string fileName() const;
    [[nodiscard]] EntryPath parent() const;
    [[nodiscard]] EntryPath child(std::string name) const;
    // The components joined by "/"; empty for the root.
    [[nodiscard]] std::string toString() const;

    bool operator==(const EntryPath &) const = default;

private:
    std::vector<std::string> m_components;
};
