#include "forms/formitems.h"

#include "forms/choicegroups.h"
#include "forms/filtr.h"
#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/filelookup.h"
#include "support/stringlist.h"
#include "support/strings.h"
#include "toolkit/widgethelpers.h"
#include "widgets/bytedateedit.h"
#include "widgets/bytedatewid.h"
#include "widgets/bytetimeedit.h"

#include <QBoxLayout>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr qsizetype buttonTextLimit = 99;
constexpr qsizetype spinTextLimit = 99;
constexpr qsizetype labelTextLimit = 199;
constexpr qsizetype rowTextLimit = 19;

constexpr char dateTimeFormat[] = "dd.MM.yyyy HH:mm:ss";

// The item text of a key; a key whose line has no text gives an empty text.
QByteArray itemText(QByteArrayView key)
{
    return Catalog::text(key).value_or(QByteArray());
}

std::optional<QByteArray> savedValue(QByteArrayView name)
{
    return Settings::value(name);
}

QLabel *makeCaption(QByteArrayView name, bool formFont)
{
    auto *label = new QLabel(Catalog::displayText(name));
    if (formFont)
        FormItems::applyFormFont(label);
    return label;
}

FormItems::Placement placementOf(QByteArrayView type)
{
    return type.contains('h') ? FormItems::Placement::Beside : FormItems::Placement::Above;
}

void buildHelpText(QByteArrayView name, QBoxLayout *layout)
{
    auto *label = new QLabel(WidgetHelpers::readTextSection(itemText(name)));
    label->setOpenExternalLinks(true);
    label->setObjectName(FormItems::objectNameOf(name));
    FormItems::applyFormFont(label);
    label->setWordWrap(true);
    label->setMargin(10);
    label->setScaledContents(true);
    if (layout)
        layout->addWidget(label);
}

void buildPicture(QByteArrayView name, QBoxLayout *layout)
{
    QPixmap pixmap;
    for (const QString &place : FileLookup::candidates(CodePage::toUnicode(name))) {
        if (pixmap.load(place))
            break;
    }
    if (pixmap.isNull())
        return;
    auto *label = new QLabel;
    label->setPixmap(pixmap);
    const qsizetype dot = name.indexOf('.');
    label->setObjectName(FormItems::objectNameOf(dot < 0 ? name : name.first(dot)));
    if (layout)
        layout->addWidget(label);
}

void buildRememberedCombo(QByteArrayView name, QBoxLayout *layout)
{
    const StringList pieces = Catalog::list(name);
    QByteArray caption;
    int slot = -1;
    if (!pieces.isEmpty()) {
        caption = ChoiceGroups::pieceText(pieces.at(0));
        slot = ChoiceGroups::pieceNumber(pieces.at(0));
    }
    QComboBox *combo = FormItems::makeCaptionedComboBox(
        CodePage::toUnicode(caption), name, layout, FormItems::Placement::Above);
    for (int i = 1; i < pieces.count(); ++i)
        combo->addItem(CodePage::toUnicode(pieces.at(i)));
    if (slot >= 0 && slot < Settings::optionCount)
        combo->setCurrentIndex(Settings::options()[slot]);
}

void buildLineEdit(QByteArrayView type, QByteArrayView name, QBoxLayout *layout)
{
    // The letters are tested in this order, so "EMF" chooses one file.
    int mode = 0;
    if (type.contains('D'))
        mode = 1;
    else if (type.contains('F'))
        mode = 2;
    else if (type.contains('M'))
        mode = 3;

    QLabel *caption = makeCaption(name, true);
    QLineEdit *edit = FormItems::makeLineEdit(name);
    edit->setDragEnabled(true);
    if (mode != 0) {
        edit->installEventFilter(new Filtr(edit));
        edit->setProperty("m", mode);
    }
    if (const auto value = savedValue(name))
        edit->setText(CodePage::toUnicode(*value));
    FormItems::makeCaptionPair(caption, edit, layout, placementOf(type));
}

} // namespace

QString FormItems::objectNameOf(QByteArrayView name)
{
    return CodePage::toUnicode(name);
}

