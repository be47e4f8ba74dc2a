#include "modes/modeentries.h"

#include "modes/update/tup.h"

std::unique_ptr<QWidget> Modes::startUpdaterDialog(
    const QByteArray &updateFile, const QByteArray &, const QByteArray &programLine)
{
    auto dialog = std::make_unique<TUp>(updateFile, programLine);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    dialog->setFocus();
    // The keyboard starts on the first control, so that Space presses it at once.
    for (QWidget *next = dialog->nextInFocusChain(); next && next != dialog.get();
         next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isVisibleTo(dialog.get()) && next->isEnabled()) {
            next->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return dialog;
}
