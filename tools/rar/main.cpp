// The stand-in archiver: `rar x` and `rar a` as the updater calls them (see rarcommand.h).

#include "platform.h"
#include "rarcommand.h"

#include <cstdio>

int main(int argc, char **argv)
{
    const std::vector<std::string> given = Platform::startProcess(argc, argv);
    const std::vector<std::string_view> arguments(given.begin(), given.end());
    std::string error;
    const std::optional<RarCommand> command = RarCommand::parse(arguments, error);
    if (!command) {
        std::fprintf(stderr, "rar: %s\n%s", Platform::outputText(error).c_str(), RarCommand::usage().data());
        return RarCommand::UsageError;
    }
    return command->run();
}
