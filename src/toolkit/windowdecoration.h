#pragma once

#include <QString>

class QWidget;

// The set-up shared by every run-mode window. Flags, applied in this order:
// 1 Qt::Window; 2 icon "qt.png" from the working directory; 4 a dialog frame with title and close
// button only (replaces 1); 8 delete on close. The title always becomes "***" + title.
void decorateWindow(QWidget *window, const QString &title, int flags);
