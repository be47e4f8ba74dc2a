#include "support/codepage.h"

#include <QTextCodec>

namespace {

QTextCodec *cp1251()
{
    static QTextCodec *const codec = QTextCodec::codecForName("CP1251");
    Q_ASSERT(codec);
    return codec;
}

// The catalog is converted on every start, so the byte map is a table built once.
struct Cp866To1251
{
    constexpr Cp866To1251()
    {
        for (int b = 0; b < 256; ++b) {
            int to = b;
            if (b >= 0x80 && b <= 0xAF)
                to = b + 0x40;
            else if (b >= 0xE0 && b <= 0xEF)
                to = b + 0x10;
            else if (b == 0xF0)
                to = 0xA8;
            else if (b == 0xF1)
                to = 0xB8;
            map[b] = static_cast<unsigned char>(to);
        }
    }
    unsigned char map[256]{};
};

constexpr Cp866To1251 cp866Table;

} // namespace

void CodePage::cp866ToCp1251(QByteArray &text)
{
    char *data = text.data();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i)
        data[i] = static_cast<char>(cp866Table.map[static_cast<unsigned char>(data[i])]);
}

QByteArray CodePage::cp866ToCp1251(QByteArrayView text)
{
    QByteArray result = text.toByteArray();
    cp866ToCp1251(result);
    return result;
}

char CodePage::cp866ByteToCp1251(char byte)
{
    return static_cast<char>(cp866Table.map[static_cast<unsigned char>(byte)]);
}

QString CodePage::toUnicode(QByteArrayView cp1251Text)
{
    return cp1251()->toUnicode(cp1251Text.data(), int(cp1251Text.size()));
}

QByteArray CodePage::fromUnicode(const QString &text)
{
    return cp1251()->fromUnicode(text);
}
