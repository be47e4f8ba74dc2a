#include "toolkit/widgethelpers.h"

#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/strings.h"

#include <QBoxLayout>
#include <QBrush>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QWidget>

namespace WidgetHelpers {

namespace {

constexpr qsizetype objectNameLength = 19;
constexpr qsizetype buttonTextLimit = 99;
constexpr qsizetype argumentLength = 99;
constexpr qsizetype sectionLineLength = 999;

UrlOpener &urlOpener()
{
    static UrlOpener opener;
    return opener;
}

// What a button is known by in the button tables.
QByteArray buttonName(const QObject *widget)
{
    return CodePage::fromUnicode(widget->objectName()).left(objectNameLength);
}

} // namespace

int buttonIndex(const QObject *widget, std::initializer_list<const char *> names)
{
    if (!widget)
        return -1;
    const QByteArray name = buttonName(widget);
    int index = 0;
    for (const char *candidate : names) {
        // Tables written for the old interface end with a null entry.
        if (!candidate)
            break;
        if (name == QByteArrayView(candidate))
            return index;
        ++index;
    }
    return -1;
}

bool dispatchButton(const QObject *sender, const ButtonTable &table)
{
    if (!sender)
        return false;
    const QByteArray name = buttonName(sender);
    for (const ButtonAction &row : table) {
        if (name == QByteArrayView(row.name)) {
            if (row.handler)
                row.handler();
            return true;
        }
    }
    return false;
}

void setFontSize(QWidget *widget, int points)
{
    if (!widget || points < 1)
        return;
    QFont font = widget->font();
    font.setPointSize(points);
    widget->setFont(font);
}

void applyFormFont(QWidget *widget)
{
    setFontSize(widget, Settings::dialogFontSize());
}

QString objectNameOf(QByteArrayView name)
{
    return CodePage::toUnicode(name);
}

QPushButton *makePushButton(QByteArrayView key, QBoxLayout *layout)
{
    QByteArray text = Strings::boundedCopy(Catalog::text(key).value_or(QByteArray()), buttonTextLimit);
    const qsizetype bracket = text.indexOf('[');
    if (bracket >= 0)
        text.truncate(bracket);
    const int breaks = Strings::replaceChar(text, ':', '\n');

    auto *button = new QPushButton(CodePage::toUnicode(text));
    QSizePolicy policy = button->sizePolicy();
    policy.setVerticalStretch(static_cast<std::uint8_t>(breaks + 1));
    button->setSizePolicy(policy);
    applyFormFont(button);
    button->setObjectName(objectNameOf(key));
    button->setDefault(false);
    if (layout)
        layout->addWidget(button);
    return button;
}

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    if (!widget)
        return;
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::All, widget->backgroundRole(), QBrush(colour));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor namedColour(QByteArrayView text)
{
    QByteArray name = text.toByteArray();
    if (!name.startsWith('#'))
        name.prepend('#');
    return QColor::fromString(CodePage::toUnicode(name));
}

QRect screenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return QRect(QPoint(0, 0), screen->virtualSize());
}

void openWebSite(QByteArrayView domain)
{
    const QUrl url(QStringLiteral("http://www.") + CodePage::toUnicode(domain), QUrl::TolerantMode);
    if (const UrlOpener &opener = urlOpener())
        opener(url);
    else
        QDesktopServices::openUrl(url);
}

void setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

QString readTextSection(QByteArrayView fileAndSection)
{
    QByteArray fileName = Strings::boundedCopy(fileAndSection, argumentLength);
    std::optional<QByteArray> section = Strings::splitAt(fileName, '(');
    if (section)
        Strings::splitAt(*section, ')');

    QFile file(CodePage::toUnicode(fileName));
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};

    QString result;
    // Without a section the whole file counts, its "@@" lines included.
    bool inSection = !section;
    while (!file.atEnd()) {
        QByteArray line = file.readLine().left(sectionLineLength);
        line.replace('\n', QByteArrayView()).replace('\r', QByteArrayView());
        CodePage::cp866ToCp1251(line);
        if (section) {
            if (line.startsWith("@@")) {
                if (inSection)
                    break;
                // A longer name that begins with the section's name matches too.
                inSection = QByteArrayView(line).sliced(2).startsWith(*section);
                continue;
            }
            if (!inSection)
                continue;
        }
        if (line.startsWith('*'))
            continue;
        result += CodePage::toUnicode(line);
        result += u'\n';
    }
    return result;
}

StringList listDirectory(const QString &directory, const QString &pattern, ListFlags flags)
{
    QDir::Filters filters = QDir::Files | QDir::NoDotAndDotDot;
    if (flags.testFlag(ListDirectories))
        filters |= QDir::Dirs;
    const QStringList names = QDir(directory).entryList(QStringList{pattern}, filters, QDir::Unsorted);
    StringList list;
    for (const QString &name : names)
        list.append(CodePage::fromUnicode(flags.testFlag(LowerCase) ? name.toLower() : name));
    return list;
}

} // namespace WidgetHelpers
