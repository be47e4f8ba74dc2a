#include "support/flagset.h"

namespace {

int digitValue(char c)
{
    // Anything that is not a decimal digit counts as its code minus 55, so 'A'-'F' are 10-15;
    // lower-case digits are never written by the program.
    return c >= '0' && c <= '9' ? c - '0' : static_cast<unsigned char>(c) - 55;
}

} // namespace

FlagSet FlagSet::fromHex(QByteArrayView text)
{
    FlagSet set;
    const qsizetype n = qMin(text.size(), qsizetype(16));
    for (qsizetype i = 0; i < n; i += 2) {
        const int high = digitValue(text[i]);
        const int low = i + 1 < n ? digitValue(text[i + 1]) : 0;
        set.m_bytes[i / 2] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return set;
}

QByteArray FlagSet::toHex() const
{
    int last = 7;
    while (last >= 0 && m_bytes[last] == 0)
        --last;
    if (last < 0)
        return QByteArrayLiteral("00");
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray text;
    for (int i = 0; i <= last; ++i) {
        text.append(digits[m_bytes[i] >> 4]);
        text.append(digits[m_bytes[i] & 0x0F]);
    }
    return text;
}

void FlagSet::setFlag(int n, bool on)
{
    if (n < 0 || n >= 64)
        return;
    const auto bit = static_cast<std::uint8_t>(0x80 >> (n % 8));
    if (on)
        m_bytes[n / 8] |= bit;
    else
        m_bytes[n / 8] &= static_cast<std::uint8_t>(~bit);
}

bool FlagSet::testFlag(int n) const
{
    return n >= 0 && n < 64 && (m_bytes[n / 8] & (0x80 >> (n % 8))) != 0;
}
