#include "widgets/dcald.h"

#include "shell/catalog.h"
#include "toolkit/widgethelpers.h"
#include "toolkit/windowdecoration.h"

#include <QCalendarWidget>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

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
    QPushButton *ok = WidgetHelpers::makePushButton("Ok", buttons);
    QPushButton *cancel = WidgetHelpers::makePushButton("Can", buttons);
    QPushButton *yearForward = WidgetHelpers::makePushButton("Y+", buttons);
    QPushButton *yearBack = WidgetHelpers::makePushButton("Y-", buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    if (mode == 0)
        connect(m_calendar, &QCalendarWidget::clicked, this, &QDialog::accept);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(yearForward, &QPushButton::clicked, this, &DCald::Ypm);
    connect(yearBack, &QPushButton::clicked, this, &DCald::Ypm);
    // The day grid: arrow keys choose the day at once.
    focusFirstField(this);
}

void DCald::Ypm()
{
    const int years = (sender() && sender()->objectName() == u"Y+") ? 1 : -1;
    // addYears() turns 29 February into 28 February in a year without it.
    m_calendar->setSelectedDate(m_calendar->selectedDate().addYears(years));
}
