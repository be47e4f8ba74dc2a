#pragma once

#include "support/fileresult.h"
#include "support/stringlist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFlags>
#include <QString>

// Whole 8-bit text files: read at once for the line reader, or as a list of lines, and written
// whole so that nobody ever finds half a file. Failures come back with the path and the reason;
// showing them is the caller's business.
namespace TextFile {

enum ReadFlag {
    SkipBlankLines = 0x01,
    SkipComments = 0x02,
    NormaliseBlanks = 0x04,
    ConvertCp866 = 0x08,
    // Looked for in the current directory, then in the executable's directory (FileLookup).
    TryApplicationDir = 0x10,
};
Q_DECLARE_FLAGS(ReadFlags, ReadFlag)

// The file's bytes as they are; on failure the path as given.
[[nodiscard]] FileResult<QByteArray> readWhole(const QString &path);

// The file's lines (growth step 1000) with the flags above; on failure the path as given.
[[nodiscard]] FileResult<StringList> readLines(const QString &path, ReadFlags flags);

// Writes a whole file: a temporary file beside it, renamed into place only when every byte was
// written, so a crash or a full disk leaves the previous file. Where the directory refuses new
// files but the file itself is writable, the file is rewritten in place instead, without that
// safety; a write that fails there is reported all the same.
[[nodiscard]] FileResult<> writeWhole(const QString &path, QByteArrayView contents);

} // namespace TextFile

Q_DECLARE_OPERATORS_FOR_FLAGS(TextFile::ReadFlags)
