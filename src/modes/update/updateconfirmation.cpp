#include "modes/update/updateconfirmation.h"

#include "forms/formfields.h"
#include "shell/catalog.h"
#include "support/codepage.h"
#include "toolkit/widgethelpers.h"
#include "toolkit/windowdecoration.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScrollArea>

UpdateConfirmation::UpdateConfirmation(const QString &readmePath, QWidget *parent)
    : QDialog(parent)
{
    decorateWindow(
        this, Catalog::displayText("Naydeno"), WindowDecoration::Icon | WindowDecoration::DialogFrame);
    auto *layout = new QBoxLayout(QBoxLayout::TopToBottom, this);

    QLabel *found = FormFields::makeLabel("Naydeno", layout);
    found->setAlignment(Qt::AlignHCenter);
    WidgetHelpers::setBackgroundColour(found, QColor(255, 255, 100));

    m_readme = new QLabel(WidgetHelpers::readTextSection(CodePage::fromUnicode(readmePath)));
    m_readme->setObjectName(QStringLiteral("readme"));
    m_readme->setOpenExternalLinks(true);
    // A long readme scrolls, so that the buttons below it stay on the screen.
    auto *scroll = new QScrollArea;
    scroll->setWidget(m_readme);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->viewport()->setAutoFillBackground(false);
    m_readme->setAutoFillBackground(false);
    const QRect screen = WidgetHelpers::screenSize();
    scroll->setMinimumSize(qMin(m_readme->sizeHint().width() + 20, screen.width() * 2 / 3),
        qMin(m_readme->sizeHint().height() + 4, screen.height() / 2));
    layout->addWidget(scroll, 1);

    FormFields::makeOkCancelRow(this, layout, "Obn", "Can");
    WidgetHelpers::setBackgroundColour(this, QColor(200, 255, 200));
}
