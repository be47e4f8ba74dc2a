#include "modes/modeentries.h"

#include <QWidget>

// This build has no updater window yet.
std::unique_ptr<QWidget> Modes::startUpdaterDialog(const QByteArray &, const QByteArray &, const QByteArray &)
{
    return nullptr;
}
