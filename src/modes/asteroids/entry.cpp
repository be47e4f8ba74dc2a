#include "modes/modeentries.h"

#include "installation/hostinstallation.h"
#include "modes/asteroids/taster.h"
#include "toolkit/windowdecoration.h"

std::unique_ptr<QWidget> Modes::startAsteroidDialog()
{
    // Without an ephemeris directory the search has warned; the dialog is still of use.
    HostInstallation::findEphemerisDirectory();
    auto dialog = std::make_unique<TAster>();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    focusFirstField(dialog.get());
    return dialog;
}
