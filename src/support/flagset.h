#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>

// 64 flags in 8 bytes; flag n is bit 7 - (n % 8) of byte n / 8, so flag 0 is the first hex digit's
// most significant bit. The hex text is what the dialogs store.
class FlagSet final
{
public:
    FlagSet() = default;

    [[nodiscard]] static FlagSet fromHex(QByteArrayView text);
    // Two capital digits per byte up to the last non-zero byte; "00" when no flag is set.
    [[nodiscard]] QByteArray toHex() const;

    void setFlag(int n, bool on);
    [[nodiscard]] bool testFlag(int n) const;
    [[nodiscard]] const std::array<std::uint8_t, 8> &bytes() const { return m_bytes; }

    bool operator==(const FlagSet &) const = default;

private:
    std::array<std::uint8_t, 8> m_bytes{};
};
