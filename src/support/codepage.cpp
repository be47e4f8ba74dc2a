#include "support/codepage.h"

#include <algorithm>
#include <array>

namespace {

using HighHalf = std::array<char16_t, 128>;

// Bytes 0x80-0xFF. 0x98 is unassigned in 1251; like Windows, it stands for the C1 control of the
// same value, so that every byte survives a round trip.
constexpr HighHalf cp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8
};

constexpr HighHalf cp866High = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 80
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // 88
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 90
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // 98
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // A0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // E0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // E8
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0, // F8
};

// The way back: the upper half's characters sorted, each with its byte, for a binary search.
struct Reverse
{
    constexpr explicit Reverse(const HighHalf &high)
    {
        for (int i = 0; i < 128; ++i)
            entries[i] = {high[i], static_cast<unsigned char>(0x80 + i)};
        std::sort(entries.begin(), entries.end());
    }
    std::array<std::pair<char16_t, unsigned char>, 128> entries{};
};

constexpr Reverse cp1251Reverse(cp1251High);
constexpr Reverse cp866Reverse(cp866High);

QString decode(QByteArrayView bytes, const HighHalf &high)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(byte < 0x80 ? char16_t(byte) : high[byte - 0x80]);
    }
    return text;
}

QByteArray encode(QStringView text, const Reverse &reverse)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            bytes.append(static_cast<char>(unit));
            continue;
        }
        // A character outside the BMP is one '?', not one per half of its surrogate pair.
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const auto found = std::lower_bound(
            reverse.entries.begin(), reverse.entries.end(), std::pair<char16_t, unsigned char>(unit, 0));
        bytes.append(
            found != reverse.entries.end() && found->first == unit ? static_cast<char>(found->second) : '?');
    }
    return bytes;
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

QString CodePage::toUnicode(QByteArrayView cp1251)
{
    return decode(cp1251, cp1251High);
}

QByteArray CodePage::fromUnicode(const QString &text)
{
    return encode(text, cp1251Reverse);
}

QString CodePage::cp866ToUnicode(QByteArrayView cp866)
{
    return decode(cp866, cp866High);
}

QByteArray CodePage::unicodeToCp866(const QString &text)
{
    return encode(text, cp866Reverse);
}
