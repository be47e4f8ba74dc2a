#pragma once

#include "platform/drives/removabledrives.h"

#include <QStackedWidget>
#include <QStringList>
#include <optional>

// The guide that prepares a removable drive for a portable installation: one page per situation
// the drive detection can find, chosen once at start.
class TFlash final : public QStackedWidget
{
    Q_OBJECT

public:
    // The folder a portable installation keeps its data in, in the drive's root.
    static constexpr auto dataFolder = "K10DBCNF";

    enum PageState : unsigned {
        NoDrive = 0,
        DriveWithFolder = 1,
        DriveWithoutFolder = 2,
        SeveralDrives = 3,
    };

    explicit TFlash(RemovableDrives::Source drives = RemovableDrives::systemSource());
    ~TFlash() override;

    // One page per non-empty piece of the catalog list "Flash", page i for state i.
    void buildPages();
    // Reads the removable drives again.
    void scanDrives();
    // Scans, decides the state and shows its page.
    void selectPage();

    [[nodiscard]] unsigned pageState() const { return m_pageState; }
    // Absent until the first scan.
    [[nodiscard]] const std::optional<QStringList> &driveList() const { return m_driveList; }

public slots:
    void Knop();

private:
    // The buttons of the pages: "UstF" looks for drives again, "CrFold" makes the data folder on
    // the one drive, "Per" ends with the last word about copying.
    void checkAgain();
    void createFolder();
    static void finishCopy();

    RemovableDrives::Source m_drives;
    unsigned m_pageState = NoDrive;
    std::optional<QStringList> m_driveList;
};
