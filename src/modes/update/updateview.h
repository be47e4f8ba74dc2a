#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

class QWidget;

// What the steps of an update (installation, restore, history, check) need of the updater dialog:
// its log view, and the window that parents their boxes and holds the buttons "New" and "ReBak".
// TUp implements it; tests implement it with a recorder.
class UpdateView
{
public:
    virtual ~UpdateView() = default;

    // Appends the text (code page 1251) to the log view as a new paragraph in the colour given;
    // without a colour the paragraph keeps the colour of the one before.
    virtual void logLine(QByteArrayView text, std::optional<Qt::GlobalColor> colour) = 0;
    virtual void clearLog() = 0;
    // While busy (the archiver runs) the window keeps painting and shows that it works, but takes
    // no input.
    virtual void setBusy(bool busy) = 0;
    [[nodiscard]] virtual QWidget *window() = 0;
};
