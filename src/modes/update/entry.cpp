#include "modes/modeentries.h"

#include "modes/update/tup.h"
#include "platform/installationlock.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "toolkit/windowdecoration.h"

std::unique_ptr<QWidget> Modes::startUpdaterDialog(
    const QByteArray &updateFile, const QByteArray &, const QByteArray &programLine)
{
    // One updater per installation for the window's whole life: a second one would empty "UP00"
    // under the first, or back up files the first has already replaced. It ends here, before it
    // has changed anything; the program line is started by the first one.
    auto lock = std::make_unique<InstallationLock>(QStringLiteral("tavup.lck"));
    switch (lock->tryLock()) {
    case InstallationLock::State::Held:
        break;
    case InstallationLock::State::HeldElsewhere:
        // An information box: a warning would also start a new "taw.tax", the first one's.
        Diagnostics::information(QStringLiteral("Warring"), Catalog::displayText("UpLock"));
        return nullptr;
    case InstallationLock::State::Failed:
        // Where no lock can be made (a read-only installation) nothing can be installed either;
        // the window still shows the history.
        Diagnostics::log("No update lock: %s", CodePage::fromUnicode(lock->errorText()).constData());
        lock.reset();
        break;
    }
    auto dialog = std::make_unique<TUp>(updateFile, programLine);
    dialog->holdLock(std::move(lock));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    // The keyboard starts on the first control, "New": Space presses it at once.
    focusFirstField(dialog.get());
    return dialog;
}
