// Every catalog key the program uses is in both shipped catalogs. The keys are collected from the
// sources (the string literals handed to the catalog's accessors, the boxes, the layout builder,
// the push buttons and the button tables) and from the dialog descriptions those keys lead to
// (every item's key inside a description), so keys that later code adds are checked as well.
// A literal with a blank is a text, never a key.

#include "forms/layoutdescription.h"
#include "shell/catalog.h"
#include "support/linereader.h"
#include "support/strings.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

using KeySet = QSet<QByteArray>;

// The calls whose argument (by position) is a key or a literal text. Every string literal of
// that argument counts, so both keys of `cond ? "A" : "B"` are found.
struct KeyCall
{
    const char *name;
    int argument;
};
const QList<KeyCall> keyCalls{
    {"Catalog::text", 0},
    {"Catalog::displayText", 0},
    {"Catalog::list", 0},
    {"Catalog::expanded", 0},
    {"Catalog::checkedFormat", 0},
    {"Diagnostics::warning", 0},
    {"Diagnostics::warningf", 0},
    {"Diagnostics::error", 0},
    {"LayoutBuilder::buildLayout", 0},
    {"WidgetHelpers::makePushButton", 0},
    // The updater's own helpers over the catalog.
    {"catalogText", 0},
    {"notInstalled", 0},
};

bool isKey(QByteArrayView text)
{
    return !text.isEmpty() && !text.contains(' ') && !text.contains('\\');
}

// The source with its comments blanked out (so that examples in comments are not taken for
// calls); string and character literals are kept as they are.
QByteArray withoutComments(const QByteArray &source)
{
    QByteArray out = source;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '"' || c == '\'') {
            for (++i; i < out.size() && out[i] != c; ++i) {
                if (out[i] == '\\')
                    ++i;
            }
        } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '/') {
            for (; i < out.size() && out[i] != '\n'; ++i)
                out[i] = ' ';
        } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '*') {
            const qsizetype end = out.indexOf("*/", i + 2);
            const qsizetype stop = end < 0 ? out.size() : end + 2;
            for (; i < stop; ++i) {
                if (out[i] != '\n')
                    out[i] = ' ';
            }
            --i;
        }
    }
    return out;
}

