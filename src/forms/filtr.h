#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// Double-clicking a path line edit opens a file dialog and puts the choice into the edit. The
// filter is owned by the line edit it watches; the edit carries the chooser mode.
class Filtr final : public QObject
{
public:
    // What a double click chooses. Kept in the edit's dynamic property "m" (1, 2, 3), where the
    // dialogs' descriptions have always put it; anything else there counts as None.
    enum class Mode { None = 0, Directory = 1, File = 2, Files = 3 };

    // The three dialogs a double click may open, each given the caption; a cancelled dialog
    // answers with an empty result. Tests install their own so that no dialog waits for a user.
    struct Chooser
    {
        std::function<QString(const QString &caption)> directory;
        std::function<QString(const QString &caption)> openFile;
        std::function<QStringList(const QString &caption)> openFiles;
    };

    explicit Filtr(QObject *parent = nullptr);

    static void setMode(QObject *edit, Mode mode);
    [[nodiscard]] static Mode mode(const QObject *edit);

    // Members left empty fall back to the standard file dialogs; Chooser{} restores all of them.
    static void setChooser(Chooser chooser);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
