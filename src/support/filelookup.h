#pragma once

#include <QString>
#include <QStringList>

// Where the program looks for a file of its own that the host installation may hold (catalog,
// list files, pictures): the path as given, relative to the current directory (the host
// installation's directory), then the same path in the executable's directory.
namespace FileLookup {

// Those places in that order; the executable's directory is left out while there is no
// application object to tell where the executable is.
[[nodiscard]] QStringList candidates(const QString &path);

} // namespace FileLookup
