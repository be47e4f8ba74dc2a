#pragma once

#include <QDialog>

// The reconfiguration dialog of run mode "Conf", built from the catalog description "Recf": the
// other installation's directory "Dir1002" and the check boxes of the kinds of data to take over.
class ReConf final : public QDialog
{
    Q_OBJECT

public:
    // Decorated, with the option numbers 2 to 8 switched on and the layout installed; not shown.
    ReConf();

private slots:
    // Every button of the description: the dialog's state is stored first, so that "Ok" works
    // on what the user sees. The dialog stays open.
    void Knop();
};
