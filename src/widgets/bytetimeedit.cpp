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
{
    setText(initialText ? CodePage::toUnicode(*initialText) : QStringLiteral("00:00:00"));
    setCursorPosition(0);
    setValidator(new TVal(this));
}

void ByteTimeEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    // Unlike a date, a time has no sign.
    if (key <= 0xff && !(key >= Qt::Key_0 && key <= Qt::Key_9))
        return;

    m_reformatted = false;
    const int pos = cursorPosition();
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return;
    case Qt::Key_Left:
        if (pos == 3 || pos == 6) {
            setCursorPosition(pos - 2);
            return;
        }
        break;
    case Qt::Key_Right:
        if (pos == 1 || pos == 4) {
            setCursorPosition(pos + 2);
            return;
        }
        break;
    case Qt::Key_Up:
        step(+1);
        return;
    case Qt::Key_Down:
        step(-1);
        return;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void ByteTimeEdit::step(int delta)
{
    const int pos = cursorPosition();
    const QByteArray text = FieldText::toLocal(this->text());
    static constexpr qint64 unit[] = {3600, 60, 1};
    const qint64 total = FieldText::fieldAt(text, 0) * 3600 + FieldText::fieldAt(text, 3) * 60
        + FieldText::fieldAt(text, 6) + delta * unit[FieldText::fieldOfCursor(pos)];
    m_reformatted = false;
    if (total < 0)
        return;
    // Forward past the end of the day starts the day again.
    const qint64 seconds = total % secondsPerDay;
    setText(FieldText::format(seconds / 3600, ':', seconds / 60 % 60, seconds % 60, 2));
    setCursorPosition(pos);
}
