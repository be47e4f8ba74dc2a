#pragma once

#include "platform/signature/minisign.h"

#include <QObject>

#include <atomic>
#include <thread>

// One signature check at a time, run on a thread of its own so that the window stays responsive
// while a large archive is hashed; finished() is delivered in the object's own thread. Destroying
// the object, or starting another check, stops the one running and waits for it: the file it
// reads may go right after.
class SignatureCheck final : public QObject
{
    Q_OBJECT

public:
    explicit SignatureCheck(QObject *parent = nullptr);
    ~SignatureCheck() override;

    void start(const QString &path, const QByteArray &signatureText, const QByteArray &publicKey);
    void cancel();
    [[nodiscard]] bool isRunning() const { return m_worker.joinable(); }

signals:
    void finished(const Minisign::Result &result);

private:
    void deliver(const Minisign::Result &result, int generation);

    std::thread m_worker;
    std::atomic_bool m_cancel{false};
    int m_generation = 0;
};
