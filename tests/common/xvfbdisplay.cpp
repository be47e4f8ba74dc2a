#include "common/xvfbdisplay.h"

#include <QStandardPaths>

namespace {

// xdotool matches titles with POSIX extended expressions.
QString exactTitlePattern(const QString &title)
{
    QString pattern = QStringLiteral("^");
    for (const QChar c : title) {
        if (QStringLiteral(".[]{}()\\*+?^$|").contains(c))
            pattern += u'\\';
        pattern += c;
    }
    return pattern + u'$';
}

} // namespace

XvfbDisplay::XvfbDisplay()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return;
    // -displayfd picks a free display number and writes it to the descriptor given.
    m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                            QStringLiteral("-screen"), QStringLiteral("0"),
                                            QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                            QStringLiteral("tcp")});
    if (!m_server.waitForStarted(5000))
        return;
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(10000))
        number += m_server.readAllStandardOutput();
    number = number.trimmed();
    if (number.isEmpty()) {
        m_server.kill();
        m_server.waitForFinished(5000);
        return;
    }
    m_display = u':' + QString::fromLatin1(number);
}

XvfbDisplay::~XvfbDisplay()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
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

int XvfbDisplay::answerBoxes(const QStringList &titles, QStringList &answered)
{
    if (!isValid())
        return 0;
    int count = 0;
    QSet<QByteArray> visible;
    for (const QString &title : titles) {
        const QString pattern = exactTitlePattern(title);
        const QList<QByteArray> ids =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
                .split('\n');
        for (const QByteArray &id : ids) {
            if (id.isEmpty())
                continue;
            visible.insert(id);
            // A box found before it takes keys stays visible; it is pressed again at the next call,
            // and counted once.
            const QString window = QString::fromLatin1(id);
            // Typed through the XTEST extension into the focused box: Qt ignores sent key events.
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window, QStringLiteral("key"),
                     QStringLiteral("Return")});
            if (m_answered.contains(id))
                continue;
            m_answered.insert(id);
            answered.append(title);
            ++count;
        }
    }
    // Window ids come back for later windows (another run's box), which are new boxes then.
    m_answered.intersect(visible);
    return count;
}
