#include "toolkit/windowdecoration.h"

#include <QIcon>
#include <QWidget>

using namespace Qt::StringLiterals;

void decorateWindow(QWidget *window, const QString &title, WindowDecorations flags)
{
    if (!window)
        return;
    if (flags.testFlag(WindowDecoration::Window))
        window->setWindowFlags(Qt::Window);
    if (flags.testFlag(WindowDecoration::Icon))
        window->setWindowIcon(QIcon(u"qt.png"_s));
    // A dialog frame with the close button only; it deliberately overrides the plain window flag.
    if (flags.testFlag(WindowDecoration::DialogFrame))
        window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    if (flags.testFlag(WindowDecoration::DeleteOnClose))
        window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(u"***"_s + title);
}
