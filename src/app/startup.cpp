#include "app/startup.h"

#include "app/commandline.h"
#include "forms/statestore.h"
#include "modes/modeentries.h"
#include "platform/processstart.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"

#include <QApplication>
#include <QWidget>

#include <memory>
#include <new>

namespace {

// The arguments Qt left after taking its own options, as the program's 8-bit text.
QList<QByteArray> programArguments()
{
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    QList<QByteArray> result;
    result.reserve(arguments.size());
    for (const QString &argument : std::as_const(arguments))
        result.append(CodePage::fromUnicode(argument));
    return result;
}

std::unique_ptr<QWidget> startMode(const CommandLine &commandLine)
{
    switch (commandLine.mode()) {
    case CommandLine::Asteroids:
        return Modes::startAsteroidDialog();
    case CommandLine::Reconf:
        return Modes::startReconfDialog();
    case CommandLine::Update:
        return Modes::startUpdaterDialog(
            commandLine.updateFile(), commandLine.version(), commandLine.programLine());
    case CommandLine::Flash:
        return Modes::startFlash();
    case CommandLine::Word:
        if (commandLine.hasWordFile())
            Modes::exportToWord(commandLine.wordFile());
        return nullptr;
    case CommandLine::Unknown:
        break;
    }
    return nullptr;
}

int runMode(QApplication &application)
{
    // Every 8-bit text of the program is code page 1251; the codec is made ready before the
    // first file is read.
    (void)CodePage::toUnicode("");
    qInstallMessageHandler(Diagnostics::messageHandler);

    // A start file that cannot be read costs its box, and the start goes on with defaults.
    Diagnostics::warnIfFailed(Catalog::load(QStringLiteral("tav.t")));
    Diagnostics::warnIfFailed(Settings::load(QStringLiteral("tavx.in")));
    Diagnostics::warnIfFailed(Settings::loadStyleSheet(QStringLiteral("tav.qss")));

    const CommandLine commandLine(programArguments());
    // Word, an unknown mode and a mode without a window in this build end here: no event loop,
    // no program start, the settings stay as they were.
    std::unique_ptr<QWidget> window = startMode(commandLine);
    if (!window || !commandLine.runsEventLoop())
        return 0;

    const int exitCode = application.exec();

    if (commandLine.mode() == CommandLine::Asteroids)
        StateStore::storeDialog(window.get());
    if (commandLine.startsProgram())
        ProcessStart::startDetached(commandLine.programLine());
    Settings::save(QStringLiteral("tavx.in"));
    window.reset();
    return exitCode;
}

} // namespace

int Startup::run(QApplication &application)
{
    // Caught while the application still exists, so that the box can be shown.
    try {
        return runMode(application);
    } catch (const std::bad_alloc &) {
        Diagnostics::error("MEM");
    }
}

int Startup::main(int argc, char **argv)
{
    Diagnostics::installOutOfMemoryHandler();
    try {
        const MessageHandlerScope messageHandlerScope;
        QApplication application(argc, argv);
        return run(application);
    } catch (const std::bad_alloc &) {
        Diagnostics::error("MEM");
    }
}

Startup::MessageHandlerScope::~MessageHandlerScope()
{
    qInstallMessageHandler(nullptr);
}
