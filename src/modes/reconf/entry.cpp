#include "modes/modeentries.h"

#include "modes/reconf/reconf.h"
#include "toolkit/windowdecoration.h"

std::unique_ptr<QWidget> Modes::startReconfDialog()
{
    auto dialog = std::make_unique<ReConf>();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    focusFirstField(dialog.get());
    return dialog;
}
