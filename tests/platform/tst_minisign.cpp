// Signatures made by the real `minisign` tool, as the maker makes them, checked by the updater's
// verification, and each answer compared with what `minisign -V` itself says of the same files.

#include "common/minisigntool.h"
#include "platform/signature/minisign.h"
#include "platform/signature/signaturecheck.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace Qt::StringLiterals;
using Minisign::Status;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The signature file with one line replaced.
QByteArray withLine(const QByteArray &signature, int index, const QByteArray &line)
{
    QList<QByteArray> lines = signature.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

} // namespace

class TestMinisign : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void verify_data();
    void verify();
    void checkOffTheThread();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    MinisignTool m_minisign;
};

void TestMinisign::initTestCase()
{
    if (!m_minisign.isAvailable())
        QSKIP("minisign is needed (scripts/install-deps installs it)");
    QVERIFY(m_dir.isValid());
    // Three pieces of the hash's read size and a little more, so that the last read is short.
    QByteArray archive(3 * 1024 * 1024 + 77, Qt::Uninitialized);
    QRandomGenerator(19).fillRange(reinterpret_cast<quint32 *>(archive.data()), archive.size() / 4);
    QVERIFY(writeFile(path(u"ko10.rar"_s), archive));
    QVERIFY(writeFile(path(u"empty.rar"_s), QByteArray()));
    for (const QString &name : {u"maker"_s, u"other"_s})
        QVERIFY2(m_minisign.makeKey(name), qPrintable(m_minisign.lastError()));
    QVERIFY(QFile::copy(m_minisign.keyPath(u"maker"_s, false), path(u"maker.pub"_s)));
    const QString comment = u"timestamp:1765000000\tfile:ko10.rar update 10"_s;
    for (const auto &[key, file, legacy, signature] : {
             std::tuple{u"maker"_s, u"ko10.rar"_s, false, u"ko10.rar.minisig"_s},
             {u"maker"_s, u"ko10.rar"_s, true, u"legacy.minisig"_s},
             {u"other"_s, u"ko10.rar"_s, false, u"other.minisig"_s},
             {u"maker"_s, u"empty.rar"_s, false, u"empty.rar.minisig"_s},
             {u"maker"_s, u"empty.rar"_s, true, u"empty-legacy.minisig"_s},
         })
        QVERIFY2(m_minisign.sign(key, path(file), comment, legacy, path(signature)),
            qPrintable(m_minisign.lastError()));
}

void TestMinisign::verify_data()
{
    // What is verified: the file, the signature file's bytes and the key, each made from what
    // initTestCase left in the directory.
    using Make = std::function<QByteArray(const QString &dir)>;
    QTest::addColumn<QString>("file");
    QTest::addColumn<Make>("signature");
    QTest::addColumn<Make>("key");
    QTest::addColumn<int>("changedByte"); // -1: the file as signed
    QTest::addColumn<Status>("status");

    const auto file = [](const QString &name) {
        return Make([name](const QString &dir) { return readFile(dir + u'/' + name); });
    };
    const Make good = file(u"ko10.rar.minisig"_s);
    const Make makerKey
        = [](const QString &dir) { return readFile(dir + u"/maker.pub"_s).split('\n').at(1); };
    const Make makerKeyFile = file(u"maker.pub"_s);
    const auto edited = [](Make from, const std::function<QByteArray(QByteArray)> &edit) {
        return Make([from, edit](const QString &dir) { return edit(from(dir)); });
    };

    QTest::newRow("good") << u"ko10.rar"_s << good << makerKey << -1 << Status::Verified;
    QTest::newRow("the key file's two lines")
        << u"ko10.rar"_s << good << makerKeyFile << -1 << Status::Verified;
    QTest::newRow("legacy") << u"ko10.rar"_s << file(u"legacy.minisig"_s) << makerKey << -1
                            << Status::Verified;
    QTest::newRow("empty file") << u"empty.rar"_s << file(u"empty.rar.minisig"_s) << makerKey << -1
                                << Status::Verified;
    QTest::newRow("empty file, legacy")
        << u"empty.rar"_s << file(u"empty-legacy.minisig"_s) << makerKey << -1 << Status::Verified;
    QTest::newRow("line ends of Windows")
        << u"ko10.rar"_s << edited(good, [](QByteArray s) { return s.replace("\n", "\r\n"); }) << makerKey
        << -1 << Status::Verified;
    QTest::newRow("one byte changed, first piece")
        << u"ko10.rar"_s << good << makerKey << 5 << Status::BadSignature;
    QTest::newRow("one byte changed, in the last short piece")
        << u"ko10.rar"_s << good << makerKey << 3 * 1024 * 1024 + 70 << Status::BadSignature;
    QTest::newRow("legacy, one byte changed")
        << u"ko10.rar"_s << file(u"legacy.minisig"_s) << makerKey << 1000 << Status::BadSignature;
    QTest::newRow("signed with another key")
        << u"ko10.rar"_s << file(u"other.minisig"_s) << makerKey << -1 << Status::WrongKey;
    // The other key's signature relabelled with the maker's key id: the id matches, the
    // signature cannot.
    const Make relabelled = [makerKey](const QString &dir) {
        const QByteArray other = readFile(dir + u"/other.minisig"_s);
        QByteArray raw = QByteArray::fromBase64(other.split('\n').at(1));
        raw.replace(
            2, Minisign::keyIdSize, QByteArray::fromBase64(makerKey(dir)).mid(2, Minisign::keyIdSize));
        return withLine(other, 1, raw.toBase64());
    };
    QTest::newRow("another key's signature under the maker's key id")
        << u"ko10.rar"_s << relabelled << makerKey << -1 << Status::BadSignature;
    QTest::newRow("missing") << u"ko10.rar"_s << Make([](const QString &) { return QByteArray(); })
                             << makerKey << -1 << Status::SignatureMissing;
    QTest::newRow("truncated") << u"ko10.rar"_s << edited(good, [](QByteArray s) { return s.left(120); })
                               << makerKey << -1 << Status::SignatureMalformed;
    QTest::newRow("garbage") << u"ko10.rar"_s << Make([](const QString &) {
        return QByteArray("<html>404 Not Found</html>\n");
    }) << makerKey << -1 << Status::SignatureMalformed;
    QTest::newRow("signature line not base64")
        << u"ko10.rar"_s << edited(good, [](QByteArray s) { return withLine(s, 1, "RW*not base64*"); })
        << makerKey << -1 << Status::SignatureMalformed;
    QTest::newRow("unknown algorithm") << u"ko10.rar"_s << edited(good, [](QByteArray s) {
        QByteArray raw = QByteArray::fromBase64(s.split('\n').at(1));
        raw[1] = 'x';
        return withLine(s, 1, raw.toBase64());
    }) << makerKey << -1 << Status::SignatureMalformed;
    QTest::newRow("blank lines after it")
        << u"ko10.rar"_s << edited(good, [](QByteArray s) { return s + "\n\n"; }) << makerKey << -1
        << Status::Verified;
    // minisign itself reads the four lines and stops; the updater refuses to fetch that much.
    QTest::newRow("far too large") << u"ko10.rar"_s
                                   << edited(good, [](QByteArray s) { return s + QByteArray(20000, '\n'); })
                                   << makerKey << -1 << Status::SignatureMalformed;
    QTest::newRow("trusted comment edited")
        << u"ko10.rar"_s << edited(good, [](QByteArray s) { return s.replace("update 10", "update 11"); })
        << makerKey << -1 << Status::BadGlobalSignature;
    QTest::newRow("legacy, trusted comment edited")
        << u"ko10.rar"_s
        << edited(file(u"legacy.minisig"_s), [](QByteArray s) { return s.replace("update 10", "update 11"); })
        << makerKey << -1 << Status::BadGlobalSignature;
    QTest::newRow("key malformed") << u"ko10.rar"_s << good
                                   << Make([](const QString &) { return QByteArray("RWQnot-a-key"); }) << -1
                                   << Status::KeyMalformed;
    QTest::newRow("key empty") << u"ko10.rar"_s << good << Make([](const QString &) { return QByteArray(); })
                               << -1 << Status::KeyMalformed;
}

