// tav's own start as the start-up benchmark runs it: the entry point of tav (the same calls as
// src/app/main.cpp, the start sequence from tav_app), with one addition: the run ends right after
// the first paint of a top-level window, as if the user had closed it at once.
#include "firstpaintquit.h"

#include "app/startup.h"
#include "shell/diagnostics.h"

#include <QApplication>

#include <new>

int main(int argc, char **argv)
{
    Diagnostics::installOutOfMemoryHandler();
    try {
        const Startup::MessageHandlerScope messageHandlerScope;
        QApplication application(argc, argv);
        FirstPaintQuit quit;
        application.installEventFilter(&quit);
        return Startup::run(application);
    } catch (const std::bad_alloc &) {
        Diagnostics::error("MEM");
    }
}
