#pragma once

#include <QString>

// Where a test program finds what the build made and the checkout. The build puts the catalogs,
// the style sheet and the programs beside the test programs; its own path would be a foreign one
// where the tests run elsewhere (under Wine it names a folder on the current drive).
namespace TestPaths {

// The folder of the running test program.
[[nodiscard]] QString binDir();
// name in that folder.
[[nodiscard]] QString built(const QString &name);
// The checkout, on the drive the build is on (under Wine the build's path has no drive of its own).
[[nodiscard]] QString sourceDir();
// The folder of the shared fixtures, likewise.
[[nodiscard]] QString sharedDir();

} // namespace TestPaths
