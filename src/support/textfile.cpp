#include "support/textfile.h"

#include "support/codepage.h"
#include "support/filelookup.h"
#include "support/linereader.h"
#include "support/strings.h"

#include <QFile>
#include <QSaveFile>

namespace {

// Opens the first of the places that opens; the failure names `path` as the caller gave it.
FileResult<QByteArray> readFirst(const QString &path, const QStringList &places)
{
    QFile file;
    for (const QString &place : places) {
        file.setFileName(place);
        if (file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return FileResult<QByteArray>::failure(path, file.errorString());
}

} // namespace

FileResult<QByteArray> TextFile::readWhole(const QString &path)
{
    return readFirst(path, {path});
}

FileResult<StringList> TextFile::readLines(const QString &path, ReadFlags flags)
{
    const FileResult<QByteArray> contents = readFirst(
        path, flags.testFlag(TryApplicationDir) ? FileLookup::candidates(path) : QStringList{path});
    if (!contents)
        return FileResult<StringList>::failure(contents);

    StringList lines(1000);
    LineReader reader(*contents);
    while (const std::optional<QByteArrayView> view = reader.readLine()) {
        if (flags.testFlag(SkipBlankLines) && Strings::firstNonBlank(*view) == 0)
            continue;
        if (flags.testFlag(SkipComments) && view->startsWith('*'))
            continue;
        QByteArray line = view->toByteArray();
        if (flags.testFlag(NormaliseBlanks)) {
            Strings::normaliseBlanks(line);
            Strings::trimTrailing(line);
        }
        if (flags.testFlag(ConvertCp866))
            CodePage::cp866ToCp1251(line);
        lines.append(line);
    }
    return lines;
}

FileResult<> TextFile::writeWhole(const QString &path, QByteArrayView contents)
{
    QSaveFile file(path);
    // An installation directory may let its files be written but refuse new ones, where no
    // temporary file can be made: only then is the file rewritten in place (a failure there still
    // fails the write).
    file.setDirectWriteFallback(true);
    // Unbuffered: a buffered QSaveFile can accept a short write on a full disk and still commit
    // the cut file, so the one write below must meet the disk itself and its count is checked.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return FileResult<>::failure(path, file.errorString());
    if (file.write(contents.data(), contents.size()) != contents.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return FileResult<>::failure(path, reason);
    }
    if (!file.commit())
        return FileResult<>::failure(path, file.errorString());
    return {};
}
