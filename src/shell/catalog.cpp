#include "shell/catalog.h"

#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// Absent until the first load that found its file: then every key lookup goes through it.
std::optional<StringList> &entries()
{
    static std::optional<StringList> catalog;
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
// line. A '*' line is dropped instead of joined; at end of file the '@' stays.
void assembleContinuations(QByteArray &line, LineReader &reader)
{
    // Only the joined-in text can hold a further '@', so the search goes on from where the
    // last one stood.
    qsizetype at = line.indexOf('@');
    while (at >= 0) {
        std::optional<QByteArray> next = reader.readLine();
        if (!next)
            return;
        if (next->startsWith('*'))
            continue;
        line.truncate(at);
        line.append(*next);
        at = line.indexOf('@', at);
    }
}

} // namespace

void Catalog::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString secondPath = QCoreApplication::applicationDirPath() + u'/' + fileName;
        file.setFileName(secondPath);
        if (!file.open(QIODevice::ReadOnly)) {
            Diagnostics::fileOpenWarning(secondPath);
            return;
        }
    }
    std::optional<StringList> &catalog = entries();
    if (!catalog)
        catalog.emplace(1000);
    LineReader reader(&file);
    while (std::optional<QByteArray> line = reader.readSignificantLine()) {
        assembleContinuations(*line, reader);
        CodePage::cp866ToCp1251(*line);
        catalog->append(*line);
    }
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
    const std::optional<StringList> &catalog = entries();
    if (!catalog || keyOrText.isEmpty() || keyOrText.contains(' '))
        return keyOrText.toByteArray();
    for (const QByteArray &line : *catalog) {
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
    return CodePage::toUnicode(bracket > 0 ? QByteArrayView(*found).first(bracket)
                                           : QByteArrayView(*found));
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
