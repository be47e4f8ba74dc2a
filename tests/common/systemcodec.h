#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// The system's own conversion between an 8-bit code page ("CP1251", "CP866", "IBM866") and
// Unicode, for comparison with the program's: iconv here, MultiByteToWideChar and
// WideCharToMultiByte (no best fit) on Windows.
class SystemCodec final
{
public:
    explicit SystemCodec(const QByteArray &codePage);
    ~SystemCodec();
    SystemCodec(const SystemCodec &) = delete;
    SystemCodec &operator=(const SystemCodec &) = delete;

    [[nodiscard]] bool isOpen() const;
    // Nothing when a byte is not assigned, or a character not in the page.
    [[nodiscard]] std::optional<QString> decode(const QByteArray &bytes) const;
    [[nodiscard]] std::optional<QByteArray> encode(const QString &text) const;

private:
    struct Converters; // systemcodec_posix.cpp and systemcodec_win.cpp
    std::unique_ptr<Converters> m_converters;
};
