#include "modes/reconf/takeover.h"

#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/linereader.h"
#include "support/stringlist.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringList>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// What one option of the dialog takes over, in the order the options are processed. File names
// with a '*' are patterns over the other installation's files; the others are fixed names.
struct OptionRule
{
    int option;
    QList<QByteArrayView> keyPatterns;
    QStringList files;
};

const QList<OptionRule> &optionRules()
{
    static const QList<OptionRule> rules{
        {2, {"BASA", "DIRBASA"}, {u"*.bod"_s, u"*.btr"_s, u"*.btt"_s}},
        {3, {"Orb-*"}, {u"*.ao"_s}},
        {8, {}, {u"zapros.ctl"_s}},
        {9, {}, {u"*.sb"_s, u"events.ctl"_s, u"e.ctl"_s}},
        {10, {}, {u"fact.ctl"_s, u"uprt.ctl"_s}},
        {11, {}, {u"*.txt"_s}},
    };
    return rules;
}

const QString iniName = u"kora.ini"_s;

// The lines of the file as the line reader gives them, without the empty line it adds after a
// final LF (and for an empty file): the local ini is written back line by line, each ended by LF,
// and must come back as it was read, not one blank line longer at every "Ok". Null (after the
// file-open warning) when the file cannot be opened.
std::optional<StringList> readIni(const QString &path)
{
    const FileResult<QByteArray> contents = TextFile::readWhole(path);
    if (!Diagnostics::warnIfFailed(contents))
        return std::nullopt;
    StringList lines(1000);
    LineReader reader(*contents);
    while (const std::optional<QByteArrayView> line = reader.readLine())
        lines.append(*line);
    if (contents->isEmpty() || contents->endsWith('\n'))
        lines.remove(lines.count() - 1);
    return lines;
}

void takeOverKeys(const StringList &otherLines, const QList<QByteArrayView> &patterns, StringList &localLines)
{
    for (const QByteArray &line : otherLines) {
        QByteArray key = line;
        Strings::splitNameValue(key);
        for (const QByteArrayView pattern : patterns) {
            if (TakeOver::keyMatches(key, pattern)) {
                localLines.append(line);
                break;
            }
        }
    }
}

void copyFiles(const QString &otherDir, const QStringList &files)
{
    for (const QString &file : files) {
        if (!file.contains(u'*')) {
            TakeOver::copyInstallationFile(otherDir, u"."_s, file);
            continue;
        }
        // The names stay Unicode here: a round trip through code page 1251 would lose the
        // files whose names it cannot hold.
        const QStringList names = QDir(otherDir).entryList({file}, QDir::Files, QDir::Unsorted);
        for (const QString &name : names)
            TakeOver::copyInstallationFile(otherDir, u"."_s, name);
    }
}

bool writeLocalIni(const StringList &lines)
{
    QByteArray contents;
    for (const QByteArray &line : lines) {
        contents += line;
        contents += '\n';
    }
    return Diagnostics::warnIfFailed(TextFile::writeWhole(iniName, contents));
}

bool sameFile(const QFileInfo &a, const QFileInfo &b)
{
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    constexpr Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity sensitivity = Qt::CaseSensitive;
#endif
    const QString canonicalA = a.canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA.compare(b.canonicalFilePath(), sensitivity) == 0;
}

} // namespace

bool TakeOver::keyMatches(QByteArrayView key, QByteArrayView pattern)
{
    if (pattern.endsWith('*'))
        return key.startsWith(pattern.chopped(1));
    return key == pattern;
}

bool TakeOver::copyInstallationFile(
    const QString &sourceDir, const QString &destinationDir, const QString &name)
{
    const QString sourcePath = sourceDir + u'/' + name;
    const QString destinationPath = destinationDir + u'/' + name;
    const QFileInfo source(sourcePath);
    if (!source.isFile())
        return false;
    if (sameFile(source, QFileInfo(destinationPath)))
        return false;

    QFile in(sourcePath);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(destinationPath);
    // Unbuffered, so that every write meets the disk and a short one is seen below.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return false; // the unfinished copy is discarded with `out`
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            return false;
    }
    return out.commit();
}

bool TakeOver::takeOverInstallation()
{
    const QByteArray otherDir8 = Settings::value("Dir1002").value_or(QByteArray());
    const QString otherDir = CodePage::toUnicode(otherDir8);
    const QString otherIniPath = otherDir + u'/' + iniName;
    // An empty directory names no installation; "/kora.ini" would be the file system's root.
    if (otherDir.isEmpty()) {
        Diagnostics::fileOpenWarning(otherIniPath);
        return false;
    }

    const std::optional<StringList> otherLines = readIni(otherIniPath);
    if (!otherLines)
        return false;
    std::optional<StringList> localLines = readIni(iniName);
    if (!localLines)
        return false;

    const auto &options = Settings::options();
    for (const OptionRule &rule : optionRules()) {
        if (options[rule.option] == 0)
            continue;
        takeOverKeys(*otherLines, rule.keyPatterns, *localLines);
        copyFiles(otherDir, rule.files);
    }

    if (!writeLocalIni(*localLines))
        return false;
    Diagnostics::warning("is");
    return true;
}
