#pragma once

#include "modes/update/updateview.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

// An UpdateView for tests: keeps every log line as "colour: text" ("red: ...", "none: ..." when
// no colour was set), counts the clears and records each change of the busy state. window() is a
// plain widget to which a test adds the buttons it needs ("New", "ReBak").
class RecordingUpdateView final : public UpdateView
{
public:
    void logLine(QByteArrayView text, std::optional<Qt::GlobalColor> colour) override;
    void clearLog() override;
    void setBusy(bool busy) override { busyChanges << busy; }
    [[nodiscard]] QWidget *window() override { return &m_window; }

    QList<QByteArray> lines;
    int clears = 0;
    QList<bool> busyChanges;

private:
    QWidget m_window;
};
