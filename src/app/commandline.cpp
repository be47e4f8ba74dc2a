#include "app/commandline.h"

#include "support/strings.h"

#include <array>

namespace {

constexpr std::array<const char *, 5> modeTable = {"Ast", "Word", "Conf", "Up", "Flash"};

} // namespace

CommandLine::CommandLine(const QList<QByteArray> &arguments)
    : m_arguments(arguments)
{
    bool appending = false;
    for (const QByteArray &argument : arguments) {
        QByteArray scratch = Strings::boundedCopy(argument, argumentCapacity);
        const std::optional<QByteArray> value = Strings::splitNameValue(scratch);
        if (!value) {
            if (appending)
                appendToProgramLine(scratch);
            continue;
        }
        const QByteArray &key = scratch;
        appending = false;
        if (key == "F") {
            m_modeName = Strings::boundedCopy(*value, modeNameCapacity);
        } else if (key == "P") {
            m_programLine = Strings::boundedCopy(*value, programLineCapacity);
            appending = true;
        } else if (key == "UF") {
            m_updateFile = Strings::boundedCopy(*value, updateFileCapacity);
        } else if (key == "VER") {
            m_version = Strings::boundedCopy(*value, versionCapacity);
        }
    }

    if (!arguments.isEmpty() && arguments.first() == "-a")
        m_modeName = "Ast";
    m_mode = modeNumber(m_modeName);

    // A program given with a directory is started by its bare name, relative to the current
    // directory; the search covers the appended arguments too.
    if (m_mode == Reconf || m_mode == Update || m_mode == Flash) {
        const qsizetype backslash = m_programLine.lastIndexOf('\\');
        if (backslash >= 0)
            m_programLine.remove(0, backslash + 1);
    }
}

void CommandLine::appendToProgramLine(QByteArrayView argument)
{
    // What does not fit into the program line is cut.
    QByteArray piece = " " + Strings::trimmedRight(argument);
    m_programLine
        += QByteArrayView(piece).first(std::min(piece.size(), programLineCapacity - m_programLine.size()));
}

QByteArray CommandLine::wordFile() const
{
    return hasWordFile() ? m_arguments.at(1) : QByteArray();
}

bool CommandLine::runsEventLoop() const
{
    return m_mode == Asteroids || m_mode == Reconf || m_mode == Update || m_mode == Flash;
}

bool CommandLine::startsProgram() const
{
    return (m_mode == Reconf || m_mode == Update || m_mode == Flash)
        && Strings::firstNonBlank(m_programLine) != 0;
}

CommandLine::Mode CommandLine::modeNumber(QByteArrayView name)
{
    for (size_t i = 0; i < modeTable.size(); ++i) {
        if (name == QByteArrayView(modeTable[i]))
            return Mode(i);
    }
    return Unknown;
}
