#include "shell/settings.h"

#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/dates.h"
#include "support/linereader.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <QApplication>

#include <utility>

namespace {

constexpr int defaultFontSize = 16;
constexpr int defaultDialogFontSize = 0;

struct SavedValue
{
    QByteArray name;
    std::optional<QByteArray> value;
};

struct State
{
    QList<SavedValue> values;
    std::array<std::uint8_t, Settings::optionCount> options{};
    int fontSize = defaultFontSize;
    int dialogFontSize = defaultDialogFontSize;
};

State &state()
{
    static State s;
    return s;
}

// "(null)" is how an absent value was once written; it still reads as absent.
bool isAbsent(const std::optional<QByteArray> &value)
{
    return !value || *value == "(null)";
}

SavedValue *find(QByteArrayView name)
{
    for (SavedValue &item : state().values) {
        if (item.name == name)
            return &item;
    }
    return nullptr;
}

void readOptions(QByteArrayView text)
{
    auto &options = state().options;
    const QList<qint16> numbers = Dates::numbersOf(text);
    const qsizetype count = std::min<qsizetype>(numbers.size(), Settings::optionCount);
    for (qsizetype i = 0; i < count; ++i)
        options[size_t(i)] = std::uint8_t(numbers.at(i) & 0xFF);
}

QByteArray optionsLine()
{
    QByteArray line = "Ov=";
    const auto &options = state().options;
    for (int i = 0; i < Settings::optionCount; ++i) {
        // The stored files have three blanks between the tenth and the eleventh number.
        if (i == 10)
            line += "  ";
        line += QByteArray::number(options[size_t(i)]);
        line += ' ';
    }
    line += '\n';
    return line;
}

} // namespace

FileResult<> Settings::load(const QString &fileName)
{
    const FileResult<QByteArray> contents = TextFile::readWhole(fileName);
    if (!contents)
        return FileResult<>::failure(contents);
    LineReader reader(*contents);
    while (const std::optional<QByteArrayView> line = reader.readLine()) {
        if (Strings::firstNonBlank(*line) == 0)
            continue;
        QByteArray name = line->toByteArray();
        const std::optional<QByteArray> value = Strings::splitNameValue(name);
        if (!value)
            continue;
        if (name == "Ov") {
            readOptions(*value);
            continue;
        }
        setValue(name, *value);
        if (name == "hFont")
            state().fontSize = Strings::number(*value);
        else if (name == "hFdia")
            state().dialogFontSize = Strings::number(*value);
    }
    return {};
}

bool Settings::save(const QString &fileName)
{
    QByteArray contents = optionsLine();
    for (const SavedValue &item : std::as_const(state().values)) {
        if (isAbsent(item.value) || item.name.startsWith('.'))
            continue;
        contents += item.name;
        contents += '=';
        contents += *item.value;
        contents += '\n';
    }
    // A file that holds these bytes already is left alone: the safe rewrite ends with a flush to
    // the disk, which would keep every run that changed nothing waiting at its end.
    const FileResult<QByteArray> current = TextFile::readWhole(fileName);
    if (current && *current == contents)
        return true;
    return Diagnostics::warnIfFailed(TextFile::writeWhole(fileName, contents));
}

void Settings::reset()
{
    state() = State();
}

std::optional<QByteArray> Settings::value(QByteArrayView name)
{
    const SavedValue *item = find(name);
    if (!item || isAbsent(item->value))
        return std::nullopt;
    return item->value;
}

void Settings::setValue(QByteArrayView name, std::optional<QByteArrayView> value)
{
    std::optional<QByteArray> trimmed;
    if (value)
        trimmed = Strings::trimmedRight(*value);
    if (SavedValue *item = find(name)) {
        item->value = std::move(trimmed);
        return;
    }
    if (trimmed)
        state().values.append({name.toByteArray(), std::move(trimmed)});
}

std::array<std::uint8_t, Settings::optionCount> &Settings::options()
{
    return state().options;
}

int Settings::fontSize()
{
    return state().fontSize;
}

int Settings::dialogFontSize()
{
    return state().dialogFontSize;
}

FileResult<> Settings::loadStyleSheet(const QString &fileName)
{
    const FileResult<QByteArray> contents
        = TextFile::readWhole(QCoreApplication::applicationDirPath() + u'/' + fileName);
    if (!contents)
        return FileResult<>::failure(contents);
    LineReader reader(*contents);
    QString styleSheet;
    while (const std::optional<QByteArrayView> line = reader.readSignificantLine()) {
        const qsizetype comment = line->indexOf("//");
        styleSheet += CodePage::toUnicode(comment >= 0 ? line->first(comment) : *line);
    }
    if (auto *application = qobject_cast<QApplication *>(QCoreApplication::instance()))
        application->setStyleSheet(styleSheet);
    return {};
}
