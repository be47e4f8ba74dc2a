#include "shell/diagnostics.h"

#include "shell/catalog.h"
#include "support/codepage.h"
#include "support/strings.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

const char logFileName[] = "taw.tax";
const char logHeader[] = "** **\n";
constexpr int formattedWarningLength = 400;

struct State
{
    bool firstWrite = true;
    bool recording = false;
    QList<Diagnostics::RecordedBox> boxes;
    std::function<void()> errorExitHandler;
};

State &state()
{
    static State s;
    return s;
}

// A box needs a widget application; without one (a tool or a test without GUI) the text goes to
// standard error so that it is not lost.
bool canShowBox()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

QByteArray eightBitText(QByteArrayView keyOrText)
{
    return Catalog::text(keyOrText).value_or(QByteArray());
}

bool inOutOfMemory = false;

void newHandler()
{
    // Showing the box allocates too; failing again inside it must not recurse.
    if (inOutOfMemory)
        std::_Exit(1);
    struct Guard
    {
        Guard() { inOutOfMemory = true; }
        ~Guard() { inOutOfMemory = false; }
    } guard;
    Diagnostics::error("MEM");
}

} // namespace

void Diagnostics::log(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const QByteArray line = Strings::formatted(format, args);
    va_end(args);
    logLine(line);
}

void Diagnostics::logLine(QByteArrayView line)
{
    State &s = state();
    QFile file(QString::fromLatin1(logFileName));
    const QIODevice::OpenMode mode = s.firstWrite ? QIODevice::WriteOnly | QIODevice::Truncate
                                                  : QIODevice::WriteOnly | QIODevice::Append;
    if (!file.open(mode))
        return;
    if (s.firstWrite) {
        file.write(logHeader);
        s.firstWrite = false;
    }
    QByteArray bytes;
    bytes.reserve(line.size() + 1);
    bytes.append(line);
    bytes.append('\n');
    file.write(bytes);
}

void Diagnostics::warning(QByteArrayView keyOrText)
{
    const QString title = QStringLiteral("*** Warring");
    const QString text = Catalog::displayText(keyOrText);
    State &s = state();
    if (s.recording) {
        s.boxes.append({title, text});
    } else if (canShowBox()) {
        QMessageBox::warning(nullptr, title, text, QMessageBox::Ok);
    } else {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    logLine(eightBitText(keyOrText));
}

void Diagnostics::warning(QByteArrayView key, const QByteArray &detail)
{
    if (detail.isEmpty())
        warning(key);
    else
        warning(Catalog::text(key).value_or(key.toByteArray()) + '\n' + detail);
}

void Diagnostics::information(const QString &title, const QString &text)
{
    State &s = state();
    if (s.recording)
        s.boxes.append({title, text});
    else if (canShowBox())
        QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void Diagnostics::warningf(const char *format, ...)
{
    char buffer[formattedWarningLength + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    warning(QByteArrayView(buffer, qstrlen(buffer)));
}

void Diagnostics::fileOpenWarning(QByteArrayView path)
{
    const QByteArray terminated = path.toByteArray();
    warningf("Cannot Open File: %s", terminated.constData());
}

void Diagnostics::fileOpenWarning(const QByteArray &path)
{
    fileOpenWarning(QByteArrayView(path));
}

void Diagnostics::fileOpenWarning(const char *path)
{
    fileOpenWarning(QByteArrayView(path));
}

void Diagnostics::fileOpenWarning(const QString &path)
{
    const QByteArray bytes = CodePage::fromUnicode(path);
    fileOpenWarning(QByteArrayView(bytes));
}

void Diagnostics::error(QByteArrayView keyOrText)
{
    const QString title = QStringLiteral("*** Error");
    const QString text = Catalog::displayText(keyOrText);
    State &s = state();
    if (s.recording) {
        s.boxes.append({title, text});
        if (s.errorExitHandler)
            s.errorExitHandler();
    } else if (canShowBox()) {
        QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
    } else {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    // What Qt reports while the process winds down must not reach the log through the code page
    // tables that are being torn down.
    qInstallMessageHandler(nullptr);
    std::exit(1);
}

void Diagnostics::messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const QByteArray text = CodePage::fromUnicode(message);
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
        log("D:%s", text.constData());
        break;
    case QtWarningMsg:
        log("W:%s", text.constData());
        break;
    case QtCriticalMsg:
        log("Err:%s", text.constData());
        break;
    case QtFatalMsg:
        std::fprintf(stderr, "Fatal: %s\n", text.constData());
        log("Fatal: %s", text.constData());
        std::abort();
    }
}

void Diagnostics::installOutOfMemoryHandler()
{
    std::set_new_handler(newHandler);
}

void Diagnostics::setRecording(bool on)
{
    state().recording = on;
}

bool Diagnostics::isRecording()
{
    return state().recording;
}

QList<Diagnostics::RecordedBox> Diagnostics::recordedBoxes()
{
    return state().boxes;
}

void Diagnostics::clearRecordedBoxes()
{
    state().boxes.clear();
}

void Diagnostics::setErrorExitHandler(std::function<void()> handler)
{
    state().errorExitHandler = std::move(handler);
}

void Diagnostics::resetLog()
{
    state().firstWrite = true;
}
