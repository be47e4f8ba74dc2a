#include "modes/modeentries.h"

#include "modes/update/tup.h"
#include "toolkit/windowdecoration.h"

std::unique_ptr<QWidget> Modes::startUpdaterDialog(
    const QByteArray &updateFile, const QByteArray &, const QByteArray &programLine)
{
    auto dialog = std::make_unique<TUp>(updateFile, programLine);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    // The keyboard starts on the first control, "New": Space presses it at once.
    focusFirstField(dialog.get());
    return dialog;
}
