#include "widgets/bytetimeedit.h"

#include "support/codepage.h"
#include "widgets/fieldtext.h"
#include "widgets/tval.h"

#include <QKeyEvent>

namespace {
constexpr qint64 secondsPerDay = 86400;
}

ByteTimeEdit::ByteTimeEdit(const std::optional<QByteArray> &initialText, QWidget *parent)
    : QLineEdit(parent)
    , m_validator(new TVal(this))
{
    setText(initialText ? CodePage::toUnicode(*initialText) : QStringLiteral("00:00:00"));
    setCursorPosition(0);
    setValidator(m_validator);
}

bool ByteTimeEdit::isReformatted() const
{
    return m_validator->isReformatted();
}

void ByteTimeEdit::keyPressEvent(QKeyEvent *event)
{
    // Unlike a date, a time has no sign.
    if (FieldText::refusesKey(event->key(), false))
        return;
    m_validator->setReformatted(false);
    if (!FieldText::handleEditingKey(this, event->key(), [this](int delta) { step(delta); }))
        QLineEdit::keyPressEvent(event);
}

void ByteTimeEdit::step(int delta)
{
    const int pos = cursorPosition();
    const QByteArray text = FieldText::toLocal(this->text());
    static constexpr qint64 unit[] = {3600, 60, 1};
    const qint64 total = FieldText::fieldAt(text, 0) * 3600 + FieldText::fieldAt(text, 3) * 60
        + FieldText::fieldAt(text, 6) + delta * unit[FieldText::fieldOfCursor(pos)];
    m_validator->setReformatted(false);
    if (total < 0)
        return;
    // Forward past the end of the day starts the day again.
    const qint64 seconds = total % secondsPerDay;
    setText(FieldText::format(seconds / 3600, ':', seconds / 60 % 60, seconds % 60, 2));
    setCursorPosition(pos);
}
