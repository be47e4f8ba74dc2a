#pragma once

#include "support/fileresult.h"
#include "support/stringlist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The message catalog "tav.t": every text the program shows and every dialog description,
// looked up by key. Entries are kept in code page 1251 in file order; the first occurrence of a
// key wins. An argument that is no key (absent catalog, contains a blank, unknown) is returned as
// it is, so code passes keys and literal texts to the same accessors.
namespace Catalog {

// Current directory first, then the executable's directory (FileLookup); a second load appends.
// A file found in neither fails with the path in the executable's directory, and the caller
// shows the warning.
FileResult<> load(const QString &fileName);
[[nodiscard]] bool isLoaded();
// Forgets the catalog (tests).
void clear();

// The text of a key; nullopt for a key whose line has no text.
[[nodiscard]] std::optional<QByteArray> text(QByteArrayView keyOrText);
// As text(), as Unicode, cut before a '[' that is not the first character.
[[nodiscard]] QString displayText(QByteArrayView keyOrText);
// The text of a key used as a printf format: the catalog's text when it reads exactly these
// conversions (Strings::formatTakes, "ds": an int, then a text), otherwise the built-in fallback,
// so that a catalog never makes the program read its arguments wrongly.
[[nodiscard]] QByteArray checkedFormat(QByteArrayView key, QByteArrayView conversions, const char *fallback);
// The text split at '/'.
[[nodiscard]] StringList list(QByteArrayView keyOrText);
// The text without trailing blanks, "{key}" replaced by that key's text (one level), cut to
// maxLength characters.
[[nodiscard]] QByteArray expanded(QByteArrayView keyOrText, qsizetype maxLength = 1999);

} // namespace Catalog
