#include "shell/catalog.h"

#include "support/codepage.h"
#include "support/filelookup.h"
#include "support/linereader.h"
#include "support/strings.h"

#include <QFile>

namespace {

// The catalog holds each file it loaded, converted, as one block; the entry lines are views into
// those blocks (joined continuation lines have blocks of their own). Loading a catalog of tens of
// thousands of lines is then one read, one pass of conversion and one pass of line splitting,
// which keeps it a small part of the program's start.
struct Entries
{
    QList<QByteArray> blocks;
    QList<QByteArray> lines;
};

// Absent until the first load that found its file: then every key lookup goes through it.
std::optional<Entries> &entries()
{
    static std::optional<Entries> catalog;
    return catalog;
}

enum class Match { Other, NoText, WithText };

// Whether an entry line has exactly the key `key`, and whether text follows its first blank.
Match matchEntry(const QByteArray &line, QByteArrayView key)
{
    if (!line.startsWith(key))
        return Match::Other;
    if (line.size() == key.size())
        return Match::NoText;
    return line.at(key.size()) == ' ' ? Match::WithText : Match::Other;
}

// Joins continuation lines: the first '@' and what follows it give way to the next physical
// line. A '*' line is dropped instead of joined; at end of file the '@' stays. Returns the joined
// line, or nullopt when `line` has no '@'.
std::optional<QByteArray> joinContinuations(QByteArrayView line, LineReader &reader)
{
    qsizetype at = line.indexOf('@');
    if (at < 0)
        return std::nullopt;
    QByteArray joined = line.toByteArray();
    while (at >= 0) {
        std::optional<QByteArrayView> next = reader.readLine();
        if (!next)
            break;
        if (next->startsWith('*'))
            continue;
        joined.truncate(at);
        joined.append(*next);
        // Only the joined-in text can hold a further '@'.
        at = joined.indexOf('@', at);
    }
    return joined;
}

} // namespace

FileResult<> Catalog::load(const QString &fileName)
{
    QFile file;
    for (const QString &place : FileLookup::candidates(fileName)) {
        file.setFileName(place);
        if (file.open(QIODevice::ReadOnly))
            break;
    }
    // The message names the last place looked at.
    if (!file.isOpen())
        return FileResult<>::failure(file.fileName(), file.errorString());
    QByteArray text = file.readAll();
    file.close();
    // The conversion maps byte by byte and leaves every byte that the line structure is made of
    // (CR, LF, '@', '*', blank) as it is, so it is done for the whole file at once.
    CodePage::cp866ToCp1251(text);
    LineReader reader(std::move(text));

    std::optional<Entries> &catalog = entries();
    if (!catalog)
        catalog.emplace();
    // The block shares the reader's bytes, so the reader's lines are views into the block; they
    // stay where they are while the list of blocks grows.
    catalog->blocks.append(reader.text());
    while (std::optional<QByteArrayView> line = reader.readSignificantLine()) {
        if (std::optional<QByteArray> joined = joinContinuations(*line, reader)) {
            catalog->blocks.append(*joined);
            const QByteArray &own = catalog->blocks.last();
            catalog->lines.append(QByteArray::fromRawData(own.constData(), own.size()));
        } else {
            catalog->lines.append(QByteArray::fromRawData(line->data(), line->size()));
        }
    }
    return {};
}

bool Catalog::isLoaded()
{
    return entries().has_value();
}

void Catalog::clear()
{
    entries().reset();
}

std::optional<QByteArray> Catalog::text(QByteArrayView keyOrText)
{
    if (keyOrText.isNull())
        return std::nullopt;
    const std::optional<Entries> &catalog = entries();
    if (!catalog || keyOrText.isEmpty() || keyOrText.contains(' '))
        return keyOrText.toByteArray();
    for (const QByteArray &line : catalog->lines) {
        switch (matchEntry(line, keyOrText)) {
        case Match::Other:
            break;
        case Match::NoText:
            return std::nullopt;
        case Match::WithText:
            return line.sliced(keyOrText.size() + 1);
        }
    }
    return keyOrText.toByteArray();
}

QString Catalog::displayText(QByteArrayView keyOrText)
{
    const std::optional<QByteArray> found = text(keyOrText);
    if (!found)
        return {};
    const qsizetype bracket = found->indexOf('[');
    return CodePage::toUnicode(bracket > 0 ? QByteArrayView(*found).first(bracket) : QByteArrayView(*found));
}

QByteArray Catalog::checkedFormat(QByteArrayView key, QByteArrayView conversions, const char *fallback)
{
    const QByteArray format = text(key).value_or(QByteArray());
    return Strings::formatTakes(format, conversions) ? format : QByteArray(fallback);
}

StringList Catalog::list(QByteArrayView keyOrText)
{
    const std::optional<QByteArray> found = text(keyOrText);
    return StringList::split(found ? QByteArrayView(*found) : QByteArrayView(), '/');
}

QByteArray Catalog::expanded(QByteArrayView keyOrText, qsizetype maxLength)
{
    const QByteArray source = Strings::trimmedRight(text(keyOrText).value_or(QByteArray()));
    QByteArray result;
    qsizetype pos = 0;
    while (pos < source.size() && result.size() < maxLength) {
        const qsizetype open = source.indexOf('{', pos);
        const qsizetype close = open < 0 ? -1 : source.indexOf('}', open + 1);
        if (close < 0) {
            // No (complete) braced name left: the rest stands as it is.
            result.append(QByteArrayView(source).sliced(pos));
            break;
        }
        result.append(QByteArrayView(source).sliced(pos, open - pos));
        const QByteArrayView name = QByteArrayView(source).sliced(open + 1, close - open - 1);
        // A key without text inserts nothing; a name that is no key inserts itself.
        result.append(text(name).value_or(QByteArray()));
        pos = close + 1;
    }
    if (result.size() > maxLength)
        result.truncate(maxLength);
    return result;
}
