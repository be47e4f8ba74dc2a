#include "common/systemcodec.h"

#include <cctype>
#include <windows.h>

struct SystemCodec::Converters
{
    UINT codePage = 0;
};

SystemCodec::SystemCodec(const QByteArray &codePage)
    : m_converters(std::make_unique<Converters>())
{
    // "CP1251", "IBM866": the number is the Windows code page.
    QByteArray digits = codePage;
    while (!digits.isEmpty() && !std::isdigit(static_cast<unsigned char>(digits.front())))
        digits.remove(0, 1);
    const UINT number = digits.toUInt();
    if (number != 0 && ::IsValidCodePage(number))
        m_converters->codePage = number;
}

SystemCodec::~SystemCodec() = default;

bool SystemCodec::isOpen() const
{
    return m_converters->codePage != 0;
}

std::optional<QString> SystemCodec::decode(const QByteArray &bytes) const
{
    QString text(bytes.size() * 2 + 2, Qt::Uninitialized);
    const int length = ::MultiByteToWideChar(m_converters->codePage, MB_ERR_INVALID_CHARS, bytes.constData(),
        int(bytes.size()), reinterpret_cast<wchar_t *>(text.data()), int(text.size()));
    if (length <= 0 && !bytes.isEmpty())
        return std::nullopt;
    text.truncate(length);
    return text;
}

std::optional<QByteArray> SystemCodec::encode(const QString &text) const
{
    QByteArray bytes(text.size() * 4 + 4, Qt::Uninitialized);
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(m_converters->codePage, WC_NO_BEST_FIT_CHARS,
        reinterpret_cast<const wchar_t *>(text.utf16()), int(text.size()), bytes.data(), int(bytes.size()),
        nullptr, &usedDefault);
    if ((length <= 0 && !text.isEmpty()) || usedDefault)
        return std::nullopt;
    bytes.truncate(length);
    return bytes;
}
