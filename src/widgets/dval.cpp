#include "widgets/dval.h"

#include "support/dates.h"
#include "widgets/fieldtext.h"

#include <QLineEdit>

DVal::DVal(QObject *parent)
    : QValidator(parent)
{ }

QValidator::State DVal::validate(QString &input, int &pos) const
{
    // The line edit hands our own rewritten text back once more; it must not be overtyped again.
    // Only a validator that works for a line edit sees its own text come back.
    const bool forEdit = qobject_cast<QLineEdit *>(parent()) != nullptr;
    if (forEdit && m_reformatted) {
        m_reformatted = false;
        return Acceptable;
    }

    QByteArray text = FieldText::toLocal(input);
    FieldText::removeOvertyped(text, pos);
    qint64 day = FieldText::fieldAt(text, 0);
    qint64 month = FieldText::fieldAt(text, 3);
    const qint64 year = FieldText::fieldAt(text, 6);

    // A first month digit above 1 cannot start a month; 10 keeps the digit position meaningful.
    if (month > 12)
        month = 10;
    if (month < 1)
        month = 1;
    if (day < 1)
        day = 1;
    day = qMin<qint64>(day, Dates::daysInMonth(int(month), int(year)));

    const QString rewritten = FieldText::format(day, '.', month, year, 4);
    // Only a text that changed comes back for a second validation; flagging an unchanged one
    // would let the next outside setText() through without normalising it.
    if (forEdit && rewritten != input)
        m_reformatted = true;
    input = rewritten;
    pos = FieldText::pastSeparator(pos);
    return Acceptable;
}
