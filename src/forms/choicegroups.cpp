#include "forms/choicegroups.h"

#include "forms/checksets.h"
#include "forms/formfields.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/flagset.h"
#include "support/strings.h"
#include "support/textfile.h"
#include "toolkit/widgethelpers.h"
#include "widgets/bytedatewid.h"
#include "widgets/bytetimeedit.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>

namespace {

constexpr qsizetype checkListNameLimit = 19;
constexpr qsizetype rowCaptionLimit = 19;
constexpr qsizetype rowLabelNameLimit = 16;
constexpr int flagCount = 64;

bool hasNonBlank(QByteArrayView text)
{
    return Strings::firstNonBlank(text) != 0;
}

int storedOption(int slot)
{
    return slot >= 0 && slot < Settings::optionCount ? Settings::options()[slot] : 0;
}

QListWidget *makeCatalogList(QByteArrayView listName)
{
    QListWidget *list = ChoiceGroups::makeEmptyList(listName);
    ChoiceGroups::fillList(list, Catalog::list(listName));
    return list;
}

// The display text of a row name, found without its memory-only '.'.
QString rowCaption(QByteArrayView rowName)
{
    return Catalog::displayText(rowName.startsWith('.') ? rowName.sliced(1) : rowName);
}

void addTextRow(QFormLayout *form, QByteArrayView piece)
{
    QLineEdit *edit = FormFields::makeLineEdit(piece);
    if (const auto value = Settings::value(piece))
        edit->setText(CodePage::toUnicode(*value));
    edit->home(false);
    const QByteArrayView shown = piece.startsWith('.') ? piece.sliced(1) : piece;
    const QString label
        = shown.startsWith('+') ? CodePage::toUnicode(shown.sliced(1)) : Catalog::displayText(shown);
    form->addRow(label, edit);
}

void addNamedRow(QFormLayout *form, QByteArrayView kind, QByteArrayView rowName, QWidget *owner)
{
    const char first = kind.isEmpty() ? '\0' : kind[0];
    if (first == 'A') {
        QByteArray rowText;
        QLabel *label = FormFields::makeLabel(rowName, nullptr, kind, &rowText);
        form->addRow(CodePage::toUnicode(rowText), label);
    } else if (first == 'B') {
        auto *button = new QPushButton(Catalog::displayText(rowName));
        button->setObjectName(WidgetHelpers::objectNameOf(rowName));
        WidgetHelpers::applyFormFont(button);
        FormFields::connectToKnop(button, owner);
        form->addRow(QString(), button);
    } else if (first == 'S') {
        QSpinBox *spin = FormFields::makeSpinBox(kind, rowName, nullptr);
        QByteArray caption
            = Strings::boundedCopy(Catalog::text(rowName).value_or(QByteArray()), rowCaptionLimit);
        Strings::splitAt(caption, '[');
        form->addRow(CodePage::toUnicode(caption), spin);
        if (QWidget *label = form->labelForField(spin)) {
            const QByteArray spinName = CodePage::fromUnicode(spin->objectName());
            label->setObjectName(
                WidgetHelpers::objectNameOf("L-" + Strings::boundedCopy(spinName, rowLabelNameLimit)));
        }
    } else if (first == 'H') {
        auto *combo = new QComboBox;
        combo->setObjectName(WidgetHelpers::objectNameOf(rowName));
        WidgetHelpers::applyFormFont(combo);
        form->addRow(Catalog::displayText(rowName), combo);
    } else if (kind == "DT") {
        form->addRow(rowCaption(rowName), FormFields::makeDateTimeEdit(rowName, nullptr));
    } else if (kind == "D") {
        form->addRow(rowCaption(rowName), FormFields::makeDateWidget(rowName, nullptr));
    } else if (kind == "Tm") {
        form->addRow(rowCaption(rowName), FormFields::makeTimeEdit(rowName, nullptr));
    }
}

} // namespace

int ChoiceGroups::pieceNumber(QByteArrayView piece)
{
    const auto rest = Strings::after(piece, '[');
    return rest ? Strings::number(*rest) : 0;
}

QByteArray ChoiceGroups::pieceText(QByteArrayView piece)
{
    const qsizetype bracket = piece.indexOf('[');
    return (bracket < 0 ? piece : piece.first(bracket)).toByteArray();
}

QListWidget *ChoiceGroups::makeEmptyList(QByteArrayView name)
{
    auto *list = new QListWidget;
    list->setObjectName(WidgetHelpers::objectNameOf(name));
    WidgetHelpers::applyFormFont(list);
    return list;
}

void ChoiceGroups::fillList(QListWidget *list, const StringList &pieces)
{
    const QFontMetrics metrics(list->font());
    int widest = 0;
    int height = 0;
    for (const QByteArray &piece : pieces) {
        const QString text = CodePage::toUnicode(pieceText(piece));
        list->insertItem(list->count(), new QListWidgetItem(text, nullptr, pieceNumber(piece)));
        const QRect bounds = metrics.boundingRect(text);
        widest = qMax(widest, bounds.right() - bounds.left() + 1);
        height += bounds.bottom() - bounds.top() + 1;
    }
    if (height == 0)
        height = 20;
    if (list->count() <= 4)
        height *= 2;
    const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    list->setFixedSize(scrollBar + widest * 13 / 10, height * 5 / 4);
    list->setCurrentRow(0);
}

