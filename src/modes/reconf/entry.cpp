#include "modes/modeentries.h"

#include "modes/reconf/reconf.h"

std::unique_ptr<QWidget> Modes::startReconfDialog()
{
    auto dialog = std::make_unique<ReConf>();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    dialog->setFocus();
    return dialog;
}
