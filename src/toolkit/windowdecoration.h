#pragma once

#include <QFlags>
#include <QString>

class QWidget;

// The set-up shared by every run-mode window, applied in the order of the flags below. The title
// always becomes "***" + title.
enum class WindowDecoration {
    Window = 0x1, // Qt::Window
    Icon = 0x2, // the icon "qt.png" from the working directory
    DialogFrame = 0x4, // a dialog frame with title and close button only; replaces Window
    DeleteOnClose = 0x8,
};
Q_DECLARE_FLAGS(WindowDecorations, WindowDecoration)
Q_DECLARE_OPERATORS_FOR_FLAGS(WindowDecorations)

void decorateWindow(QWidget *window, const QString &title, WindowDecorations flags);

// Gives the keyboard focus to the first field of a freshly built window, or of one page of it:
// the first widget of the focus chain below `window` that Tab would reach (it takes Tab focus, is
// enabled and is not hidden below `window`), so that the user can type at once. Called where a
// window or page is shown, before or after show(): a window not yet active opens with that field
// focused. Returns the field, or null when nothing there takes the focus.
QWidget *focusFirstField(QWidget *window);
