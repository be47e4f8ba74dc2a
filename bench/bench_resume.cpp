// A download cut short and fetched again: the bytes that cross the network in total, against the
// file's size. The same file is served twice over one root: by a server that cuts every transfer
// after a given number of bytes, then by one that does not. The first way starts the second
// attempt from zero (a plain get, as the updater did before); the second continues it
// (getResuming with the stamp the first attempt reported).
//
//   bench_resume <ftp-url-of-the-cutting-server> <ftp-url-of-the-whole-server> <path> <scratch>
//
// bench/run-resume makes the file, starts both servers and calls this.

#include "platform/ftp/ftpclient.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace {

// The bytes written into the file, whatever the position they are written at.
class CountingFile final : public QFile
{
public:
    using QFile::QFile;
    qint64 written = 0;

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        const qint64 done = QFile::writeData(data, length);
        written += qMax<qint64>(done, 0);
        return done;
    }
};

struct Attempt
{
    bool ok = false;
    FtpClient::RemoteStamp stamp;
    QString error;
};

// One attempt; recorded set: getResuming with it, else a plain get into the emptied file.
Attempt fetch(
    const QUrl &server, const QString &path, CountingFile &file, const FtpClient::RemoteStamp *recorded)
{
    Attempt attempt;
    FtpClient ftp;
    QEventLoop loop;
    QObject::connect(&ftp, &FtpClient::done, &loop, [&](bool error) {
        attempt.ok = !error;
        attempt.error = ftp.errorString();
        loop.quit();
    });
    QObject::connect(
        &ftp, &FtpClient::remoteStamp, [&](const FtpClient::RemoteStamp &stamp) { attempt.stamp = stamp; });
    ftp.connectToHost(server.host(), quint16(server.port(21)));
    ftp.login();
    ftp.cd(path.section(u'/', 0, -2));
    if (recorded) {
        ftp.getResuming(path.section(u'/', -1), &file, *recorded);
    } else {
        file.resize(0);
        file.seek(0);
        ftp.get(path.section(u'/', -1), &file);
    }
    ftp.close();
    loop.exec();
    return attempt;
}

struct Outcome
{
    qint64 moved = 0;
    QByteArray hash;
    bool ok = false;
};

Outcome cutThenAgain(
    const QUrl &cutting, const QUrl &whole, const QString &path, const QString &target, bool resume)
{
    Outcome outcome;
    QFile::remove(target);
    CountingFile file(target);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return outcome;
    const FtpClient::RemoteStamp none;
    const Attempt first = fetch(cutting, path, file, resume ? &none : nullptr);
    if (first.ok) {
        std::fprintf(stderr, "the first attempt was not cut\n");
        return outcome;
    }
    const Attempt second = fetch(whole, path, file, resume ? &first.stamp : nullptr);
    if (!second.ok) {
        std::fprintf(stderr, "the second attempt failed: %s\n", qPrintable(second.error));
        return outcome;
    }
    outcome.moved = file.written;
    file.seek(0);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    outcome.hash = hash.result().toHex();
    outcome.ok = true;
    return outcome;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 5) {
        std::fprintf(
            stderr, "usage: bench_resume <cutting-server-url> <whole-server-url> <path> <scratch>\n");
        return 2;
    }
    const QUrl cutting(arguments.at(1));
    const QUrl whole(arguments.at(2));
    const QString path = arguments.at(3);
    const QDir scratch(arguments.at(4));

    const Outcome again
        = cutThenAgain(cutting, whole, path, scratch.filePath(QStringLiteral("again.bin")), false);
    const Outcome resumed
        = cutThenAgain(cutting, whole, path, scratch.filePath(QStringLiteral("resumed.bin")), true);
    if (!again.ok || !resumed.ok)
        return 1;
    const qint64 size = QFileInfo(scratch.filePath(QStringLiteral("resumed.bin"))).size();
    std::printf("file: %lld bytes; both copies %s (SHA-256 %s)\n", qlonglong(size),
        again.hash == resumed.hash ? "equal" : "DIFFER", resumed.hash.left(16).constData());
    std::printf("cut, then from the start   %12lld bytes  %5.2f x the file\n", qlonglong(again.moved),
        double(again.moved) / double(size));
    std::printf("cut, then resumed (REST)   %12lld bytes  %5.2f x the file  (target <= 1.15)\n",
        qlonglong(resumed.moved), double(resumed.moved) / double(size));
    return again.hash == resumed.hash ? 0 : 1;
}
