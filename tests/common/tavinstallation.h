#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// A temporary host installation for running the built `tav` as the host does: the process starts
// in the installation's directory (every host path is relative to it) and the executable stays in
// TAV_BIN_DIR, where the build put the shipped catalog "tav.t" and the style sheet "tav.qss".
//
// A fresh installation already holds a "tavx.in" with the default option numbers, so that a run
// meets no "Cannot Open File" box; everything else a mode needs the test writes itself. A run that
// still meets a box on the default offscreen platform can never be answered: it ends at the
// time-out, which run() reports as not finished. Runs that must answer boxes use XvfbDisplay.
//
//     TavInstallation installation;
//     installation.writeFile("kora.ini", "...");
//     const TavRun run = installation.run({"F=Conf"});
//     QVERIFY2(run.finished, run.describe());
//     QCOMPARE(run.exitCode, 0);
//     QVERIFY(installation.log().contains("..."));
struct TavRun
{
    bool started = false;
    bool finished = false; // false: still running at the time-out and killed
    bool crashed = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    qint64 elapsedMs = 0;

    // For failure messages: "exit code 0 after 120 ms; stderr: ...".
    [[nodiscard]] QByteArray describe() const;
};

class TavInstallation final
{
public:
    // The "Ov" line of a settings file in which nothing was ever chosen.
    static const QByteArray defaultSettings;

    TavInstallation();

    [[nodiscard]] bool isValid() const { return m_dir.isValid(); }
    [[nodiscard]] QString path() const { return m_dir.path(); }
    [[nodiscard]] QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // The built executable and the directory that holds it.
    [[nodiscard]] static QString binDir();
    [[nodiscard]] static QString executable();
    // The program the runs start: the built executable unless a test installed one of its own.
    void setProgram(const QString &program) { m_program = program; }

    // Writes bytes as they stand, creating the directories on the way; false on failure.
    bool writeFile(const QString &name, const QByteArray &bytes) const;
    // A catalog of the installation's own: UTF-8 text written in code page 866 as "tav.t", which
    // the run then takes instead of the shipped one. False when the text has no 866 form.
    bool writeCatalog(const QString &text) const;
    bool writeSettings(const QByteArray &bytes) const { return writeFile(QStringLiteral("tavx.in"), bytes); }
    bool removeFile(const QString &name) const;
    [[nodiscard]] bool exists(const QString &name) const;
    // The file's bytes; a null array when it cannot be read.
    [[nodiscard]] QByteArray readFile(const QString &name) const;
    [[nodiscard]] QByteArray log() const { return readFile(QStringLiteral("taw.tax")); }
    [[nodiscard]] QByteArray settings() const { return readFile(QStringLiteral("tavx.in")); }

    // Environment of the runs: the test's own with QT_QPA_PLATFORM=offscreen and LeakSanitizer told
    // to ignore system libraries' leaks (common/lsan-suppressions.txt); change it to run on
    // another display (XvfbDisplay::environment()).
    void setEnvironment(const QProcessEnvironment &environment) { m_environment = environment; }
    [[nodiscard]] QProcessEnvironment environment() const { return m_environment; }

    // Runs `tav` with the arguments in the installation's directory and waits at most timeoutMs.
    // whileRunning is called every 50 ms until the process ends (answering boxes, for instance).
    [[nodiscard]] TavRun run(const QStringList &arguments, int timeoutMs = 30000,
        const std::function<void()> &whileRunning = {}) const;

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    QString m_program = executable();
};
