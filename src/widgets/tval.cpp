#include "widgets/tval.h"

#include "widgets/bytetimeedit.h"
#include "widgets/fieldtext.h"

TVal::TVal(QObject *parent)
    : QValidator(parent)
{ }

QValidator::State TVal::validate(QString &input, int &pos) const
{
    auto *edit = qobject_cast<ByteTimeEdit *>(parent());
    if (edit && edit->isReformatted()) {
        edit->setReformatted(false);
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
    if (edit && rewritten != input)
        edit->setReformatted(true);
    input = rewritten;
    pos = FieldText::pastSeparator(pos);
    return Acceptable;
}