void FormItems::connectToKnop(QPushButton *button, QWidget *owner)
{
    if (owner && owner->metaObject()->indexOfSlot("Knop()") >= 0)
        QObject::connect(button, SIGNAL(clicked()), owner, SLOT(Knop()));
}

void FormItems::applyFormFont(QWidget *widget)
{
    WidgetHelpers::setFontSize(widget, Settings::dialogFontSize());
}

QPushButton *FormItems::makePushButton(QByteArrayView key, QBoxLayout *layout)
{
    QByteArray text = Strings::boundedCopy(itemText(key), buttonTextLimit);
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

QBoxLayout *FormItems::makeOkCancelRow(
    QDialog *owner, QBoxLayout *layout, QByteArrayView acceptKey, QByteArrayView rejectKey)
{
    auto *row = new QBoxLayout(QBoxLayout::LeftToRight);
    QPushButton *accept = makePushButton(acceptKey, row);
    row->addStretch(1);
    QPushButton *reject = makePushButton(rejectKey, row);
    if (owner) {
        QObject::connect(accept, &QPushButton::clicked, owner, &QDialog::accept);
        QObject::connect(reject, &QPushButton::clicked, owner, &QDialog::reject);
    }
    if (layout)
        layout->addLayout(row);
    return row;
}

QLabel *FormItems::makeLabel(
    QByteArrayView key, QBoxLayout *layout, std::optional<QByteArrayView> type, QByteArray *rowText)
{
    // The colour is cut off first, so it always stands last in the text.
    QByteArray text = Strings::boundedCopy(itemText(key), labelTextLimit);
    const std::optional<QByteArray> colour = Strings::splitAt(text, '#');
    Strings::replaceChar(text, ':', '\n');
    const std::optional<QByteArray> row = Strings::textInBrackets(text);
    if (rowText)
        *rowText = row ? Strings::boundedCopy(*row, rowTextLimit) : QByteArray();

    auto *label = new QLabel(CodePage::toUnicode(text));
    label->setObjectName(objectNameOf(key));
    if (colour) {
        // An unknown colour would paint the label black; it keeps its usual background instead.
        const QColor background = WidgetHelpers::namedColour(*colour);
        if (background.isValid())
            WidgetHelpers::setBackgroundColour(label, background);
    }
    QFont font = label->font();
    font.setWeight(type && type->contains('b') ? QFont::Bold : QFont::Normal);
    if (Settings::dialogFontSize() > 0)
        font.setPointSize(Settings::dialogFontSize());
    label->setFont(font);
    if (layout)
        layout->addWidget(label);
    return label;
}

QComboBox *FormItems::makeCaptionedComboBox(
    const QString &caption, QByteArrayView objectName, QBoxLayout *layout, Placement placement)
{
    auto *label = new QLabel(caption);
    applyFormFont(label);
    auto *combo = new QComboBox;
    combo->setObjectName(objectNameOf(objectName));
    applyFormFont(combo);
    makeCaptionPair(label, combo, layout, placement);
    return combo;
}

QLineEdit *FormItems::makeLineEdit(QByteArrayView objectName)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(objectNameOf(objectName));
    applyFormFont(edit);
    edit->setAlignment(Qt::AlignLeft);
    return edit;
}

void FormItems::makeCaptionPair(QLabel *caption, QWidget *field, QBoxLayout *layout, Placement placement)
{
    if (!layout) {
        // The caller places the field; a caption that no layout would ever own is not kept.
        std::unique_ptr<QLabel> unused(caption);
        return;
    }
    QBoxLayout *pair = nullptr;
    if (placement == Placement::Above) {
        pair = new QBoxLayout(QBoxLayout::TopToBottom);
        pair->addStretch(1);
    } else {
        pair = new QBoxLayout(QBoxLayout::LeftToRight);
    }
    pair->addWidget(caption);
    pair->addWidget(field);
    layout->addLayout(pair);
}

