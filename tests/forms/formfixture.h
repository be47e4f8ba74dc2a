#pragma once

// Shared by the form and layout tests: a catalog written from Unicode text in the code page the
// program reads, and a clean slate of process-wide tables before each test.

#include "forms/checksets.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"

#include <QBoxLayout>
#include <QFile>
#include <QLayout>
#include <QString>
#include <QWidget>

namespace FormFixture {

inline bool writeCatalog(const QString &path, const QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(CodePage::unicodeToCp866(text));
    return true;
}

// Forgets every table, then loads the catalog text (lines "key text").
inline bool resetWithCatalog(const QString &directory, const QString &text)
{
    Catalog::clear();
    Settings::reset();
    CheckSets::reset();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    const QString path = directory + QStringLiteral("/test.t");
    if (!writeCatalog(path, text))
        return false;
    Catalog::load(path);
    return Catalog::isLoaded();
}

// The box layout that directly holds the widget, searched below root.
inline QBoxLayout *boxHolding(QLayout *root, QWidget *widget)
{
    if (!root)
        return nullptr;
    if (root->indexOf(widget) >= 0)
        return qobject_cast<QBoxLayout *>(root);
    for (int i = 0; i < root->count(); ++i) {
        if (QBoxLayout *found = boxHolding(root->itemAt(i)->layout(), widget))
            return found;
    }
    return nullptr;
}

} // namespace FormFixture
