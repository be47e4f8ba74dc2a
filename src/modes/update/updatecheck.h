#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// What an update brings: the archive's name, the update directory "UP00" it is unpacked into,
// and the choice of the unpacked files that are newer than the installed ones. Every path is
// relative to the current directory, the host installation. Text is code page 1251.
//
// An unpacked file is newer when its modification time lies more than an hour after the installed
// file's (so that archives packed in another time zone or copied by tools that round times do not
// bring back what is installed), or when nothing of that name is installed. A newer file whose
// name begins with "towns." or "stars." brings its whole group along: those files only work
// together.
namespace UpdateCheck {

inline constexpr qsizetype nameCapacity = 19;
inline constexpr qint64 toleranceSeconds = 3600;

// The "UF" value when it contains "rar" (cut to 19 characters), else "ko<UF>.rar".
[[nodiscard]] QByteArray archiveName(QByteArrayView updateFile);

// False for a name that could lead out of "UP00" (or, on the site, out of "/UPDATE"): one with a
// "/", a "\", a ":" (a drive or a stream on Windows) or "..".
[[nodiscard]] bool isPlainFileName(QByteArrayView name);

// "UP00", and the path of a name inside it with the platform's separator.
[[nodiscard]] QString directory();
[[nodiscard]] QString pathInside(QByteArrayView name);

// Creates "UP00" when missing and deletes what the last update left there: its files, and the
// files directly inside its subdirectories (deeper levels and the directories themselves stay).
// Links are removed as links; nothing outside "UP00" is touched. The files of "UP00" named in
// keep stay (a download to be continued). False with the reason when "UP00" cannot be made or
// something stays behind.
bool emptyDirectory(QString *reason = nullptr, const QStringList &keep = {});

// The unpacked files: those of "UP00" in listing order, without the archive (its lower-case name)
// and the control files "list.ctl", "lk.ctl" and "readme"; then "sub/file" for the files of each
// subdirectory, one level deep. A file or subdirectory whose name is not UTF-8 on disk, or holds a
// character that code page 1251 lacks, is no candidate: it goes into unusable, its other bytes
// written as \xNN ("sub/" for a subdirectory).
[[nodiscard]] QList<QByteArray> candidates(QByteArrayView archiveName, QList<QByteArray> *unusable = nullptr);

enum GroupFlag : quint8 { Towns = 0x01, Stars = 0x02 };

struct Selection
{
    QList<QByteArray> selected; // in install order
    quint8 groupFlags = 0;
    // Candidates beginning with '#': notes for the update log, not files.
    QList<QByteArray> notes;
};

// The candidates to install: the newer ones, in candidate order.
[[nodiscard]] Selection select(const QList<QByteArray> &candidates);
// Appends the rest of each group that has a newer member, "towns." before "stars.", in candidate
// order; the flags are cleared.
void completeGroups(Selection &selection, const QList<QByteArray> &candidates);

} // namespace UpdateCheck
