#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The arguments the host starts the program with: "F=mode", "P=program" (bare arguments right
// after it are appended to the program line), "UF=update archive", "VER=version", and a first
// argument "-a" that forces the asteroid mode. Values live in buffers of fixed capacity and longer
// values are cut, because the host has always relied on that rather than on a refusal.
class CommandLine final
{
public:
    enum Mode { Unknown = -1, Asteroids = 0, Word = 1, Reconf = 2, Update = 3, Flash = 4 };

    static constexpr qsizetype argumentCapacity = 299;
    static constexpr qsizetype modeNameCapacity = 299;
    static constexpr qsizetype programLineCapacity = 399;
    static constexpr qsizetype updateFileCapacity = 19;
    static constexpr qsizetype versionCapacity = 9;

    // The arguments after the program name, as 8-bit text (code page 1251).
    explicit CommandLine(const QList<QByteArray> &arguments);

    [[nodiscard]] const QByteArray &modeName() const { return m_modeName; }
    [[nodiscard]] Mode mode() const { return m_mode; }
    // In the modes that start it afterwards, already reduced to the text after its last backslash.
    [[nodiscard]] const QByteArray &programLine() const { return m_programLine; }
    [[nodiscard]] const QByteArray &updateFile() const { return m_updateFile; }
    [[nodiscard]] const QByteArray &version() const { return m_version; }

    // Mode Word takes its file from the second argument, as it stands.
    [[nodiscard]] bool hasWordFile() const { return m_arguments.size() >= 2; }
    [[nodiscard]] QByteArray wordFile() const;

    // Modes with a window: the event loop runs, and the settings are saved afterwards.
    [[nodiscard]] bool runsEventLoop() const;
    // Modes Conf, Up and Flash start the program line afterwards, when it holds a non-blank.
    [[nodiscard]] bool startsProgram() const;

    // The position of a name in the mode table ("Ast", "Word", "Conf", "Up", "Flash"), exact and
    // case-sensitive; Unknown when absent.
    [[nodiscard]] static Mode modeNumber(QByteArrayView name);

private:
    void appendToProgramLine(QByteArrayView argument);

    QList<QByteArray> m_arguments;
    QByteArray m_modeName = "Up";
    QByteArray m_programLine = "kora10.exe";
    QByteArray m_updateFile;
    QByteArray m_version;
    Mode m_mode = Update;
};
