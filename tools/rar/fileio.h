#pragma once

#include "result.h"

#include <cstddef>

// Whole writes on file descriptors: short transfers are continued, EINTR is retried.
namespace FileIo {

[[nodiscard]] Result writeAll(int fd, const void *data, std::size_t size);

} // namespace FileIo
