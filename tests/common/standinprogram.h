#pragma once

#include <QString>
#include <QStringList>

// A program that stands in for another one (the archiver) and does, step by step, what a test
// tells it:
//   "args"      writes each of its arguments followed by "|" to standard error
//   "say TEXT"  writes the line TEXT to standard error
//   "sleep MS"  waits that many milliseconds
//   "exit N"    ends with exit code N
//   "crash"     ends as a killed or crashed program does
// Here it is a shell script; on Windows, where a program must be one, the test build's stand-in
// program copied to path with its steps beside it.
namespace StandInProgram {

// Writes the stand-in to path, ready to run; false when it cannot be written.
bool write(const QString &path, const QStringList &steps);

} // namespace StandInProgram
