#pragma once

#include <string>
#include <string_view>

struct archive;

// Names inside archives as the UTF-8 the file system takes. Archives written on Windows store the
// names of Russian users in 8-bit code pages: zip entries without the Unicode flag and RAR4 entries
// without the Unicode name in the OEM code page 866, tar headers in whatever the packing system
// used (a name that is not UTF-8 is taken as code page 1251). RAR5, 7z, pax and flagged entries are
// Unicode already.
namespace EntryName {

// Makes the zip and RAR readers convert unflagged names from code page 866.
void prepareReader(archive *reader);

// A name (or link target) as the platform read it (Platform::entryPathname), as UTF-8: unchanged
// when it is valid UTF-8, as Windows' wide names always are, else read as code page 1251. Every
// byte string gives a name, so no entry is lost for its name.
[[nodiscard]] std::string toUtf8(std::string_view name);

} // namespace EntryName