QSpinBox *FormItems::makeSpinBox(QByteArrayView type, QByteArrayView name, QBoxLayout *layout)
{
    QByteArray caption = Strings::boundedCopy(itemText(name), spinTextLimit);
    const QByteArray parameters = Strings::splitAt(caption, '[').value_or(QByteArray());
    const StringList range = StringList::split(parameters, ',');
    const int minimum = range.numberAt(0);
    const int maximum = range.numberAt(1);

    auto *label = new QLabel(CodePage::toUnicode(caption));
    applyFormFont(label);
    auto *spin = new QSpinBox;
    applyFormFont(spin);
    spin->setObjectName(objectNameOf(name));
    spin->setRange(minimum, maximum);
    spin->setButtonSymbols(QAbstractSpinBox::PlusMinus);
    const auto value = savedValue(name);
    spin->setValue(value ? Strings::number(*value) : minimum);
    makeCaptionPair(label, spin, layout, placementOf(type));
    return spin;
}

QDateTimeEdit *FormItems::makeDateTimeEdit(QByteArrayView name, QBoxLayout *layout)
{
    QDateTime start = QDateTime::currentDateTime();
    if (const auto value = savedValue(name)) {
        // An unreadable value stays invalid; the edit then starts at its own initial date.
        start = QDateTime::fromString(
            CodePage::toUnicode(Strings::skipLeadingBlanks(*value)), QLatin1String(dateTimeFormat));
    }
    auto *edit = new QDateTimeEdit(start);
    applyFormFont(edit);
    edit->setObjectName(objectNameOf(name));
    // The edit refuses dates before the year 100; it then keeps the earliest date it accepts.
    edit->setMinimumDate(QDate(-4710, 1, 1));
    if (edit->minimumDate() > QDate(100, 1, 1))
        edit->setMinimumDate(QDate(100, 1, 1));
    edit->setCalendarPopup(true);
    auto *calendar = new QCalendarWidget;
    calendar->setFirstDayOfWeek(Qt::Monday);
    edit->setCalendarWidget(calendar);
    if (layout)
        makeCaptionPair(makeCaption(name, false), edit, layout, Placement::Above);
    return edit;
}

ByteDateWid *FormItems::makeDateWidget(QByteArrayView name, QBoxLayout *layout)
{
    auto *widget = new ByteDateWid(savedValue(name));
    widget->setObjectName(objectNameOf(name));
    widget->dateEdit()->setObjectName(objectNameOf(name));
    if (layout)
        makeCaptionPair(makeCaption(name, false), widget, layout, Placement::Above);
    return widget;
}

ByteTimeEdit *FormItems::makeTimeEdit(QByteArrayView name, QBoxLayout *layout)
{
    auto *edit = new ByteTimeEdit(savedValue(name));
    edit->setObjectName(objectNameOf(name));
    if (layout)
        makeCaptionPair(makeCaption(name, false), edit, layout, Placement::Above);
    return edit;
}

void FormItems::buildItem(QByteArrayView type, QByteArrayView name, QBoxLayout *layout, QWidget *owner)
{
    if (type.isEmpty())
        return;
    const char first = type[0];
    if (type == "AH")
        buildHelpText(name, layout);
    else if (first == 'A')
        makeLabel(name, layout, type);
    else if (first == 'C')
        ChoiceGroups::buildCheckBoxGroup(name, layout);
    else if (type == "DT")
        makeDateTimeEdit(name, layout);
    else if (first == 'D')
        makeDateWidget(name, layout);
    else if (type == "Tm")
        makeTimeEdit(name, layout);
    else if (first == 'R')
        ChoiceGroups::buildRadioGroup(type, name, layout);
    else if (first == 'S')
        makeSpinBox(type, name, layout);
    else if (first == 'F')
        ChoiceGroups::buildFormRows(name, layout, owner);
    else if (type == "IM")
        buildPicture(name, layout);
    else if (type == "HT")
        buildRememberedCombo(name, layout);
    else if (first == 'H')
        makeCaptionedComboBox(CodePage::toUnicode(itemText(name)), name, layout, Placement::Beside);
    else if (first == 'E')
        buildLineEdit(type, name, layout);
    else if (type == "LF")
        ChoiceGroups::buildFileList(name, layout);
    else if (type == "LK")
        ChoiceGroups::buildCatalogList(name, layout);
    else if (first == 'L')
        ChoiceGroups::buildEmptyList(name, layout);
    else if (first == 'M')
        ChoiceGroups::buildCheckList(name, layout);
}
