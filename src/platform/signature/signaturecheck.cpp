#include "platform/signature/signaturecheck.h"

SignatureCheck::SignatureCheck(QObject *parent)
    : QObject(parent)
{ }

SignatureCheck::~SignatureCheck()
{
    cancel();
}

void SignatureCheck::start(const QString &path, const QByteArray &signatureText, const QByteArray &publicKey)
{
    cancel();
    m_cancel = false;
    const int generation = ++m_generation;
    m_worker = std::thread([this, path, signatureText, publicKey, generation] {
        const Minisign::Result result = Minisign::verifyFile(path, signatureText, publicKey, &m_cancel);
        // Queued into this object's thread; a check cancelled meanwhile is not reported.
        QMetaObject::invokeMethod(
            this, [this, result, generation] { deliver(result, generation); }, Qt::QueuedConnection);
    });
}

void SignatureCheck::cancel()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    // The answer of the check stopped here may still be on its way.
    ++m_generation;
}

void SignatureCheck::deliver(const Minisign::Result &result, int generation)
{
    if (generation != m_generation)
        return;
    if (m_worker.joinable())
        m_worker.join();
    emit finished(result);
}
