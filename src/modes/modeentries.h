#pragma once

#include <QByteArray>
#include <memory>

class QWidget;

// The entries of the run modes, called by the entry point. A window entry builds and shows its
// window and hands it to the entry point, which keeps it until the event loop has ended; an entry
// whose mode has no window in this build returns null and the run ends with exit code 0.
// Windows handed back must not delete themselves on close.
namespace Modes {

[[nodiscard]] std::unique_ptr<QWidget> startAsteroidDialog();
void exportToWord(const QByteArray &path);
[[nodiscard]] std::unique_ptr<QWidget> startReconfDialog();
[[nodiscard]] std::unique_ptr<QWidget> startUpdaterDialog(
    const QByteArray &updateFile, const QByteArray &version, const QByteArray &programLine);
[[nodiscard]] std::unique_ptr<QWidget> startFlash();

} // namespace Modes