void ChoiceGroups::buildRadioGroup(QByteArrayView type, QByteArrayView name, QBoxLayout *layout)
{
    const StringList pieces = Catalog::list(name);
    auto *box = new QGroupBox;
    WidgetHelpers::applyFormFont(box);
    box->setObjectName(WidgetHelpers::objectNameOf("R" + name.toByteArray()));
    auto *inner = new QBoxLayout(type.contains('h') ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);

    int chosen = 0;
    if (!pieces.isEmpty()) {
        if (hasNonBlank(pieces.at(0)))
            box->setTitle(CodePage::toUnicode(pieceText(pieces.at(0))));
        chosen = storedOption(pieceNumber(pieces.at(0)));
    }
    for (int i = 1; i < pieces.count(); ++i) {
        auto *button = new QRadioButton(CodePage::toUnicode(pieceText(pieces.at(i))));
        WidgetHelpers::applyFormFont(button);
        button->setChecked(i - 1 == chosen);
        button->setObjectName(QStringLiteral("r%1").arg(i));
        inner->addWidget(button);
    }
    box->setLayout(inner);
    if (layout)
        layout->addWidget(box);
}

void ChoiceGroups::buildCheckBoxGroup(QByteArrayView name, QBoxLayout *layout)
{
    const StringList pieces = Catalog::list(name);
    auto *box = new QGroupBox;
    WidgetHelpers::applyFormFont(box);
    box->setObjectName(WidgetHelpers::objectNameOf("C" + name.toByteArray()));
    auto *inner = new QVBoxLayout;
    if (!pieces.isEmpty() && hasNonBlank(pieces.at(0)))
        box->setTitle(CodePage::toUnicode(pieceText(pieces.at(0))));
    for (int i = 1; i < pieces.count(); ++i) {
        auto *check = new QCheckBox(CodePage::toUnicode(pieceText(pieces.at(i))));
        WidgetHelpers::applyFormFont(check);
        check->setObjectName(QStringLiteral("c%1").arg(i));
        check->setChecked(storedOption(pieceNumber(pieces.at(i))) != 0);
        inner->addWidget(check);
    }
    box->setLayout(inner);
    if (layout)
        layout->addWidget(box);
}

void ChoiceGroups::buildCatalogList(QByteArrayView name, QBoxLayout *layout)
{
    QListWidget *list = makeCatalogList(name);
    if (layout)
        layout->addWidget(list);
}

void ChoiceGroups::buildFileList(QByteArrayView name, QBoxLayout *layout)
{
    QByteArray listName = name.toByteArray();
    const QByteArray path = Strings::splitAt(listName, '-').value_or(QByteArray());
    QListWidget *list = makeEmptyList(listName);
    const FileResult<StringList> lines = TextFile::readLines(CodePage::toUnicode(path),
        TextFile::SkipBlankLines | TextFile::SkipComments | TextFile::ConvertCp866
            | TextFile::TryApplicationDir);
    // A missing file is reported and gives an empty list.
    fillList(list, Diagnostics::warnIfFailed(lines) ? *lines : StringList());
    if (layout)
        layout->addWidget(list);
}

void ChoiceGroups::buildEmptyList(QByteArrayView name, QBoxLayout *layout)
{
    QListWidget *list = makeEmptyList(name);
    if (layout)
        layout->addWidget(list);
}

void ChoiceGroups::buildCheckList(QByteArrayView name, QBoxLayout *layout)
{
    QByteArray listName = Strings::boundedCopy(name, checkListNameLimit);
    const std::optional<QByteArray> setNumber = Strings::splitAt(listName, '_');
    QListWidget *list = makeCatalogList(listName);
    list->setProperty(checkListProperty, true);

    std::optional<FlagSet> marks;
    if (setNumber) {
        list->setObjectName(WidgetHelpers::objectNameOf(name));
        const int number = Strings::number(*setNumber);
        if (number >= 0 && number < CheckSets::count)
            marks = CheckSets::value(number);
    } else {
        marks = FlagSet::fromHex(Settings::value(name).value_or(QByteArray()));
    }
    if (marks) {
        for (int i = 0; i < flagCount && i < list->count(); ++i)
            list->item(i)->setData(Qt::CheckStateRole, marks->testFlag(i) ? Qt::Checked : Qt::Unchecked);
    }
    if (layout)
        layout->addWidget(list);
}

void ChoiceGroups::buildFormRows(QByteArrayView name, QBoxLayout *layout, QWidget *owner)
{
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    for (const QByteArray &entry : Catalog::list(name)) {
        QByteArray piece = entry;
        Strings::splitAt(piece, '[');
        QByteArray kind = piece;
        const std::optional<QByteArray> rowName = Strings::splitAt(kind, '-');
        if (rowName)
            addNamedRow(form, kind, *rowName, owner);
        else
            addTextRow(form, piece);
    }
    if (layout)
        layout->addLayout(form);
}
