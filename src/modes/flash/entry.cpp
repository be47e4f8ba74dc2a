#include "modes/modeentries.h"

#include <QWidget>

// This build has no window for the mode yet.
std::unique_ptr<QWidget> Modes::startFlash()
{
    return nullptr;
}
