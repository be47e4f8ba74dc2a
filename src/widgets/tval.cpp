#include "widgets/tval.h"

#include "widgets/fieldtext.h"

#include <QLineEdit>

TVal::TVal(QObject *parent)
    : QValidator(parent)
{ }

QValidator::State TVal::validate(QString &input, int &pos) const
{
    // Only a validator that works for a line edit sees its own text come back.
    const bool forEdit = qobject_cast<QLineEdit *>(parent()) != nullptr;
    if (forEdit && m_reformatted) {
        m_reformatted = false;
        return Acceptable;
    }

    QByteArray text = FieldText::toLocal(input);
    FieldText::removeOvertyped(text, pos);
    const qint64 hours = FieldText::fieldAt(text, 0);
    const qint64 minutes = FieldText::fieldAt(text, 3);
    const qint64 seconds = FieldText::fieldAt(text, 6);
    // Unlike a date, an impossible time is refused: the line edit keeps its previous text.
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return Invalid;

    const QString rewritten = FieldText::format(hours, ':', minutes, seconds, 2);
    if (forEdit && rewritten != input)
        m_reformatted = true;
    input = rewritten;
    pos = FieldText::pastSeparator(pos);
    return Acceptable;
}
