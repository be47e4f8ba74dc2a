#pragma once

#include "platform/word/wordautomation.h"

#include <memory>

// The word-processor backend of this platform: Word through COM automation on Windows, an OpenDocument
// file opened with the desktop's word processor elsewhere.
namespace WordBackend {

[[nodiscard]] std::unique_ptr<WordAutomation> createDefault();

} // namespace WordBackend
