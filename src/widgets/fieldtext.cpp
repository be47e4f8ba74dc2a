#include "widgets/fieldtext.h"

#include "support/codepage.h"
#include "support/strings.h"

#include <QLineEdit>

#include <cstdio>

namespace FieldText {

QByteArray toLocal(const QString &text)
{
    return CodePage::fromUnicode(text).left(maxLength);
}

qint64 fieldAt(QByteArrayView text, qsizetype index)
{
    if (index >= text.size())
        return 0;
    return Strings::number(text.sliced(index));
}

int fieldOfCursor(int pos)
{
    if (pos <= 1)
        return 0;
    if (pos <= 5)
        return 1;
    return 2;
}

void removeOvertyped(QByteArray &text, int pos)
{
    if (pos >= 0 && pos < text.size())
        text.remove(pos, 1);
}

int pastSeparator(int pos)
{
    return (pos == 2 || pos == 5) ? pos + 1 : pos;
}

QString format(qint64 a, char separator, qint64 b, qint64 c, int lastWidth)
{
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%02lld%c%02lld%c%0*lld", static_cast<long long>(a), separator,
        static_cast<long long>(b), separator, lastWidth, static_cast<long long>(c));
    return CodePage::toUnicode(buffer);
}

} // namespace FieldText

bool FieldText::refusesKey(int key, bool signAllowed)
{
    const bool digit = key >= Qt::Key_0 && key <= Qt::Key_9;
    return key <= 0xff && !digit && !(signAllowed && key == Qt::Key_Minus);
}

bool FieldText::handleEditingKey(QLineEdit *edit, int key, const std::function<void(int)> &step)
{
    const int pos = edit->cursorPosition();
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Left:
        if (pos == 3 || pos == 6) {
            edit->setCursorPosition(pos - 2);
            return true;
        }
        return false;
    case Qt::Key_Right:
        if (pos == 1 || pos == 4) {
            edit->setCursorPosition(pos + 2);
            return true;
        }
        return false;
    case Qt::Key_Up:
        step(+1);
        return true;
    case Qt::Key_Down:
        step(-1);
        return true;
    default:
        return false;
    }
}
