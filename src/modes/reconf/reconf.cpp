#include "modes/reconf/reconf.h"

#include "forms/layoutbuilder.h"
#include "forms/statestore.h"
#include "modes/reconf/takeover.h"
#include "shell/catalog.h"
#include "shell/settings.h"
#include "toolkit/widgethelpers.h"
#include "toolkit/windowdecoration.h"

#include <QLayout>

ReConf::ReConf()
{
    decorateWindow(this, Catalog::displayText("mainRC"),
        WindowDecoration::Window | WindowDecoration::Icon | WindowDecoration::DialogFrame);
    WidgetHelpers::setFontSize(this, Settings::fontSize());
    // The databases, orbs and queries are what a user moving to a new installation wants
    // almost always; the rest keeps what was chosen last time.
    auto &options = Settings::options();
    for (int option = 2; option <= 8; ++option)
        options[option] = 1;
    if (QLayout *layout = LayoutBuilder::buildLayout("Recf", this))
        setLayout(layout);
}

void ReConf::Knop()
{
    StateStore::storeDialog(this);
    WidgetHelpers::dispatchButton(sender(), {{"Ok", [] { TakeOver::takeOverInstallation(); }}});
}
