#pragma once

#include "result.h"

#include <string>

// Text between the archiver's UTF-8 and the wide-character calls of Windows (platform_win.cpp).
namespace WinText {

[[nodiscard]] std::wstring wide(const std::string &text);
[[nodiscard]] std::string utf8(const wchar_t *text);
// The failure of the last Windows call, in the system's words. An error that means the disk
// refused the data (full, over quota, write-protected, a file too large, a device fault) is a
// write fault, like its errno counterpart elsewhere.
[[nodiscard]] Result lastError();

} // namespace WinText
