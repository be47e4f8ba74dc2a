#pragma once

#include "support/stringlist.h"

#include <QByteArrayView>
#include <QColor>
#include <QFlags>
#include <QList>
#include <QRect>
#include <QString>
#include <functional>
#include <initializer_list>

class QBoxLayout;
class QObject;
class QPushButton;
class QUrl;
class QWidget;

// Small services for the widgets of the program's windows. The "form font" is a widget's own
// font with the point size of the saved setting "hFdia", and only when that is 1 or more.
namespace WidgetHelpers {

// Position of the widget's object name (first 19 characters) among names, or -1.
[[nodiscard]] int buttonIndex(const QObject *widget, std::initializer_list<const char *> names);

// One row of a dialog's button table: a button's object name and what its click does.
struct ButtonAction
{
    const char *name;
    std::function<void()> handler;
};
using ButtonTable = QList<ButtonAction>;
// Runs the handler of the row named like the sender (its object name's first 19 characters, as
// buttonIndex() compares them); the first row that matches wins, and a name that is in no row
// does nothing. True when a row matched.
bool dispatchButton(const QObject *sender, const ButtonTable &table);
// Points below 1 leave the font alone.
void setFontSize(QWidget *widget, int points);
// Gives the widget the form font.
void applyFormFont(QWidget *widget);
// 8-bit (code page 1251) name as Unicode object name.
[[nodiscard]] QString objectNameOf(QByteArrayView name);
// The text of the key, cut at '[' (even a leading one), ':' as line breaks, one unit of vertical
// stretch per line; form font; object name the key; added to the layout when one is given.
QPushButton *makePushButton(QByteArrayView key, QBoxLayout *layout = nullptr);
void setBackgroundColour(QWidget *widget, const QColor &colour);
// 'FF0000' and '#FF0000' give the same colour.
[[nodiscard]] QColor namedColour(QByteArrayView text);
[[nodiscard]] QRect screenSize();
// Opens "http://www." + domain with the desktop's browser.
void openWebSite(QByteArrayView domain);
// What openWebSite() hands the address to; an empty opener restores the desktop's browser.
// Tests install their own so that no browser starts.
using UrlOpener = std::function<bool(const QUrl &)>;
void setUrlOpener(UrlOpener opener);
// "file" or "file(Section)" (code page 866 on disk); empty when file or section is missing.
[[nodiscard]] QString readTextSection(QByteArrayView fileAndSection);

enum ListFlag { ListDirectories = 0x01, LowerCase = 0x02 };
Q_DECLARE_FLAGS(ListFlags, ListFlag)
[[nodiscard]] StringList listDirectory(const QString &directory, const QString &pattern, ListFlags flags);

} // namespace WidgetHelpers

Q_DECLARE_OPERATORS_FOR_FLAGS(WidgetHelpers::ListFlags)
