// The floor of the start-up benchmark: a bare Qt Widgets program that shows a small dialog (a
// label, a line edit, two buttons) and ends right after its first paint.
#include "firstpaintquit.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    FirstPaintQuit quit;
    application.installEventFilter(&quit);

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("floor"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Number of the file")));
    layout->addWidget(new QLineEdit);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(new QPushButton(QStringLiteral("Download")));
    buttons->addWidget(new QPushButton(QStringLiteral("Close")));
    layout->addLayout(buttons);
    dialog.show();
    return application.exec();
}
