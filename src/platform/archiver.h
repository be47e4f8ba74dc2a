#pragma once

#include <QString>
#include <QStringList>

// The external archiver of the updater: "rar.exe" in the current directory on Windows, elsewhere
// the program "rar" in the current directory, called by its path. A run waits for the archiver to
// end while the event loop keeps painting the windows; user input waits until it has ended.
namespace Archiver {

// The path by which the archiver in the current directory is called.
[[nodiscard]] QString programPath();
[[nodiscard]] bool isPresent();

struct Result
{
    bool started = false;
    bool crashed = false; // killed by a signal, or crashed
    int exitCode = -1;
    QString errorText; // why it failed to start or crashed, for the log view and the update log

    [[nodiscard]] bool succeeded() const { return started && !crashed && exitCode == 0; }
    // Exit code 5, RAR's write error: the disk refused what was extracted (full, read-only), a
    // fault of this side rather than of the archive.
    [[nodiscard]] bool isWriteFault() const { return started && !crashed && exitCode == 5; }
};

// Runs the archiver with the arguments of one of the updater's command lines, e.g.
// {"x", "-idcpdq", "-y", "UP00/ko10.rar", "UP00/"}, each argument as it stands (a path with a
// blank stays one argument), and waits for it.
[[nodiscard]] Result run(const QStringList &arguments);

// The text of a list file (the argument "@<list>") naming the paths, one a line, in the encoding in
// which the archiver reads list files: the system's 8-bit encoding of file names (UTF-8 on Linux;
// on Windows the ANSI code page, which the archiver assumes for a list file without a byte order
// mark). A path that the encoding cannot hold, or that holds a line break, is left out of the text
// and appended to unlisted: it goes on the command line as an argument of its own.
[[nodiscard]] QByteArray listFileText(const QStringList &paths, QStringList *unlisted);

} // namespace Archiver
