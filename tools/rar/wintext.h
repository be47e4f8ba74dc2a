#pragma once

#include "result.h"

#include <string>

// Text between the archiver's UTF-8 and the wide-character calls of Windows (platform_win.cpp).
namespace WinText {

[[nodiscard]] std::wstring wide(const std::string &text);
[[nodiscard]] std::string utf8(const wchar_t *text);
// The failure of the last Windows call, in the system's words.
[[nodiscard]] Result lastError();

} // namespace WinText
