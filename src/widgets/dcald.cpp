#include "widgets/dcald.h"

#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/strings.h"
#include "toolkit/widgethelpers.h"

#include <QCalendarWidget>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A push button as the forms make it: the key's text cut at '[', ':' as line breaks with one unit
// of vertical stretch per line, the form font, the key as object name.
QPushButton *makePushButton(QByteArrayView key, QBoxLayout *layout)
{
    QByteArray text = Strings::boundedCopy(Catalog::text(key).value_or(QByteArray()), 99);
    Strings::splitAt(text, '[');
    const int breaks = Strings::replaceChar(text, ':', '\n');
    auto *button = new QPushButton(CodePage::toUnicode(text));
    QSizePolicy policy = button->sizePolicy();
    policy.setVerticalStretch(static_cast<quint8>(breaks + 1));
    button->setSizePolicy(policy);
    WidgetHelpers::setFontSize(button, Settings::dialogFontSize());
    button->setObjectName(CodePage::toUnicode(key));
    button->setDefault(false);
    layout->addWidget(button);
    return button;
}

} // namespace

DCald::DCald(const QDate &date, QWidget *parent, int mode)
    : QDialog(parent)
    , m_calendar(new QCalendarWidget(this))
{
    setWindowTitle(Catalog::displayText("Cal"));

    m_calendar->setSelectedDate(date);
    m_calendar->setFirstDayOfWeek(Qt::Monday);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(true);

    auto *frame = new QGroupBox(this);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_calendar);

    auto *buttons = new QHBoxLayout;
    QPushButton *ok = makePushButton("Ok", buttons);
    QPushButton *cancel = makePushButton("Can", buttons);
    QPushButton *yearForward = makePushButton("Y+", buttons);
    QPushButton *yearBack = makePushButton("Y-", buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    if (mode == 0)
        connect(m_calendar, &QCalendarWidget::clicked, this, &QDialog::accept);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(yearForward, &QPushButton::clicked, this, &DCald::Ypm);
    connect(yearBack, &QPushButton::clicked, this, &DCald::Ypm);
}

void DCald::Ypm()
{
    const int years = (sender() && sender()->objectName() == u"Y+") ? 1 : -1;
    // addYears() turns 29 February into 28 February in a year without it.
    m_calendar->setSelectedDate(m_calendar->selectedDate().addYears(years));
}
