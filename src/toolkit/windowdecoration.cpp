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

QWidget *focusFirstField(QWidget *window)
{
    if (!window)
        return nullptr;
    // The chain is the whole window's and circular; a page's fields are those below it.
    for (QWidget *widget = window->nextInFocusChain(); widget && widget != window;
         widget = widget->nextInFocusChain()) {
        if (!window->isAncestorOf(widget) || !(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled()
            || !widget->isVisibleTo(window))
            continue;
        widget->setFocus(Qt::TabFocusReason);
        return widget;
    }
    return nullptr;
}
