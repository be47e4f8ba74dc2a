#include "widgets/bytedatewid.h"

#include "support/codepage.h"
#include "support/strings.h"
#include "widgets/bytedateedit.h"
#include "widgets/dcald.h"
#include "widgets/fieldtext.h"

#include <QCalendarWidget>
#include <QDate>
#include <QHBoxLayout>
#include <QPushButton>

namespace {
const QString dateFormat = QStringLiteral("dd.MM.yyyy");
}

ByteDateWid::ByteDateWid(const std::optional<QByteArray> &initialText, QWidget *parent)
    : QWidget(parent)
    , m_edit(new ByteDateEdit(initialText, this))
    , m_button(new QPushButton(QStringLiteral("K"), this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit, 10);
    layout->addWidget(m_button, 1);
    connect(m_button, &QPushButton::clicked, this, &ByteDateWid::KClicked);
}

void ByteDateWid::KClicked()
{
    const QByteArray text = Strings::trimmedRight(FieldText::toLocal(m_edit->text()));
    QDate date = QDate::fromString(CodePage::toUnicode(text), dateFormat);
    // A negative year, for one, is a text the calendar cannot show.
    if (!date.isValid())
        date = QDate::currentDate();

    DCald calendar(date, this, 0);
    if (calendar.exec() == QDialog::Accepted)
        m_edit->setText(calendar.calendar()->selectedDate().toString(dateFormat));
}
