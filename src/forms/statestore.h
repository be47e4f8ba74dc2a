#pragma once

#include <QByteArray>

class QWidget;

// Writes what the user entered in a dialog back into the saved values, option numbers and check
// sets, by each widget's class name and object name.
namespace StateStore {

void storeDialog(QWidget *dialog);
// Handles one widget; false when it is not one of the handled kinds (combo boxes are left to
// storeDialog). className and objectName are filled in every case (at most 99 characters).
bool storeWidget(QWidget *widget, QByteArray &className, QByteArray &objectName);

} // namespace StateStore
