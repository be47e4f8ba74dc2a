#include "shell/settings.h"

#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/dates.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <QApplication>
#include <QFile>

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

void Settings::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Diagnostics::fileOpenWarning(fileName);
        return;
    }
    LineReader reader(&file);
    while (std::optional<QByteArray> line = reader.readLine()) {
        if (Strings::firstNonBlank(*line) == 0)
            continue;
        const std::optional<QByteArray> value = Strings::splitNameValue(*line);
        if (!value)
            continue;
        const QByteArray &name = *line;
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
    if (!TextFile::writeWhole(fileName, contents)) {
        Diagnostics::fileOpenWarning(fileName);
        return false;
    }
    return true;
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

void Settings::loadStyleSheet(const QString &fileName)
{
    const QString path = QCoreApplication::applicationDirPath() + u'/' + fileName;
    const std::unique_ptr<QFile> file = TextFile::openForReading(path);
    if (!file)
        return;
    LineReader reader(file.get());
    QString styleSheet;
    while (std::optional<QByteArray> line = reader.readSignificantLine()) {
        const qsizetype comment = line->indexOf("//");
        styleSheet += CodePage::toUnicode(
            comment >= 0 ? QByteArrayView(*line).first(comment) : QByteArrayView(*line));
    }
    if (auto *application = qobject_cast<QApplication *>(QCoreApplication::instance()))
        application->setStyleSheet(styleSheet);
}
