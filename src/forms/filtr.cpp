#include "forms/filtr.h"

#include "shell/catalog.h"
#include "support/codepage.h"

#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>

namespace {

constexpr qsizetype keyLength = 19;
constexpr char modeProperty[] = "m";

Filtr::Chooser &chooser()
{
    static Filtr::Chooser current;
    return current;
}

QString chooseDirectory(const QString &caption)
{
    if (chooser().directory)
        return chooser().directory(caption);
    return QFileDialog::getExistingDirectory(nullptr, caption, QString(), QFileDialog::ShowDirsOnly);
}

QString chooseFile(const QString &caption)
{
    if (chooser().openFile)
        return chooser().openFile(caption);
    return QFileDialog::getOpenFileName(nullptr, caption, QString(), QStringLiteral("*.*"));
}

QStringList chooseFiles(const QString &caption)
{
    if (chooser().openFiles)
        return chooser().openFiles(caption);
    return QFileDialog::getOpenFileNames(nullptr, caption, QString(), QStringLiteral("*.*"));
}

} // namespace

Filtr::Filtr(QObject *parent)
    : QObject(parent)
{ }

void Filtr::setChooser(Chooser replacement)
{
    chooser() = std::move(replacement);
}

void Filtr::setMode(QObject *edit, Mode mode)
{
    edit->setProperty(modeProperty, int(mode));
}

Filtr::Mode Filtr::mode(const QObject *edit)
{
    const QVariant value = edit->property(modeProperty);
    // A property that is no number reads as 0.
    switch (value.toInt()) {
    case int(Mode::Directory):
        return Mode::Directory;
    case int(Mode::File):
        return Mode::File;
    case int(Mode::Files):
        return Mode::Files;
    default:
        return Mode::None;
    }
}

bool Filtr::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonDblClick)
        return false;

    // The caption is the same text as the edit's caption label: the display text of its key.
    const QByteArray key = CodePage::fromUnicode(watched->objectName()).left(keyLength);
    const QString caption = Catalog::displayText(key);

    QString choice;
    switch (mode(watched)) {
    case Mode::Directory:
        choice = chooseDirectory(caption);
        break;
    case Mode::File:
        choice = chooseFile(caption);
        break;
    case Mode::Files:
        // Each name is followed by one blank, so the text ends with a blank.
        for (const QString &name : chooseFiles(caption))
            choice += name + u' ';
        break;
    case Mode::None:
        break;
    }

    // A cancelled dialog leaves the edit's text alone; the double click is consumed either way.
    if (!choice.isEmpty()) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            edit->setText(choice);
    }
    return true;
}
