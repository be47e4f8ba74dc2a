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
        return Startup::run(application);
    } catch (const std::bad_alloc &) {
        Diagnostics::error("MEM");
    }
}
