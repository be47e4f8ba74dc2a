#include "platform/signature/minisign.h"

#include <QFile>
#include <QList>

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr QByteArrayView untrustedPrefix = "untrusted comment: ";
constexpr QByteArrayView trustedPrefix = "trusted comment: ";
// What one read hands to the hash: large enough that the calls cost nothing beside the hash.
constexpr qint64 readSize = 1024 * 1024;

QString tr(const char *text)
{
    return QString::fromLatin1(text);
}

// The lines of a small text file without their line ends ("\n" or "\r\n"); a last line without
// one counts, an empty end after the last line end does not.
QList<QByteArrayView> linesOf(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        lines << line;
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
    }
    return lines;
}

// Strict base64 of exactly size bytes.
std::optional<QByteArray> decodeBase64(QByteArrayView line, qsizetype size)
{
    const auto decoded = QByteArray::fromBase64Encoding(
        line.trimmed().toByteArray(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

template <size_t N> void copyInto(std::array<std::uint8_t, N> &target, QByteArrayView bytes)
{
    std::memcpy(target.data(), bytes.data(), N);
}

bool sodiumReady()
{
    // Thread-safe, and every later call returns at once.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

Minisign::Result failed(Minisign::Status status, QString detail)
{
    Minisign::Result result;
    result.status = status;
    result.detail = std::move(detail);
    return result;
}

// BLAKE2b-512 of the whole file, read in pieces.
std::optional<std::array<std::uint8_t, crypto_generichash_BYTES_MAX>> hashFile(
    QFile &file, const std::atomic_bool *cancel, QString *reason)
{
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    const auto buffer = std::make_unique<unsigned char[]>(size_t(readSize));
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return std::nullopt;
        const qint64 got = file.read(reinterpret_cast<char *>(buffer.get()), readSize);
        if (got < 0) {
            *reason = file.errorString();
            return std::nullopt;
        }
        if (got == 0)
            break;
        crypto_generichash_update(&state, buffer.get(), quint64(got));
    }
    std::array<std::uint8_t, crypto_generichash_BYTES_MAX> hash{};
    crypto_generichash_final(&state, hash.data(), hash.size());
    return hash;
}

} // namespace

namespace Minisign {

QByteArray keyIdText(const std::array<std::uint8_t, keyIdSize> &keyId)
{
    QByteArray reversed(reinterpret_cast<const char *>(keyId.data()), keyIdSize);
    std::reverse(reversed.begin(), reversed.end());
    return reversed.toHex().toUpper();
}

std::optional<PublicKey> parsePublicKey(QByteArrayView text, QString *reason)
{
    QList<QByteArrayView> lines = linesOf(text.trimmed());
    // The key file: its comment line, then the key.
    if (lines.size() == 2 && lines.first().startsWith(untrustedPrefix))
        lines.removeFirst();
    QString why;
    std::optional<QByteArray> decoded;
    if (lines.size() != 1)
        why = tr("not one line of base64");
    else if (!(decoded = decodeBase64(lines.first(), 2 + keyIdSize + 32)))
        why = tr("not 42 bytes of base64");
    else if (!decoded->startsWith("Ed"))
        why = tr("not an Ed25519 key");
    if (!why.isEmpty()) {
        if (reason)
            *reason = tr("public key: ") + why;
        return std::nullopt;
    }
    PublicKey key;
    copyInto(key.keyId, QByteArrayView(*decoded).sliced(2, keyIdSize));
    copyInto(key.key, QByteArrayView(*decoded).sliced(2 + keyIdSize));
    return key;
}

std::optional<Signature> parseSignature(QByteArrayView text, QString *reason)
{
    const auto fail = [reason](const char *why) {
        if (reason)
            *reason = tr("signature file: ") + tr(why);
        return std::nullopt;
    };
    if (text.size() > signatureFileCapacity)
        return fail("larger than a signature file can be");
    QList<QByteArrayView> lines = linesOf(text);
    // minisign reads the four lines and nothing after them; an editor may have added blank ones.
    while (lines.size() > 4 && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.size() != 4)
        return fail("not four lines");
    if (!lines.at(0).startsWith(untrustedPrefix))
        return fail("the first line is not the untrusted comment");
    const std::optional<QByteArray> signature = decodeBase64(lines.at(1), 2 + keyIdSize + 64);
    if (!signature)
        return fail("the second line is not 74 bytes of base64");
    if (!lines.at(2).startsWith(trustedPrefix))
        return fail("the third line is not the trusted comment");
    const std::optional<QByteArray> global = decodeBase64(lines.at(3), 64);
    if (!global)
        return fail("the fourth line is not 64 bytes of base64");

    Signature parsed;
    const QByteArrayView algorithm = QByteArrayView(*signature).first(2);
    if (algorithm == "ED")
        parsed.prehashed = true;
    else if (algorithm == "Ed")
        parsed.prehashed = false;
    else
        return fail("an unknown signature algorithm");
    copyInto(parsed.keyId, QByteArrayView(*signature).sliced(2, keyIdSize));
    copyInto(parsed.signature, QByteArrayView(*signature).sliced(2 + keyIdSize));
    parsed.trustedComment = lines.at(2).sliced(trustedPrefix.size()).toByteArray();
    copyInto(parsed.globalSignature, QByteArrayView(*global));
    return parsed;
}

Result verifyFile(const QString &path, QByteArrayView signatureText, QByteArrayView publicKey,
    const std::atomic_bool *cancel)
{
    QString reason;
    const std::optional<PublicKey> key = parsePublicKey(publicKey, &reason);
    if (!key)
        return failed(Status::KeyMalformed, reason);
    if (signatureText.trimmed().isEmpty())
        return failed(Status::SignatureMissing, tr("signature file: empty"));
    const std::optional<Signature> signature = parseSignature(signatureText, &reason);
    if (!signature)
        return failed(Status::SignatureMalformed, reason);
    if (signature->keyId != key->keyId)
        return failed(Status::WrongKey,
            tr("signed with key %1, expected %2")
                .arg(QString::fromLatin1(keyIdText(signature->keyId)),
                    QString::fromLatin1(keyIdText(key->keyId))));
    if (!sodiumReady())
        return failed(Status::FileUnreadable, tr("libsodium could not be initialised"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(Status::FileUnreadable, path + tr(": ") + file.errorString());
    bool holds = false;
    if (signature->prehashed) {
        const auto hash = hashFile(file, cancel, &reason);
        if (!hash) {
            if (reason.isEmpty())
                return failed(Status::Cancelled, QString());
            return failed(Status::FileUnreadable, path + tr(": ") + reason);
        }
        holds = crypto_sign_verify_detached(
                    signature->signature.data(), hash->data(), hash->size(), key->key.data())
            == 0;
    } else {
        // The legacy form signs the bytes themselves: libsodium needs them in one piece, which
        // the mapping gives without reading the file into memory.
        const qint64 size = file.size();
        const uchar *bytes = size > 0 ? file.map(0, size) : nullptr;
        if (size > 0 && !bytes)
            return failed(Status::FileUnreadable, path + tr(": ") + file.errorString());
        static const unsigned char nothing = 0;
        holds = crypto_sign_verify_detached(
                    signature->signature.data(), bytes ? bytes : &nothing, quint64(size), key->key.data())
            == 0;
    }
    if (!holds)
        return failed(Status::BadSignature, tr("the signature does not match the file"));

    QByteArray signedComment(
        reinterpret_cast<const char *>(signature->signature.data()), qsizetype(signature->signature.size()));
    signedComment += signature->trustedComment;
    if (crypto_sign_verify_detached(signature->globalSignature.data(),
            reinterpret_cast<const unsigned char *>(signedComment.constData()), quint64(signedComment.size()),
            key->key.data())
        != 0)
        return failed(Status::BadGlobalSignature, tr("the trusted comment is not the one signed"));

    Result result;
    result.status = Status::Verified;
    result.trustedComment = signature->trustedComment;
    result.legacy = !signature->prehashed;
    return result;
}

} // namespace Minisign
