#include "modes/flash/tflash.h"

#include "forms/layoutbuilder.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "toolkit/widgethelpers.h"
#include "toolkit/windowdecoration.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLayout>

using namespace Qt::StringLiterals;

TFlash::TFlash(RemovableDrives::Source drives)
    : m_drives(std::move(drives))
{
    decorateWindow(this, Catalog::displayText("mainFlash"),
        WindowDecoration::Window | WindowDecoration::Icon | WindowDecoration::DialogFrame);
}

TFlash::~TFlash() = default;

void TFlash::buildPages()
{
    const StringList pages = Catalog::list("Flash");
    for (const QByteArray &key : pages) {
        auto *page = new QWidget;
        addWidget(page);
        if (QLayout *layout = LayoutBuilder::buildLayout(key, this))
            page->setLayout(layout);
    }
}

void TFlash::scanDrives()
{
    m_driveList = m_drives ? m_drives() : QStringList();
}

void TFlash::selectPage()
{
    scanDrives();
    const QStringList &drives = *m_driveList;
    if (drives.isEmpty()) {
        m_pageState = NoDrive;
    } else if (drives.size() == 1) {
        const QString path = RemovableDrives::pathInRoot(drives.first(), QLatin1String(dataFolder));
        qDebug() << path << QDir(path);
        m_pageState = QFileInfo(path).isDir() ? DriveWithFolder : DriveWithoutFolder;
    } else {
        m_pageState = SeveralDrives;
    }
    // A catalog with fewer pages than states leaves the stack where it is.
    if (int(m_pageState) < count())
        setCurrentIndex(int(m_pageState));
    focusFirstField(currentWidget());
}

void TFlash::Knop()
{
    WidgetHelpers::dispatchButton(sender(),
        {
            {"Can", [] { QCoreApplication::quit(); }},
            {"xCan", [] { QCoreApplication::quit(); }},
            {"UstF", [this] { checkAgain(); }},
            {"CrFold", [this] { createFolder(); }},
            {"Per", [] { finishCopy(); }},
        });
}

void TFlash::checkAgain()
{
    // The page stays: what the user reads still fits, and the fresh list serves "CrFold".
    if (m_pageState == NoDrive)
        scanDrives();
}

void TFlash::createFolder()
{
    if (!m_driveList || m_driveList->size() != 1)
        return;
    const QString path = RemovableDrives::pathInRoot(m_driveList->first(), QLatin1String(dataFolder));
    // A folder that is already there is what the user asked for; only a folder that could not be
    // made (write-protected or pulled drive) is worth a word.
    if (!QDir().mkdir(path) && !QFileInfo(path).isDir())
        Diagnostics::warningf("%s %s", Catalog::text("NoCrFold").value_or("NoCrFold").constData(),
            CodePage::fromUnicode(QDir::toNativeSeparators(path)).constData());
}

void TFlash::finishCopy()
{
    Diagnostics::warning("DanPer");
    QCoreApplication::quit();
}
