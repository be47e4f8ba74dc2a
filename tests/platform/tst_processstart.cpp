#include "platform/processstart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestProcessStart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resolve_data();
    void resolve();
    void startsTheProgramLineWithItsArguments();
    void cyrillicNameInCodePage1251();
    void nothingToStart();

private:
    // A shell script that writes its arguments into `output` in the current directory.
    static bool writeScript(const QString &name, const QString &output);
    static QByteArray waitForFile(const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestProcessStart::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void TestProcessStart::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

bool TestProcessStart::writeScript(const QString &name, const QString &output)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\necho \"$@\" > \"" + output.toUtf8() + ".tmp\"\nmv \"" + output.toUtf8()
        + ".tmp\" \"" + output.toUtf8() + "\"\n");
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QByteArray TestProcessStart::waitForFile(const QString &name)
{
    QFile file(name);
    for (int i = 0; i < 100 && !file.exists(); ++i)
        QThread::msleep(50);
    if (!file.open(QIODevice::ReadOnly))
        return "<not started>";
    return file.readAll();
}

void TestProcessStart::resolve_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("localProgram");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("bare name in the current directory first")
        << QStringLiteral("prog -x") << true << QStringLiteral("prog") << QStringList{QStringLiteral("-x")};
    QTest::newRow("bare name elsewhere left to the search path")
        << QStringLiteral("sh -c true") << false << QStringLiteral("sh")
        << QStringList{QStringLiteral("-c"), QStringLiteral("true")};
    QTest::newRow("name with a directory as it stands") << QStringLiteral(
        "./prog a") << false << QStringLiteral("./prog") << QStringList{QStringLiteral("a")};
    QTest::newRow("quoted argument") << QStringLiteral("prog \"a b\" c") << true << QStringLiteral("prog")
                                     << QStringList{QStringLiteral("a b"), QStringLiteral("c")};
    QTest::newRow("blank line") << QStringLiteral("   ") << false << QString() << QStringList{};
}

void TestProcessStart::resolve()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, localProgram);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QVERIFY(writeScript(QStringLiteral("prog"), QStringLiteral("out")));
    const ProcessStart::Command command = ProcessStart::resolve(commandLine);
    QCOMPARE(command.program, localProgram ? QDir::current().absoluteFilePath(program) : program);
    QCOMPARE(command.arguments, arguments);
}

void TestProcessStart::startsTheProgramLineWithItsArguments()
{
    QVERIFY(writeScript(QStringLiteral("kora10.exe"), QStringLiteral("started")));
    QVERIFY(ProcessStart::startDetached(QByteArray("kora10.exe -x D:")));
    QCOMPARE(waitForFile(QStringLiteral("started")), QByteArray("-x D:\n"));
}

void TestProcessStart::cyrillicNameInCodePage1251()
{
    // "Кора" in code page 1251; read as Latin-1 it would name another file.
    const QString name = QString::fromUtf8("Кора");
    QVERIFY(writeScript(name, QStringLiteral("started")));
    QVERIFY(ProcessStart::startDetached(QByteArray("\xCA\xEE\xF0\xE0 1")));
    QCOMPARE(waitForFile(QStringLiteral("started")), QByteArray("1\n"));
}

void TestProcessStart::nothingToStart()
{
    QVERIFY(!ProcessStart::startDetached(QByteArray("  ")));
    QVERIFY(!ProcessStart::startDetached(QByteArray("no-such-program-here")));
}

QTEST_GUILESS_MAIN(TestProcessStart)
#include "tst_processstart.moc"
