#include "support/codepage.h"

#include <QTextCodec>

namespace {

QTextCodec *cp1251()
{
    static QTextCodec *const codec = QTextCodec::codecForName("CP1251");
    Q_ASSERT(codec);
    return codec;
}

char to1251(char c)
{
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && b <= 0xAF)
        return static_cast<char>(b + 0x40);
    if (b >= 0xE0 && b <= 0xEF)
        return static_cast<char>(b + 0x10);
    if (b == 0xF0)
        return static_cast<char>(0xA8);
    if (b == 0xF1)
        return static_cast<char>(0xB8);
    return c;
}

} // namespace

void CodePage::cp866ToCp1251(QByteArray &text)
{
    for (char &c : text)
        c = to1251(c);
}

QByteArray CodePage::cp866ToCp1251(QByteArrayView text)
{
    QByteArray result = text.toByteArray();
    cp866ToCp1251(result);
    return result;
}

QString CodePage::toUnicode(QByteArrayView cp1251Text)
{
    return cp1251()->toUnicode(cp1251Text.data(), int(cp1251Text.size()));
}

QByteArray CodePage::fromUnicode(const QString &text)
{
    return cp1251()->fromUnicode(text);
}
