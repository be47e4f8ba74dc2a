#include "forms/statestore.h"

#include "forms/checksets.h"
#include "forms/choicegroups.h"
#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/flagset.h"
#include "support/strings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr qsizetype nameLimit = 99;
constexpr int flagCount = 64;

bool validSlot(int slot)
{
    return slot >= 0 && slot < Settings::optionCount;
}

void storeCheckBoxGroup(const QGroupBox *box, QByteArrayView listName)
{
    const StringList pieces = Catalog::list(listName);
    for (QObject *child : box->children()) {
        const auto *check = qobject_cast<QCheckBox *>(child);
        if (!check)
            continue;
        const QByteArray checkName = CodePage::fromUnicode(check->objectName());
        const int piece
            = Strings::number(QByteArrayView(checkName).sliced(qMin<qsizetype>(1, checkName.size())));
        if (piece < 0 || piece >= pieces.count())
            continue;
        const int slot = ChoiceGroups::pieceNumber(pieces.at(piece));
        if (validSlot(slot))
            Settings::options()[slot] = check->isChecked() ? 1 : 0;
    }
}

void storeRadioGroup(const QGroupBox *box, QByteArrayView listName)
{
    const StringList pieces = Catalog::list(listName);
    if (pieces.isEmpty())
        return;
    const int slot = ChoiceGroups::pieceNumber(pieces.at(0));
    if (!validSlot(slot))
        return;
    for (QObject *child : box->children()) {
        const auto *radio = qobject_cast<QRadioButton *>(child);
        if (!radio || !radio->isChecked())
            continue;
        const QByteArray radioName = CodePage::fromUnicode(radio->objectName());
        const int piece
            = Strings::number(QByteArrayView(radioName).sliced(qMin<qsizetype>(1, radioName.size())));
        Settings::options()[slot] = static_cast<std::uint8_t>(piece - 1);
        return;
    }
}

void storeCheckList(const QListWidget *list, const QByteArray &name)
{
    FlagSet flags;
    for (int i = 0; i < list->count() && i < flagCount; ++i) {
        if (list->item(i)->data(Qt::CheckStateRole).toInt() == Qt::Checked)
            flags.setFlag(i, true);
    }
    const QByteArray text = flags.toHex();
    if (const auto number = Strings::after(name, '_'))
        CheckSets::setValue(Strings::number(*number), FlagSet::fromHex(text));
    else
        Settings::setValue(name, text);
}

void storeComboBox(const QComboBox *combo, const QByteArray &name)
{
    if (name.contains("FILE")) {
        Settings::setValue(name, CodePage::fromUnicode(combo->currentText()));
        return;
    }
    // A name without a list has no slot to store into.
    const StringList pieces = Catalog::list(name);
    if (pieces.isEmpty())
        return;
    const int slot = ChoiceGroups::pieceNumber(pieces.at(0));
    if (validSlot(slot))
        Settings::options()[slot] = static_cast<std::uint8_t>(combo->currentIndex());
}

} // namespace

bool StateStore::storeWidget(QWidget *widget, QByteArray &className, QByteArray &objectName)
{
    className = Strings::boundedCopy(widget->metaObject()->className(), nameLimit);
    objectName = Strings::boundedCopy(CodePage::fromUnicode(widget->objectName()), nameLimit);

    if (Strings::firstNonBlank(objectName) == 0)
        return true;
    // Qt names the inner widgets it makes itself (the line edit of a spin box) "qt_...".
    if (objectName.startsWith("qt"))
        return true;
    // Check boxes and radio buttons are stored through their group boxes.
    if (className == "QCheckBox" || className == "QRadioButton" || className == "QPushButton")
        return true;
    if (className == "QComboBox")
        return false;
    if (className == "QGroupBox") {
        const auto *box = static_cast<QGroupBox *>(widget);
        const QByteArrayView listName = QByteArrayView(objectName).sliced(1);
        if (objectName.startsWith('C'))
            storeCheckBoxGroup(box, listName);
        else if (objectName.startsWith('R'))
            storeRadioGroup(box, listName);
        return true;
    }
    if (const auto *edit = qobject_cast<QLineEdit *>(widget)) {
        Settings::setValue(objectName, CodePage::fromUnicode(edit->text()));
        return true;
    }
    if (className == "QSpinBox") {
        Settings::setValue(objectName, QByteArray::number(static_cast<QSpinBox *>(widget)->value()));
        return true;
    }
    if (className == "QDateTimeEdit") {
        const QDateTime when = static_cast<QDateTimeEdit *>(widget)->dateTime();
        Settings::setValue(
            objectName, CodePage::fromUnicode(when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))));
        return true;
    }
    // Check lists are known by a leading 'M' in their name, and those of this build also by the
    // mark they carry, so that a list named after any key keeps its marks.
    if (className == "QListWidget"
        && (objectName.startsWith('M') || widget->property(ChoiceGroups::checkListProperty).toBool())) {
        storeCheckList(static_cast<QListWidget *>(widget), objectName);
        return true;
    }
    return false;
}

void StateStore::storeDialog(QWidget *dialog)
{
    if (!dialog)
        return;
    const QList<QWidget *> widgets = dialog->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        QByteArray className;
        QByteArray objectName;
        if (storeWidget(widget, className, objectName))
            continue;
        if (className == "QComboBox")
            storeComboBox(static_cast<QComboBox *>(widget), objectName);
    }
}
