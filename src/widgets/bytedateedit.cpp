#include "widgets/bytedateedit.h"

#include "support/codepage.h"
#include "support/dates.h"
#include "widgets/dval.h"
#include "widgets/fieldtext.h"

#include <QDate>
#include <QKeyEvent>

#include <limits>

ByteDateEdit::ByteDateEdit(const std::optional<QByteArray> &initialText, QWidget *parent)
    : QLineEdit(parent)
    , m_validator(new DVal(this))
{
    if (initialText)
        setText(CodePage::toUnicode(*initialText));
    else
        setText(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")).left(FieldText::maxLength));
    setCursorPosition(0);
    // Installed after the initial text, so that a stored text is shown as it was stored.
    setValidator(m_validator);
}

bool ByteDateEdit::isReformatted() const
{
    return m_validator->isReformatted();
}

void ByteDateEdit::keyPressEvent(QKeyEvent *event)
{
    if (FieldText::refusesKey(event->key(), true))
        return;
    m_validator->setReformatted(false);
    if (!FieldText::handleEditingKey(this, event->key(), [this](int delta) { step(delta); }))
        QLineEdit::keyPressEvent(event);
}

void ByteDateEdit::step(int delta)
{
    const int pos = cursorPosition();
    const QByteArray text = FieldText::toLocal(this->text());
    qint64 day = FieldText::fieldAt(text, 0);
    qint64 month = FieldText::fieldAt(text, 3);
    qint64 year = FieldText::fieldAt(text, 6);
    switch (FieldText::fieldOfCursor(pos)) {
    case 0:
        day += delta;
        break;
    case 1:
        month += delta;
        break;
    default:
        year += delta;
        break;
    }
    m_validator->setReformatted(false);
    // Nothing wraps: below the first day or month, or past December, the step does nothing.
    if (month < 1 || month > 12 || day < 1)
        return;
    // A year stepped out of the int range would no longer be read back as itself.
    if (year > std::numeric_limits<int>::max() || year < std::numeric_limits<int>::min())
        return;
    day = qMin<qint64>(day, Dates::daysInMonth(int(month), int(year)));
    setText(FieldText::format(day, '.', month, year, 4));
    setCursorPosition(pos);
}