void TestMinisign::verify()
{
    using Make = std::function<QByteArray(const QString &dir)>;
    QFETCH(QString, file);
    QFETCH(Make, signature);
    QFETCH(Make, key);
    QFETCH(int, changedByte);
    QFETCH(Status, status);

    const QByteArray signatureText = signature(m_dir.path());
    const QByteArray publicKey = key(m_dir.path());
    QString target = path(file);
    if (changedByte >= 0) {
        QByteArray bytes = readFile(target);
        bytes[changedByte] = char(bytes[changedByte] ^ 0x01);
        target = path(u"changed.rar"_s);
        QVERIFY(writeFile(target, bytes));
    }

    const Minisign::Result result = Minisign::verifyFile(target, signatureText, publicKey);
    QVERIFY2(result.status == status, qPrintable(u"%1: %2"_s.arg(int(result.status)).arg(result.detail)));
    QCOMPARE(result.detail.isEmpty(), status == Status::Verified);
    if (status == Status::Verified) {
        QCOMPARE(result.legacy,
            QTest::currentDataTag() == QByteArrayView("legacy")
                || QByteArrayView(QTest::currentDataTag()).endsWith("legacy"));
        const QByteArray comment = readFile(path(file + u".minisig"_s)).split('\n').at(2).mid(17);
        QCOMPARE(result.trustedComment, comment);
    }

    // minisign itself agrees (with a key file, since its -P wants the bare line).
    if (status == Status::KeyMalformed || signatureText.size() > Minisign::signatureFileCapacity)
        return;
    QVERIFY(writeFile(path(u"check.minisig"_s), signatureText));
    QVERIFY(writeFile(path(u"check.pub"_s),
        publicKey.contains('\n') ? publicKey : "untrusted comment: key\n" + publicKey + '\n'));
    QCOMPARE(m_minisign.run({u"-V"_s, u"-q"_s, u"-p"_s, path(u"check.pub"_s), u"-x"_s,
                 path(u"check.minisig"_s), u"-m"_s, target}),
        status == Status::Verified);
}

void TestMinisign::checkOffTheThread()
{
    const QByteArray key = readFile(path(u"maker.pub"_s));
    SignatureCheck check;
    QSignalSpy finished(&check, &SignatureCheck::finished);
    check.start(path(u"ko10.rar"_s), readFile(path(u"ko10.rar.minisig"_s)), key);
    // The answer arrives through the event loop, never inside start().
    QCOMPARE(finished.size(), 0);
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.size(), 1);
    QVERIFY(finished.at(0).at(0).value<Minisign::Result>().verified());
    QVERIFY(!check.isRunning());

    // A check replaced by another reports only the second; one cancelled reports nothing.
    check.start(path(u"ko10.rar"_s), readFile(path(u"other.minisig"_s)), key);
    check.start(path(u"ko10.rar"_s), readFile(path(u"ko10.rar.minisig"_s)), key);
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.size(), 2);
    QVERIFY(finished.at(1).at(0).value<Minisign::Result>().verified());
    check.start(path(u"ko10.rar"_s), readFile(path(u"ko10.rar.minisig"_s)), key);
    check.cancel();
    QVERIFY(!finished.wait(300));
    QCOMPARE(finished.size(), 2);
}

QTEST_GUILESS_MAIN(TestMinisign)
#include "tst_minisign.moc"
