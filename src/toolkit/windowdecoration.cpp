#include "toolkit/windowdecoration.h"

#include <QIcon>
#include <QWidget>

using namespace Qt::StringLiterals;

void decorateWindow(QWidget *window, const QString &title, int flags)
{
    if (!window)
        return;
    if (flags & 1)
        window->setWindowFlags(Qt::Window);
    if (flags & 2)
        window->setWindowIcon(QIcon(u"qt.png"_s));
    // A dialog frame with the close button only; it deliberately overrides the plain window flag.
    if (flags & 4)
        window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    if (flags & 8)
        window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(u"***"_s + title);
}
