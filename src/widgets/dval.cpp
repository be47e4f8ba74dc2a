#include "widgets/dval.h"

#include "support/dates.h"
#include "widgets/bytedateedit.h"
#include "widgets/fieldtext.h"

DVal::DVal(QObject *parent)
    : QValidator(parent)
{ }

QValidator::State DVal::validate(QString &input, int &pos) const
{
    auto *edit = qobject_cast<ByteDateEdit *>(parent());
    // The line edit hands our own rewritten text back once more; it must not be overtyped again.
    if (edit && edit->isReformatted()) {
        edit->setReformatted(false);
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
    if (edit && rewritten != input)
        edit->setReformatted(true);
    input = rewritten;
    pos = FieldText::pastSeparator(pos);
    return Acceptable;
}
