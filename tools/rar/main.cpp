// The stand-in archiver: `rar x` and `rar a` as the updater calls them (see rarcommand.h).

#include "rarcommand.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

int main(int argc, char **argv)
{
    // A file-size limit must fail the write (EFBIG), so the half file is removed, instead of
    // ending the process with it on disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // Names are UTF-8 on disk; without a UTF-8 locale libarchive could not convert them.
    std::setlocale(LC_CTYPE, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");

    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::string error;
    const std::optional<RarCommand> command = RarCommand::parse(arguments, error);
    if (!command) {
        std::fprintf(stderr, "rar: %s\n%s", error.c_str(), RarCommand::usage().data());
        return RarCommand::UsageError;
    }
    return command->run();
}
