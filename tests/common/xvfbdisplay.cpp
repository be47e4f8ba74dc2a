#include "common/xvfbdisplay.h"

#include <QRandomGenerator>
#include <QStandardPaths>

// xdotool matches titles with POSIX extended expressions.
QString XvfbDisplay::exactTitlePattern(const QString &title)
{
    QString pattern = QStringLiteral("^");
    for (const QChar c : title) {
        if (QStringLiteral(".[]{}()\\*+?^$|").contains(c))
            pattern += u'\\';
        pattern += c;
    }
    return pattern + u'$';
}

XvfbDisplay::XvfbDisplay()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return;
    // A server of another test that shuts down while this one starts on the same number can take
    // the new socket with it; such a display answers nobody, and another one is started. Numbers
    // are drawn at random, far from the low ones that were just given up by other tests.
    for (int attempt = 0; attempt < 5 && m_display.isEmpty(); ++attempt) {
        if (startServer() && xdotool({QStringLiteral("getdisplaygeometry")}).trimmed().isEmpty())
            stopServer();
    }
}

bool XvfbDisplay::startServer()
{
    // Without -noreset the server starts over whenever its last client leaves (one run of the
    // program ends), and a client that connects meanwhile is refused. -displayfd writes the number to the
    // descriptor given once the server takes connections; a number in use ends the server at once.
    const QString number = QString::number(QRandomGenerator::global()->bounded(1000, 30000));
    m_server.start(QStringLiteral("Xvfb"),
        {u':' + number, QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
            QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
            QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_server.waitForStarted(5000))
        return false;
    QByteArray ready;
    while (!ready.contains('\n') && m_server.waitForReadyRead(10000))
        ready += m_server.readAllStandardOutput();
    if (ready.trimmed() != number.toLatin1()) {
        stopServer();
        return false;
    }
    m_display = u':' + number;
    return true;
}

void XvfbDisplay::stopServer()
{
    m_display.clear();
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
}

XvfbDisplay::~XvfbDisplay()
{
    stopServer();
}

QProcessEnvironment XvfbDisplay::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("DISPLAY"), m_display);
    base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return base;
}

QByteArray XvfbDisplay::xdotool(const QStringList &arguments) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return process.readAllStandardOutput();
}

bool XvfbDisplay::isVisible(const QString &titlePattern) const
{
    return !xdotool(
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titlePattern})
                .trimmed()
                .isEmpty();
}

void XvfbDisplay::typeInto(const QString &titlePattern, const QStringList &command) const
{
    const QByteArray id = xdotool(
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titlePattern})
                              .split('\n')
                              .first();
    xdotool(QStringList{QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(id)}
        + command);
}

int XvfbDisplay::answerBoxes(const QStringList &titles, QStringList &answered)
{
    if (!isValid())
        return 0;
    int count = 0;
    QSet<QByteArray> visible;
    for (const QString &title : titles) {
        const QString pattern = exactTitlePattern(title);
        const QList<QByteArray> ids = xdotool(
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
                                          .split('\n');
        for (const QByteArray &id : ids) {
            if (id.isEmpty())
                continue;
            const QString window = QString::fromLatin1(id);
            // The next run's first box can get the same window id as the last one of the run
            // before, which ended before a call saw its box go; the owner's process id tells
            // them apart.
            const QByteArray key = id + ':' + xdotool({QStringLiteral("getwindowpid"), window}).trimmed();
            visible.insert(key);
            // A box found before it takes keys stays visible; it is pressed again at the next call,
            // and counted once.
            // Typed through the XTEST extension into the focused box: Qt ignores sent key events.
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window, QStringLiteral("key"),
                QStringLiteral("Return")});
            if (m_answered.contains(key))
                continue;
            m_answered.insert(key);
            answered.append(title);
            ++count;
        }
    }
    // Window ids come back for later windows, which are new boxes then.
    m_answered.intersect(visible);
    return count;
}
