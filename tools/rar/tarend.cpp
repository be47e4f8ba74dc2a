#include "tarend.h"

#include "platform.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::uint64_t blockSize = 512;
// Extended headers are a few hundred bytes; a larger one is read only as far as this.
constexpr std::size_t extendedHeaderLimit = 64 * 1024;

using Block = std::array<unsigned char, blockSize>;

bool isZero(const Block &block)
{
    return std::all_of(block.begin(), block.end(), [](unsigned char c) { return c == 0; });
}

// An octal field (NUL or blank terminated), or a base-256 one (high bit of its first byte set).
std::optional<std::uint64_t> numberField(const unsigned char *field, std::size_t size)
{
    std::uint64_t value = 0;
    if (field[0] & 0x80) {
        if (field[0] & 0x40)
            return std::nullopt; // negative
        value = field[0] & 0x3f;
        for (std::size_t i = 1; i < size; ++i) {
            if (value >> 56)
                return std::nullopt;
            value = value << 8 | field[i];
        }
        return value;
    }
    std::size_t i = 0;
    while (i < size && field[i] == ' ')
        ++i;
    bool digits = false;
    for (; i < size && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (value >> 60)
            return std::nullopt;
        value = value << 3 | static_cast<std::uint64_t>(field[i] - '0');
        digits = true;
    }
    if (i < size && field[i] != ' ' && field[i] != '\0')
        return std::nullopt;
    return digits ? std::optional(value) : std::nullopt;
}

// A ustar or GNU header whose checksum matches, counting the checksum field as blanks; some old
// writers summed signed bytes.
bool isHeader(const Block &block)
{
    const std::string_view magic(reinterpret_cast<const char *>(block.data()) + 257, 5);
    if (magic != "ustar")
        return false;
    const std::optional<std::uint64_t> stored = numberField(block.data() + 148, 8);
    if (!stored)
        return false;
    std::uint64_t unsignedSum = 0;
    std::int64_t signedSum = 0;
    for (std::size_t i = 0; i < blockSize; ++i) {
        const bool inChecksum = i >= 148 && i < 156;
        unsignedSum += inChecksum ? ' ' : block[i];
        signedSum += inChecksum ? ' ' : static_cast<signed char>(block[i]);
    }
    return *stored == unsignedSum || static_cast<std::int64_t>(*stored) == signedSum;
}

// The "size" record of a pax extended header ("<length> size=<value>\n" records), which replaces
// the size field of the header that follows.
std::optional<std::uint64_t> paxSize(std::string_view records)
{
    while (!records.empty()) {
        std::size_t length = 0;
        const auto [end, error] = std::from_chars(records.data(), records.data() + records.size(), length);
        if (error != std::errc() || length == 0 || length > records.size())
            return std::nullopt;
        const std::string_view record = records.substr(0, length);
        const std::size_t blank = record.find(' ');
        if (blank != std::string_view::npos && record.substr(blank + 1).starts_with("size=")) {
            std::uint64_t size = 0;
            const std::string_view value = record.substr(blank + 6);
            const auto parsed = std::from_chars(value.data(), value.data() + value.size(), size);
            if (parsed.ec == std::errc())
                return size;
        }
        records.remove_prefix(length);
    }
    return std::nullopt;
}

} // namespace

Result TarEnd::find(int fd, std::uint64_t fileSize, TarEnd &end)
{
    // An entry is a group of headers: extended headers ('x', GNU 'L' and 'K') and the header they
    // belong to, then its data. The archive ends after the last whole group.
    std::uint64_t offset = 0;
    std::uint64_t groupStart = 0;
    std::optional<std::uint64_t> extendedSize;
    Block block;
    for (;;) {
        end.offset = groupStart;
        if (fileSize - offset < blockSize) {
            // Cut in the middle of a header. A file that is shorter than one header is not ours.
            if (offset == 0 && fileSize > 0)
                return Result::failure("not a tar archive");
            return Result::success();
        }
        if (Result read = Platform::readAt(fd, block.data(), blockSize, offset); !read.ok())
            return read;
        if (isZero(block))
            return Result::success(); // the end-of-archive blocks
        if (!isHeader(block)) {
            if (offset == 0)
                return Result::failure("not a tar archive");
            return Result::failure("damaged tar archive (bad header at byte " + std::to_string(offset) + ")");
        }
        std::optional<std::uint64_t> size = numberField(block.data() + 124, 12);
        if (!size)
            return Result::failure("damaged tar archive (bad size at byte " + std::to_string(offset) + ")");
        const char type = static_cast<char>(block[156]);
        if (extendedSize && type != 'x' && type != 'L' && type != 'K')
            size = extendedSize;
        const std::uint64_t padded = (*size + blockSize - 1) / blockSize * blockSize;
        if (padded > fileSize - offset - blockSize)
            return Result::success(); // data cut off
        if (type == 'x') {
            std::string records(std::min<std::uint64_t>(*size, extendedHeaderLimit), '\0');
            if (Result read = Platform::readAt(fd, records.data(), records.size(), offset + blockSize);
                !read.ok())
                return read;
            if (const std::optional<std::uint64_t> paxDataSize = paxSize(records))
                extendedSize = paxDataSize;
        }
        offset += blockSize + padded;
        if (type != 'x' && type != 'L' && type != 'K') {
            groupStart = offset;
            extendedSize.reset();
        }
    }
}
