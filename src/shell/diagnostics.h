#pragma once

#include "support/fileresult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>

// Message boxes and the run's log "taw.tax" (current directory). The first line written in a run
// truncates the log and writes the header "** **"; every line opens and closes the file, so the
// log is complete even if the process dies.
//
// Tests switch the boxes to recording mode: nothing is shown, each box is kept in
// recordedBoxes(), and an error box calls the error-exit handler (default: exit code 1).
namespace Diagnostics {

// One line, printf-style.
void log(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);
void logLine(QByteArrayView line);

// "*** Warring" with the display text of a key or a literal text; then logs the 8-bit text.
void warning(QByteArrayView keyOrText);
// The same box with a line of detail below the key's text (the file and the system's reason, in
// the locale's 8-bit code page); an empty detail shows the key's text alone.
void warning(QByteArrayView key, const QByteArray &detail);
// printf-style, cut at 400 characters, shown with warning().
void warningf(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);
// An information box with the title and text as given; nothing is logged.
void information(const QString &title, const QString &text);
// "Cannot Open File: %s"; a QString path is written in code page 1251.
void fileOpenWarning(QByteArrayView path);
void fileOpenWarning(const QByteArray &path);
void fileOpenWarning(const char *path);
void fileOpenWarning(const QString &path);
// The file-open warning for a failed reader or writer; true (and nothing shown) on success.
template <typename T> bool warnIfFailed(const FileResult<T> &result)
{
    if (!result)
        fileOpenWarning(result.path());
    return result.ok();
}
// "*** Error"; ends the process with exit code 1 once the user closed it.
[[noreturn]] void error(QByteArrayView keyOrText);

// Makes memory exhaustion anywhere end through the error box "MEM" (exit code 1).
void installOutOfMemoryHandler();

// The Qt message handler: "D:", "W:", "Err:", "Fatal: " (fatal also goes to stderr and aborts).
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// For tests.
struct RecordedBox
{
    QString title;
    QString text;
};
void setRecording(bool on);
[[nodiscard]] bool isRecording();
[[nodiscard]] QList<RecordedBox> recordedBoxes();
void clearRecordedBoxes();
// Called by error() in recording mode instead of ending the process; must not return
// (throwing from it is allowed in tests).
void setErrorExitHandler(std::function<void()> handler);
// Starts a new run of the log: the next line truncates "taw.tax" again.
void resetLog();

} // namespace Diagnostics
