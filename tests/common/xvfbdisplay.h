#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QString>
#include <QStringList>

// A private X display (Xvfb on a free display number, checked to answer before it is handed out)
// for end-to-end runs that must meet real message boxes, and xdotool to answer them as a user
// would. Tests QSKIP when isValid() is false
// (Xvfb or xdotool missing).
//
//     XvfbDisplay display;
//     if (!display.isValid()) QSKIP("no Xvfb/xdotool");
//     installation.setEnvironment(display.environment());
//     QStringList answered;
//     const TavRun run = installation.run({"F=none"}, 30000,
//                                         [&] { display.answerBoxes({"*** Warring"}, answered); });
class XvfbDisplay final
{
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay &) = delete;
    XvfbDisplay &operator=(const XvfbDisplay &) = delete;

    [[nodiscard]] bool isValid() const { return !m_display.isEmpty(); }
    // ":N"
    [[nodiscard]] QString display() const { return m_display; }
    // The base environment with DISPLAY set and QT_QPA_PLATFORM=xcb.
    [[nodiscard]] QProcessEnvironment environment(
        QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Presses Return in each visible window whose title is exactly one of `titles`; the title of
    // each window met for the first time is appended to `answered`. Returns how many were new.
    int answerBoxes(const QStringList &titles, QStringList &answered);
    // The xdotool search pattern (POSIX extended expression) that matches exactly this title.
    [[nodiscard]] static QString exactTitlePattern(const QString &title);
    // Whether a visible window's title matches the pattern (see exactTitlePattern).
    [[nodiscard]] bool isVisible(const QString &titlePattern) const;
    // Focuses the first visible window whose title matches and runs the xdotool command on it
    // ("key", "Tab" / "type", "1234"): keys go through XTEST to the focused window, as a user's
    // would, since Qt ignores sent key events.
    void typeInto(const QString &titlePattern, const QStringList &command) const;
    // Runs xdotool with the arguments on this display; its standard output.
    QByteArray xdotool(const QStringList &arguments) const;

private:
    bool startServer();
    void stopServer();

    QProcess m_server;
    QString m_display;
    QSet<QByteArray> m_answered;
};
