#pragma once

class QApplication;

// The program's start sequence after the application object exists: code page, message handler,
// catalog, settings and style sheet (each missing file reported in its box), command line, run
// mode; then, for a mode with a window, the event loop and what follows it (the state of the
// asteroid dialog, the program line, "tavx.in").
namespace Startup {

// Returns the process's exit code. Memory exhaustion on the way ends through the "MEM" box.
[[nodiscard]] int run(QApplication &application);

// The whole process, as main() runs it: the out-of-memory handler, the message handler's scope,
// the application object, run().
[[nodiscard]] int main(int argc, char **argv);

// Qt still talks while the process winds down, after the code page tables are gone; from then on
// its messages must go to the default output instead of the log. Make one before the application
// object, so that it goes after it.
class MessageHandlerScope final
{
public:
    MessageHandlerScope() = default;
    MessageHandlerScope(const MessageHandlerScope &) = delete;
    MessageHandlerScope &operator=(const MessageHandlerScope &) = delete;
    ~MessageHandlerScope();
};

} // namespace Startup
