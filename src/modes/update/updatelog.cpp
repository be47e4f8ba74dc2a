#include "modes/update/updatelog.h"

#include "modes/update/updateview.h"
#include "platform/ftp/ftpclient.h"
#include "platform/ftp/updatesites.h"
#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/strings.h"

#include <QDateTime>
#include <QFileInfo>

#include <cstdarg>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The host keeps the number of its installation in its own settings, "NINST=<number>" in
// "kora.ini"; the first such line counts.
constexpr QByteArrayView numberKey = "NINST";

} // namespace

UpdateLog::UpdateLog(QByteArray fileName)
    : m_fileName(std::move(fileName))
{ }

UpdateLog::~UpdateLog() = default;

QByteArray UpdateLog::fileNameFor(int installationNumber)
{
    char name[32];
    std::snprintf(name, sizeof name, "%05d.log", installationNumber);
    return name;
}

int UpdateLog::installationNumber()
{
    QFile ini(u"kora.ini"_s);
    if (!ini.open(QIODevice::ReadOnly))
        return 0;
    while (!ini.atEnd()) {
        QByteArray line = ini.readLine();
        const std::optional<QByteArray> value = Strings::splitNameValue(line);
        if (value && Strings::skipLeadingBlanks(line) == numberKey)
            return qMax(0, Strings::number(*value));
    }
    return 0;
}

QByteArray UpdateLog::timeStamp(const QDateTime &time)
{
    return time.toLocalTime().toString(u"dd.MM.yyyy hh:mm:ss"_s).toLatin1();
}

QByteArray UpdateLog::currentTimeStamp()
{
    return timeStamp(QDateTime::currentDateTime());
}

void UpdateLog::write(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const QByteArray line = Strings::formatted(format, args);
    va_end(args);
    writeLine(line);
}

void UpdateLog::writeNumberLine(QByteArrayView format, int number)
{
    QByteArray line;
    bool filled = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const char c = format[i];
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (c == '%' && next == '%') {
            line += '%';
            ++i;
        } else if (c == '%' && next == 'd' && !filled) {
            line += QByteArray::number(number);
            filled = true;
            ++i;
        } else {
            line += c;
        }
    }
    writeLine(line);
}

void UpdateLog::writeDateLine(QByteArrayView prefix, QByteArrayView path)
{
    const QFileInfo info(CodePage::toUnicode(path));
    const QByteArray when = info.exists() ? timeStamp(info.lastModified()) : QByteArrayLiteral("No");
    writeLine(prefix.toByteArray() + ' ' + path.toByteArray() + " - " + when);
}

void UpdateLog::writeLine(QByteArrayView line)
{
    QFile file(CodePage::toUnicode(m_fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        noteFailure(file);
        return;
    }
    // A line that did not fit (full disk) is taken back whole, so the next one starts a line.
    const qint64 before = file.size();
    const QByteArray bytes = line.toByteArray() + '\n';
    qint64 written = file.write(bytes);
    // A disk that takes part of the line reports nothing; the write of the rest says why.
    if (written > 0 && written < bytes.size())
        written += qMax<qint64>(0, file.write(bytes.mid(written)));
    if (written != bytes.size()) {
        noteFailure(file);
        file.resize(before);
    }
}

void UpdateLog::noteFailure(const QFile &file)
{
    if (m_failure.isEmpty())
        m_failure = file.fileName() + u": "_s + file.errorString();
}

void UpdateLog::showHistory(UpdateView &view) const
{
    view.clearLog();
    view.logLine(Catalog::text("InfUp").value_or(QByteArray()), Qt::blue);
    QFile file(CodePage::toUnicode(m_fileName));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const bool everyLine = Settings::options()[1] != 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        line.removeIf([](char c) { return c == '\r'; });
        if (everyLine || line.startsWith('#'))
            view.logLine(line, Qt::black);
    }
}

void UpdateLog::upload(FtpClient &ftp, int siteNumber)
{
    if (!UpdateSites::connectSite(ftp, siteNumber))
        return;
    ftp.cd(u"/UPDATE/LOGS"_s);
    m_uploadFile.close();
    m_uploadFile.setFileName(CodePage::toUnicode(m_fileName));
    if (m_uploadFile.open(QIODevice::ReadOnly))
        ftp.put(&m_uploadFile, QFileInfo(m_uploadFile.fileName()).fileName(), FtpClient::Binary);
    ftp.close();
}
