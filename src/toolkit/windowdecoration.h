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