// The arguments of the call whose "(" is at `open`, split at the commas outside brackets and
// literals.
QList<QByteArray> argumentsAt(const QByteArray &source, qsizetype open)
{
    QList<QByteArray> arguments;
    QByteArray current;
    int depth = 0;
    for (qsizetype i = open + 1; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '"' || c == '\'') {
            const qsizetype start = i;
            for (++i; i < source.size() && source[i] != c; ++i) {
                if (source[i] == '\\')
                    ++i;
            }
            current += source.mid(start, i - start + 1);
            continue;
        }
        if (c == '(' || c == '{' || c == '[')
            ++depth;
        if (c == ')' || c == '}' || c == ']') {
            if (depth-- == 0)
                break;
        }
        if (c == ',' && depth == 0) {
            arguments.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    arguments.append(current);
    return arguments;
}

QList<QByteArray> literalsIn(const QByteArray &text)
{
    static const QRegularExpression literal(uR"re("((?:[^"\\]|\\.)*)")re"_s);
    QList<QByteArray> found;
    for (const QRegularExpressionMatch &match : literal.globalMatch(QString::fromLatin1(text)))
        found.append(match.captured(1).toLatin1());
    return found;
}

struct SourceKeys
{
    KeySet keys; // keys the code hands to the catalog
    KeySet literals; // every literal that could be a key
    KeySet lists; // keys used as lists
};

SourceKeys collectFromSources(const QString &sourceDir)
{
    SourceKeys collected;
    static const QRegularExpression buttonRow(uR"re(\{\s*"([^"\\]*)"\s*,)re"_s);
    QDirIterator files(sourceDir, {u"*.cpp"_s, u"*.h"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray source = withoutComments(file.readAll());
        for (const QByteArray &literal : literalsIn(source)) {
            if (isKey(literal))
                collected.literals.insert(literal);
        }
        for (const KeyCall &call : keyCalls) {
            const QRegularExpression pattern(
                u"(?<![\\w:])"_s + QRegularExpression::escape(QString::fromLatin1(call.name)) + u"\\s*\\("_s);
            for (const QRegularExpressionMatch &match : pattern.globalMatch(QString::fromLatin1(source))) {
                const QList<QByteArray> arguments = argumentsAt(source, match.capturedEnd() - 1);
                for (const QByteArray &literal : literalsIn(arguments.value(call.argument))) {
                    if (!isKey(literal))
                        continue;
                    collected.keys.insert(literal);
                    if (qstrcmp(call.name, "Catalog::list") == 0)
                        collected.lists.insert(literal);
                }
            }
        }
        // Button tables: the object names of the buttons, which are the keys of their texts.
        const QRegularExpression dispatch(u"dispatchButton\\s*\\("_s);
        for (const QRegularExpressionMatch &match : dispatch.globalMatch(QString::fromLatin1(source))) {
            const QByteArray table = argumentsAt(source, match.capturedEnd() - 1).join(',');
            for (const QRegularExpressionMatch &row : buttonRow.globalMatch(QString::fromLatin1(table)))
                collected.keys.insert(row.captured(1).toLatin1());
        }
    }
    return collected;
}

// The keys of a catalog file: the first word of every entry; continuation lines (after a line
// holding "@") belong to the entry before them.
KeySet keysOfCatalog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    KeySet keys;
    LineReader reader(file.readAll());
    bool continuing = false;
    while (const std::optional<QByteArrayView> line = reader.readSignificantLine()) {
        if (!continuing) {
            const qsizetype blank = line->indexOf(' ');
            keys.insert(line->first(blank < 0 ? line->size() : blank).toByteArray());
        }
        continuing = line->contains('@');
    }
    return keys;
}

// The keys one description item needs. Lists, tables and pictures are named, not texted.
void addItemKeys(QByteArrayView item, KeySet &keys)
{
    using Kind = LayoutDescription::ItemKind;
    const LayoutDescription::Item parsed = LayoutDescription::classify(item);
    const QByteArray &name = parsed.name;
    switch (parsed.kind) {
    case Kind::Button:
    case Kind::Drives:
        keys.insert(name);
        return;
    case Kind::OkCancel:
        keys.insert("Ok");
        keys.insert("Can");
        return;
    case Kind::Other:
        break;
    default:
        return;
    }
    if (parsed.type == "IM" || parsed.type == "LF")
        return;
    if (parsed.type.startsWith('M')) {
        QByteArray list = name;
        Strings::splitAt(list, '_'); // "_N": the check set that keeps the marks
        keys.insert(list);
        return;
    }
    keys.insert(name);
    if (!parsed.type.startsWith('F'))
        return;
    // Form rows: "KIND-NAME" rows, text rows named by a key ('.' kept for this run only), and
    // '+' rows whose caption is written out.
    for (const QByteArray &entry : Catalog::list(name)) {
        QByteArray row = entry;
        Strings::splitAt(row, '[');
        if (row.contains('-'))
            keys.insert(LayoutDescription::classify(row).name);
        else if (!row.startsWith('+'))
            keys.insert(row.startsWith('.') ? row.sliced(1) : row);
    }
}

// The keys inside the description of `key` in the catalog loaded now: braced references, frame
// titles and items.
KeySet descriptionKeys(QByteArrayView key)
{
    KeySet keys;
    const QByteArray raw = Catalog::text(key).value_or(QByteArray());
    static const QRegularExpression braced(u"\\{([^}]*)\\}"_s);
    for (const QRegularExpressionMatch &match : braced.globalMatch(QString::fromLatin1(raw)))
        keys.insert(match.captured(1).toLatin1());
    const LayoutDescription description = LayoutDescription::parse(Catalog::expanded(key));
    for (const LayoutDescription::Group &group : description.groups()) {
        if (group.framed)
            keys.insert(group.boxName);
        for (const QByteArray &item : group.items)
            addItemKeys(item, keys);
    }
    return keys;
}

bool isDescription(QByteArrayView key)
{
    const std::optional<QByteArray> text = Catalog::text(key);
    return text && *text != key && Strings::skipLeadingBlanks(*text).startsWith('(');
}

QString sorted(const KeySet &keys)
{
    QList<QByteArray> list(keys.begin(), keys.end());
    std::sort(list.begin(), list.end());
    return QString::fromLatin1(list.join(", "));
}

} // namespace

class TestCatalogKeys : public QObject
{
    Q_OBJECT

private slots:
    void everyKeyInBothCatalogs();
};

void TestCatalogKeys::everyKeyInBothCatalogs()
{
    const QStringList catalogs{QStringLiteral(TAV_BIN_DIR "/tav.t"), QStringLiteral(TAV_BIN_DIR "/tav.en.t")};
    QList<KeySet> catalogKeys;
    for (const QString &catalog : catalogs) {
        catalogKeys.append(keysOfCatalog(catalog));
        QVERIFY2(catalogKeys.last().size() > 50, qPrintable(catalog));
    }

    const SourceKeys sources = collectFromSources(QStringLiteral(TAV_SOURCE_DIR "/src"));
    KeySet used = sources.keys;
    // The gallery of every item kind, which the tests build in both languages.
    used.insert("Gallery");
    // A literal that one catalog knows as a key is used as one, whatever call it goes through.
    for (const QByteArray &literal : sources.literals) {
        for (const KeySet &keys : catalogKeys) {
            if (keys.contains(literal))
                used.insert(literal);
        }
    }

    // The descriptions those keys lead to, in either catalog; a list's pieces may name more
    // descriptions (the pages of "Flash").
    for (const QString &catalog : catalogs) {
        Catalog::clear();
        QVERIFY(Catalog::load(catalog));
        KeySet candidates = used;
        for (const QByteArray &list : sources.lists) {
            for (const QByteArray &piece : Catalog::list(list)) {
                if (isKey(piece))
                    candidates.insert(piece);
            }
        }
        for (const QByteArray &key : std::as_const(candidates)) {
            if (!isDescription(key))
                continue;
            used.insert(key);
            used.unite(descriptionKeys(key));
        }
    }
    Catalog::clear();

    // The collection itself reaches every way in: accessors, boxes, formats, layouts, pages,
    // items, frames, form rows, Ok/Cancel rows and button tables.
    for (const char *key : {"mainA", "noNa", "As%is", "NoOpen", "Ast", "FlPg3", "NAst", "RecfOpt", "GalRows",
             "GalRowQty", "GalMarks", "Can", "xCan", "Y+", "MEM", "BakErr"}) {
        QVERIFY2(used.contains(key), key);
    }
    QVERIFY(!used.contains("Cannot Open File: %s"));

    QStringList missing;
    for (int i = 0; i < catalogs.size(); ++i) {
        const KeySet lacking = used - catalogKeys.at(i);
        if (!lacking.isEmpty())
            missing.append(QFileInfo(catalogs.at(i)).fileName() + u" lacks: "_s + sorted(lacking));
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u"; "_s)));
}

QTEST_GUILESS_MAIN(TestCatalogKeys)
#include "tst_catalogkeys.moc"
