#pragma once

#include <QString>
#include <QStringList>

// A program that stands in for another one (the archiver) and does, step by step, what a test
// tells it (a slow archiver: "sleep 1000", "run <the archiver>"):
//   "args"      writes each of its arguments followed by "|" to standard error
//   "say TEXT"  writes the line TEXT to standard error
//   "sleep MS"  waits that many milliseconds
//   "exit N"    ends with exit code N
//   "crash"     ends as a killed or crashed program does
//   "touch FILE" makes an empty file, "{1}" in its name standing for the first argument
//   "run PROGRAM" runs that program with the same arguments and waits for it; the stand-in ends
//               with its exit code unless an "exit" follows
// Here it is a shell script; on Windows, where a program must be one, the test build's stand-in
// program copied to path with its steps beside it.
namespace StandInProgram {

// Writes the stand-in to path, ready to run; false when it cannot be written.
bool write(const QString &path, const QStringList &steps);

} // namespace StandInProgram
