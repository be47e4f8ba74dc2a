#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real `minisign` command, for tests that need keys and signatures made the way the maker
// makes them. Key pairs live in a temporary directory of the object's own, without a password.
//
//     MinisignTool minisign;
//     if (!minisign.isAvailable()) QSKIP(...);
//     QVERIFY(minisign.makeKey(u"maker"_s));
//     QVERIFY(minisign.sign(u"maker"_s, archivePath));            // archivePath + ".minisig"
//     UpdateSignature::setPublicKey(minisign.publicKey(u"maker"_s));
class MinisignTool final
{
public:
    MinisignTool();

    [[nodiscard]] bool isAvailable() const { return !m_program.isEmpty() && m_keys.isValid(); }
    // The key pair committed for the test build of the program (tests/data/updatekey).
    [[nodiscard]] static QString testKeyDirectory();

    bool makeKey(const QString &name);
    // The base64 line of the public key, as the deployment value holds it.
    [[nodiscard]] QByteArray publicKey(const QString &name) const;
    // Signs with `minisign -S` (legacy: -l) into signaturePath, file + ".minisig" by default.
    bool sign(const QString &name, const QString &file, const QString &trustedComment = QString(),
        bool legacy = false, const QString &signaturePath = QString());
    // `minisign -V` of the file and signature with the key: whether minisign accepts them.
    bool verify(const QString &name, const QString &file, const QString &signaturePath);
    [[nodiscard]] QString keyPath(const QString &name, bool secret) const;
    [[nodiscard]] QString lastError() const { return m_lastError; }

    // Runs minisign; true when it ended with 0, else the reason in lastError().
    bool run(const QStringList &arguments);

private:
    QString m_program;
    QTemporaryDir m_keys;
    QString m_lastError;
};
