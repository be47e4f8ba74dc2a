#include "support/textfile.h"

#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/strings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

LineReader::LineReader(QIODevice *device)
    : m_device(device)
{ }

std::optional<QByteArray> LineReader::readLine()
{
    if (!m_device || m_eof)
        return std::nullopt;
    QByteArray line = m_device->readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    else
        m_eof = true; // the line ran into the end of the file, as a C stream would note
    line.removeIf([](char c) { return c == '\r'; });
    return line;
}

std::optional<QByteArray> LineReader::readSignificantLine()
{
    while (std::optional<QByteArray> line = readLine()) {
        if (!line->startsWith('*') && Strings::firstNonBlank(*line) != 0)
            return line;
    }
    return std::nullopt;
}

std::unique_ptr<QFile> TextFile::openForReading(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        Diagnostics::fileOpenWarning(path);
        return nullptr;
    }
    return file;
}

std::optional<StringList> TextFile::readLines(const QString &path, int flags)
{
    QFile file(path);
    bool opened = file.open(QIODevice::ReadOnly);
    if (!opened && (flags & TryApplicationDir) && QCoreApplication::instance()) {
        file.setFileName(QCoreApplication::applicationDirPath() + QLatin1Char('/') + path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        if (flags & WarnWhenMissing)
            Diagnostics::fileOpenWarning(path);
        if (flags & NullWhenMissing)
            return std::nullopt;
        return StringList(1000);
    }

    StringList lines(1000);
    LineReader reader(&file);
    while (std::optional<QByteArray> line = reader.readLine()) {
        if ((flags & SkipBlankLines) && Strings::firstNonBlank(*line) == 0)
            continue;
        if ((flags & SkipComments) && line->startsWith('*'))
            continue;
        if (flags & NormaliseBlanks) {
            Strings::normaliseBlanks(*line);
            Strings::trimTrailing(*line);
        }
        if (flags & ConvertCp866)
            CodePage::cp866ToCp1251(*line);
        lines.append(*line);
    }
    return lines;
}

bool TextFile::writeWhole(const QString &path, QByteArrayView contents)
{
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile can accept a short write on a full disk and still commit
    // the cut file, so the one write below must meet the disk itself and its count is checked.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(contents.data(), contents.size()) != contents.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
