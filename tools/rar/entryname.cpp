#include "entryname.h"

#include "platform.h"
#include "support/codepage.h"

#include <archive.h>

void EntryName::prepareReader(archive *reader)
{
    // Where the conversion is not available the names stay as stored and toUtf8() reads them as
    // code page 1251: a wrong letter, but never a lost file.
    archive_read_set_format_option(reader, "zip", "hdrcharset", "CP866");
    archive_read_set_format_option(reader, "rar", "hdrcharset", "CP866");
    Platform::prepareReader(reader);
}

std::string EntryName::toUtf8(std::string_view name)
{
    const QByteArrayView bytes(name.data(), qsizetype(name.size()));
    if (bytes.isValidUtf8())
        return std::string(name);
    return CodePage::toUnicode(bytes).toStdString();
}
