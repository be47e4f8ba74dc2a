#include "toolkit/windowdecoration.h"

#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

// The icon is a PNG and is read as one: a reader left to guess the format from the file would
// load every image plugin installed to ask it first, which costs more than the rest of the
// window's set-up. A missing or unreadable file gives no icon.
QIcon windowIconFile()
{
    QFile file(u"qt.png"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

} // namespace

void decorateWindow(QWidget *window, const QString &title, WindowDecorations flags)
{
    if (!window)
        return;
    if (flags.testFlag(WindowDecoration::Window))
        window->setWindowFlags(Qt::Window);
    if (flags.testFlag(WindowDecoration::Icon))
        window->setWindowIcon(windowIconFile());
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
