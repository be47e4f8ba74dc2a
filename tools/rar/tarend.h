#pragma once

#include "result.h"

#include <cstdint>

// Where the whole entries of a tar file end: the place to append the next entry. Found by walking
// the headers with reads at their offsets, so the cost grows with the number of entries, not with
// their size. A tail cut off by a killed append (an entry whose header or data does not reach to
// the end of the file, a lone extended header) is not counted: the next entry is written over it.
struct TarEnd
{
    std::uint64_t offset = 0;

    // Walks the tar file open at fd of the given size. Fails when the file is not a tar file or
    // is damaged before its end, where writing at the end would lose entries.
    [[nodiscard]] static Result find(int fd, std::uint64_t fileSize, TarEnd &end);
};
