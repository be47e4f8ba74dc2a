#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The updater's own files in the installation, by their names in code page 1251: the executable,
// which an update replaces while it runs by parking it under another name first, and the files
// that an update never backs up. On Windows these are "tav.exe", "tavold.exe", "tav.t" and
// "text.t"; elsewhere the executable is "tav" and its parked name "tavold".
namespace OwnFiles {

[[nodiscard]] QByteArray executableName();
// The name under which the running executable is kept while the new one moves in.
[[nodiscard]] QByteArray parkedExecutableName();
// The executable, "tav.t" and "text.t", compared exactly.
[[nodiscard]] bool isNeverBackedUp(QByteArrayView path);

} // namespace OwnFiles
