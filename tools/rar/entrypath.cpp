#include "entrypath.h"

#include "platform.h"

namespace {

// Splits at the separators and drops empty and "." components.
std::vector<std::string_view> splitPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto slash = path.find_first_of(Platform::separators());
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

} // namespace

std::optional<EntryPath> EntryPath::parse(std::string_view name, std::string &reason)
{
    if (!name.empty() && Platform::separators().find(name.front()) != std::string_view::npos) {
        reason = "absolute path refused";
        return std::nullopt;
    }
    EntryPath path;
    for (const std::string_view part : splitPath(name)) {
        if (part == "..") {
            reason = "path with \"..\" refused";
            return std::nullopt;
        }
        if (Result usable = Platform::checkComponent(part); !usable.ok()) {
            reason = usable.reason();
            return std::nullopt;
        }
        path.m_components.emplace_back(part);
    }
    return path;
}

Result EntryPath::checkLinkTarget(std::string_view target) const
{
    if (target.empty())
        return Result::failure("link without a target refused");
    if (Platform::separators().find(target.front()) != std::string_view::npos)
        return Result::failure("link to an absolute path refused");
    // ".." may only lead the target: after a name it would step up from wherever that name leads
    // once it is a link. The leading ones must not climb above the root.
    std::size_t depth = m_components.empty() ? 0 : m_components.size() - 1;
    bool named = false;
    for (const std::string_view part : splitPath(target)) {
        if (part != "..") {
            named = true;
        } else if (named) {
            return Result::failure("link with \"..\" after a name refused");
        } else if (depth-- == 0) {
            return Result::failure("link leading outside the target refused");
        }
    }
    return Result::success();
}

std::string EntryPath::fileName() const
{
    return m_components.empty() ? std::string() : m_components.back();
}

EntryPath EntryPath::parent() const
{
    EntryPath path = *this;
    if (!path.m_components.empty())
        path.m_components.pop_back();
    return path;
}

EntryPath EntryPath::child(std::string name) const
{
    EntryPath path = *this;
    path.m_components.push_back(std::move(name));
    return path;
}

std::string EntryPath::toString() const
{
    std::string text;
    for (const std::string &part : m_components) {
        if (!text.empty())
            text += '/';
        text += part;
    }
    return text;
}
