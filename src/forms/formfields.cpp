#include "forms/formfields.h"

#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
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
#include <QPushButton>
#include <QSpinBox>

#include <memory>

using WidgetHelpers::applyFormFont;
using WidgetHelpers::objectNameOf;

namespace {

constexpr qsizetype spinTextLimit = 99;
constexpr qsizetype labelTextLimit = 199;
constexpr qsizetype rowTextLimit = 19;

constexpr char dateTimeFormat[] = "dd.MM.yyyy HH:mm:ss";

} // namespace

QByteArray FormFields::itemText(QByteArrayView key)
{
    return Catalog::text(key).value_or(QByteArray());
}

FormFields::Placement FormFields::placementOf(QByteArrayView type)
{
    return type.contains('h') ? Placement::Beside : Placement::Above;
}

QLabel *FormFields::makeCaption(QByteArrayView key, bool formFont)
{
    auto *label = new QLabel(Catalog::displayText(key));
    if (formFont)
        applyFormFont(label);
    return label;
}

void FormFields::connectToKnop(QPushButton *button, QWidget *owner)
{
    if (owner && owner->metaObject()->indexOfSlot("Knop()") >= 0)
        QObject::connect(button, SIGNAL(clicked()), owner, SLOT(Knop()));
}

QBoxLayout *FormFields::makeOkCancelRow(
    QDialog *owner, QBoxLayout *layout, QByteArrayView acceptKey, QByteArrayView rejectKey)
{
    auto *row = new QBoxLayout(QBoxLayout::LeftToRight);
    QPushButton *accept = WidgetHelpers::makePushButton(acceptKey, row);
    row->addStretch(1);
    QPushButton *reject = WidgetHelpers::makePushButton(rejectKey, row);
    if (owner) {
        QObject::connect(accept, &QPushButton::clicked, owner, &QDialog::accept);
        QObject::connect(reject, &QPushButton::clicked, owner, &QDialog::reject);
    }
    if (layout)
        layout->addLayout(row);
    return row;
}

QLabel *FormFields::makeLabel(
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

QComboBox *FormFields::makeCaptionedComboBox(
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

QLineEdit *FormFields::makeLineEdit(QByteArrayView objectName)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(objectNameOf(objectName));
    applyFormFont(edit);
    edit->setAlignment(Qt::AlignLeft);
    return edit;
}

void FormFields::makeCaptionPair(QLabel *caption, QWidget *field, QBoxLayout *layout, Placement placement)
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

QSpinBox *FormFields::makeSpinBox(QByteArrayView type, QByteArrayView name, QBoxLayout *layout)
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
    const auto value = Settings::value(name);
    spin->setValue(value ? Strings::number(*value) : minimum);
    makeCaptionPair(label, spin, layout, placementOf(type));
    return spin;
}

QDateTimeEdit *FormFields::makeDateTimeEdit(QByteArrayView name, QBoxLayout *layout)
{
    QDateTime start = QDateTime::currentDateTime();
    if (const auto value = Settings::value(name)) {
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

ByteDateWid *FormFields::makeDateWidget(QByteArrayView name, QBoxLayout *layout)
{
    auto *widget = new ByteDateWid(Settings::value(name));
    widget->setObjectName(objectNameOf(name));
    widget->dateEdit()->setObjectName(objectNameOf(name));
    if (layout)
        makeCaptionPair(makeCaption(name, false), widget, layout, Placement::Above);
    return widget;
}

ByteTimeEdit *FormFields::makeTimeEdit(QByteArrayView name, QBoxLayout *layout)
{
    auto *edit = new ByteTimeEdit(Settings::value(name));
    edit->setObjectName(objectNameOf(name));
    if (layout)
        makeCaptionPair(makeCaption(name, false), edit, layout, Placement::Above);
    return edit;
}
