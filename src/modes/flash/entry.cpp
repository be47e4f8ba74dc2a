#include "modes/modeentries.h"

#include "modes/flash/tflash.h"

std::unique_ptr<QWidget> Modes::startFlash()
{
    auto flash = std::make_unique<TFlash>();
    flash->buildPages();
    flash->selectPage();
    flash->show();
    return flash;
}
