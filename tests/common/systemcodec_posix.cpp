#include "common/systemcodec.h"

#include <iconv.h>

namespace {

constexpr const char *utf16 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE";
const iconv_t closed = reinterpret_cast<iconv_t>(-1);

std::optional<QByteArray> convert(iconv_t handle, QByteArray in)
{
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    QByteArray out(in.size() * 4 + 8, Qt::Uninitialized);
    char *inPointer = in.data();
    char *outPointer = out.data();
    size_t inLeft = size_t(in.size());
    size_t outLeft = size_t(out.size());
    if (iconv(handle, &inPointer, &inLeft, &outPointer, &outLeft) == size_t(-1)
        || iconv(handle, nullptr, nullptr, &outPointer, &outLeft) == size_t(-1))
        return std::nullopt;
    out.truncate(outPointer - out.data());
    return out;
}

} // namespace

struct SystemCodec::Converters
{
    iconv_t decoder = closed;
    iconv_t encoder = closed;
    ~Converters()
    {
        for (iconv_t handle : {decoder, encoder}) {
            if (handle != closed)
                iconv_close(handle);
        }
    }
};

SystemCodec::SystemCodec(const QByteArray &codePage)
    : m_converters(std::make_unique<Converters>())
{
    m_converters->decoder = iconv_open(utf16, codePage.constData());
    m_converters->encoder = iconv_open(codePage.constData(), utf16);
}

SystemCodec::~SystemCodec() = default;

bool SystemCodec::isOpen() const
{
    return m_converters->decoder != closed && m_converters->encoder != closed;
}

std::optional<QString> SystemCodec::decode(const QByteArray &bytes) const
{
    const std::optional<QByteArray> utf16Bytes = convert(m_converters->decoder, bytes);
    if (!utf16Bytes)
        return std::nullopt;
    return QString(reinterpret_cast<const QChar *>(utf16Bytes->constData()), utf16Bytes->size() / 2);
}

std::optional<QByteArray> SystemCodec::encode(const QString &text) const
{
    return convert(
        m_converters->encoder, QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
}
