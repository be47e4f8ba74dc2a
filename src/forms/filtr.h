#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// Double-clicking a path line edit opens a file dialog and puts the choice into the edit. The
// chooser mode is the edit's dynamic property "m": 1 a directory, 2 one file, 3 several files.
// The filter is owned by the line edit it watches.
class Filtr final : public QObject
{
public:
    // The three dialogs a double click may open, each given the caption; a cancelled dialog
    // answers with an empty result. Tests install their own so that no dialog waits for a user.
    struct Chooser
    {
        std::function<QString(const QString &caption)> directory;
        std::function<QString(const QString &caption)> openFile;
        std::function<QStringList(const QString &caption)> openFiles;
    };

    explicit Filtr(QObject *parent = nullptr);

    // Members left empty fall back to the standard file dialogs; Chooser{} restores all of them.
    static void setChooser(Chooser chooser);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
