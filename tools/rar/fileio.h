#pragma once

#include "result.h"

#include <cstddef>
#include <cstdint>

// Whole reads and writes on file descriptors: short transfers are continued, EINTR is retried.
namespace FileIo {

[[nodiscard]] Result writeAll(int fd, const void *data, std::size_t size);
// Reads exactly size bytes at offset; the end of the file before that is a failure (EIO).
[[nodiscard]] Result readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset);

} // namespace FileIo
