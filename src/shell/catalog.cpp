#include "shell/catalog.h"

#include "support/codepage.h"
#include "support/filelookup.h"
#include "support/linereader.h"
#include "support/strings.h"

#include <QFile>

#include <vector>

namespace {

// The catalog holds each file it loaded as one block, as it stands on disk (code page 866); the
// entry lines are views into those blocks (joined continuation lines have blocks of their own).
// Only the texts that are looked up are converted to code page 1251, and a key is found through
// an index instead of a scan of every line, so a catalog of tens of thousands of lines costs the
// start little more than reading it.
struct Entries
{
    QList<QByteArray> blocks;
    // Every entry line in file order.
    std::vector<QByteArrayView> lines;
    // Open addressing over the keys as they read in code page 1251: a line's number + 1, or 0
    // for a free slot. Only the first line of a key is entered, so that the first occurrence
    // wins; a power of two long and at most three quarters full.
    std::vector<quint32> table;
};

// Absent until the first load that found its file: then every key lookup goes through it.
std::optional<Entries> &entries()
{
    static std::optional<Entries> catalog;
    return catalog;
}

// The key of an entry line: everything up to the first blank.
QByteArrayView keyOf(QByteArrayView line)
{
    const qsizetype blank = line.indexOf(' ');
    return blank < 0 ? line : line.first(blank);
}

enum class Encoding { Cp866, Cp1251 };

// Keys are mostly ASCII, which both code pages share.
char cp1251Byte(char byte, Encoding encoding)
{
    return encoding == Encoding::Cp866 && (byte & 0x80) ? CodePage::cp866ByteToCp1251(byte) : byte;
}

// FNV-1a over the key as it reads in code page 1251.
quint32 hashOf(QByteArrayView key, Encoding encoding)
{
    quint32 hash = 2166136261u;
    for (const char byte : key) {
        hash ^= static_cast<unsigned char>(cp1251Byte(byte, encoding));
        hash *= 16777619u;
    }
    return hash;
}

// Whether a line's key (code page 866) is `key` (in `encoding`).
bool isKey(QByteArrayView lineKey, QByteArrayView key, Encoding encoding)
{
    if (lineKey.size() != key.size())
        return false;
    for (qsizetype i = 0; i < key.size(); ++i) {
        if (cp1251Byte(lineKey[i], Encoding::Cp866) != cp1251Byte(key[i], encoding))
            return false;
    }
    return true;
}

// The slot that holds the line of `key`, or the free slot where it would go.
quint32 &slotOf(Entries &catalog, QByteArrayView key, Encoding encoding)
{
    const size_t mask = catalog.table.size() - 1;
    for (size_t i = hashOf(key, encoding) & mask;; i = (i + 1) & mask) {
        quint32 &slot = catalog.table[i];
        if (slot == 0 || isKey(keyOf(catalog.lines[slot - 1]), key, encoding))
            return slot;
    }
}

void rebuildIndex(Entries &catalog)
{
    size_t size = 16;
    while (size * 3 / 4 < catalog.lines.size())
        size *= 2;
    catalog.table.assign(size, 0);
    for (size_t i = 0; i < catalog.lines.size(); ++i) {
        quint32 &slot = slotOf(catalog, keyOf(catalog.lines[i]), Encoding::Cp866);
        if (slot == 0)
            slot = quint32(i + 1);
    }
}

size_t lineCount(QByteArrayView text)
{
    size_t count = 1;
    for (qsizetype at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1))
        ++count;
    return count;
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
    // The conversion to code page 1251 maps byte by byte and leaves every byte that the line
    // structure is made of (CR, LF, '@', '*', blank) as it is, so the lines are found and joined
    // in the bytes as they were read.
    LineReader reader(file.readAll());
    file.close();

    std::optional<Entries> &catalog = entries();
    if (!catalog)
        catalog.emplace();
    // The block shares the reader's bytes, so the reader's lines are views into the block; they
    // stay where they are while the list of blocks grows.
    catalog->blocks.append(reader.text());
    // Room for every line at once: growing step by step would copy the list again and again.
    catalog->lines.reserve(catalog->lines.size() + lineCount(reader.text()));
    while (std::optional<QByteArrayView> line = reader.readSignificantLine()) {
        if (std::optional<QByteArray> joined = joinContinuations(*line, reader)) {
            catalog->blocks.append(*joined);
            catalog->lines.push_back(catalog->blocks.last());
        } else {
            catalog->lines.push_back(*line);
        }
    }
    rebuildIndex(*catalog);
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
    std::optional<Entries> &catalog = entries();
    if (!catalog || keyOrText.isEmpty() || keyOrText.contains(' '))
        return keyOrText.toByteArray();
    const quint32 slot = slotOf(*catalog, keyOrText, Encoding::Cp1251);
    if (slot == 0)
        return keyOrText.toByteArray();
    const QByteArrayView line = catalog->lines[slot - 1];
    if (line.size() == keyOrText.size())
        return std::nullopt;
    return CodePage::cp866ToCp1251(line.sliced(keyOrText.size() + 1));
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
