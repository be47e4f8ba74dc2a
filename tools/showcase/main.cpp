// Shows one window of the program on its own, the way `tav` would show it: the catalog, the
// settings and the style sheet are read first, from the same places. It exists for the pictures of
// the user's guide (scripts/screenshots), for windows that a run of `tav` cannot reach on a build
// machine: the portable-copy pages that need removable drives, and the calendar, which opens from
// a date field.
//
//   tav_showcase flash [ROOT...]        the portable-copy guide, with the directories as the
//                                       removable drives (none: page 0, one: page 1 or 2 by
//                                       whether it holds the data folder, several: page 3)
//   tav_showcase calendar dd.MM.yyyy    the calendar of a date field
//
// Ends when the window closes; exit code 2 on a wrong command line.
#include "modes/flash/tflash.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "widgets/dcald.h"

#include <QApplication>
#include <QDate>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

int usage()
{
    QTextStream(stderr) << "usage: tav_showcase flash [ROOT...]\n"
                           "       tav_showcase calendar dd.MM.yyyy\n";
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty())
        return usage();

    (void)CodePage::toUnicode("");
    Diagnostics::warnIfFailed(Catalog::load(u"tav.t"_s));
    Diagnostics::warnIfFailed(Settings::load(u"tavx.in"_s));
    Diagnostics::warnIfFailed(Settings::loadStyleSheet(u"tav.qss"_s));

    const QString &window = arguments.first();
    if (window == u"flash") {
        const QStringList roots = arguments.mid(1);
        TFlash flash([roots] { return roots; });
        flash.buildPages();
        flash.selectPage();
        flash.show();
        return application.exec();
    }
    if (window == u"calendar" && arguments.size() == 2) {
        const QDate date = QDate::fromString(arguments.at(1), u"dd.MM.yyyy"_s);
        if (!date.isValid())
            return usage();
        DCald calendar(date);
        return calendar.exec() == QDialog::Accepted ? 0 : 1;
    }
    return usage();
}
