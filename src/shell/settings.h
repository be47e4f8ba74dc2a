#pragma once

#include "support/fileresult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// What the user chose, kept between runs in "tavx.in": named values (order of first insertion),
// twenty one-byte option numbers ("Ov") and the font sizes "hFont" (default 16) and "hFdia"
// (default 0: leave the font alone). Names beginning with '.' live in memory only; the value
// "(null)" counts as absent.
namespace Settings {

inline constexpr int optionCount = 20;

// A file that cannot be read leaves the defaults; the caller shows the warning.
FileResult<> load(const QString &fileName);
// Rewrites the file whole (temporary file renamed into place); false after the warning box.
bool save(const QString &fileName);
// Forgets everything (tests).
void reset();

[[nodiscard]] std::optional<QByteArray> value(QByteArrayView name);
// Replaces in place or appends; trailing blanks of the value are removed; nullopt makes an
// existing value absent and does nothing for a new name.
void setValue(QByteArrayView name, std::optional<QByteArrayView> value);

[[nodiscard]] std::array<std::uint8_t, optionCount> &options();
[[nodiscard]] int fontSize();
[[nodiscard]] int dialogFontSize();

// Style sheet from the executable's directory, lines cut at "//"; a file that cannot be read
// leaves the application's style sheet alone and the caller shows the warning.
FileResult<> loadStyleSheet(const QString &fileName);

} // namespace Settings
