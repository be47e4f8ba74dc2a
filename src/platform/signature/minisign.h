#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

// Signatures in the format of the `minisign` tool, which the maker signs each update with:
// Ed25519 (libsodium), the key pair made by `minisign -G`, the signature file "<file>.minisig"
// written by `minisign -Sm <file>`.
//
// A public key is the base64 line of the key file (two bytes "Ed", the 8-byte key id, the
// 32-byte key); the file's two-line form with its comment line is taken as well. A signature
// file is four lines: "untrusted comment: ...", the base64 signature (the algorithm "ED" or
// "Ed", the key id of the signing key, 64 bytes of signature), "trusted comment: ...", and the
// base64 global signature over the signature's 64 bytes followed by the trusted comment. "ED"
// signs the BLAKE2b-512 hash of the file, so the file is read in pieces and never held in
// memory; the legacy "Ed" signs the file's bytes themselves, which are mapped for the check.
namespace Minisign {

inline constexpr qsizetype keyIdSize = 8;
// Larger signature files are not ours: the format's comments are short lines.
inline constexpr qsizetype signatureFileCapacity = 16 * 1024;

struct PublicKey
{
    std::array<std::uint8_t, keyIdSize> keyId{};
    std::array<std::uint8_t, 32> key{};
};

struct Signature
{
    bool prehashed = true; // "ED"; false: the legacy "Ed"
    std::array<std::uint8_t, keyIdSize> keyId{};
    std::array<std::uint8_t, 64> signature{};
    QByteArray trustedComment; // without its "trusted comment: " prefix
    std::array<std::uint8_t, 64> globalSignature{};
};

enum class Status {
    Verified,
    KeyMalformed, // the public key is not one
    SignatureMissing, // no signature at all (an empty file)
    SignatureMalformed,
    WrongKey, // signed by another key than the one given
    BadSignature, // the file is not the one signed
    BadGlobalSignature, // the trusted comment is not the one signed
    FileUnreadable,
    Cancelled,
};

struct Result
{
    Status status = Status::Cancelled;
    QByteArray trustedComment; // once the global signature holds
    bool legacy = false; // the signature is the legacy "Ed" form
    QString detail; // what exactly was wrong, for the log

    [[nodiscard]] bool verified() const { return status == Status::Verified; }
};

// The key's base64 line, or the whole key file; nullopt when it is neither, with the reason.
[[nodiscard]] std::optional<PublicKey> parsePublicKey(QByteArrayView text, QString *reason = nullptr);
// The whole signature file; nullopt when it is malformed, with the reason.
[[nodiscard]] std::optional<Signature> parseSignature(QByteArrayView text, QString *reason = nullptr);
// Hex of a key id as minisign prints it (the bytes in reverse order, upper case).
[[nodiscard]] QByteArray keyIdText(const std::array<std::uint8_t, keyIdSize> &keyId);

// Checks the file at path against the signature file's bytes with the public key (its base64
// line or key file). Reads the file in pieces; cancel, when given, is looked at between them.
// Runs on any thread.
[[nodiscard]] Result verifyFile(const QString &path, QByteArrayView signatureText, QByteArrayView publicKey,
    const std::atomic_bool *cancel = nullptr);

} // namespace Minisign
