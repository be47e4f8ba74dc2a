#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A program that records how it was started, for the tests of what starts programs: its arguments
// go into "<its path>.ran". Here it is a shell script; on Windows, where a program must be one, the
// test build's stand-in program (tests/platform/standin), which records its command line whole.
namespace RecordingProgram {

// Writes the program to path, ready to run; false when it cannot be written.
bool write(const QString &path);
// The arguments it was started with, once it has recorded them (it is waited for a few seconds);
// nothing when it did not start.
[[nodiscard]] std::optional<QStringList> arguments(const QString &path);

} // namespace RecordingProgram
