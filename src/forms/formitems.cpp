#include "forms/formitems.h"

#include "forms/choicegroups.h"
#include "forms/filtr.h"
#include "forms/formfields.h"
#include "shell/catalog.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/filelookup.h"
#include "support/stringlist.h"
#include "toolkit/widgethelpers.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

using FormFields::itemText;
using FormFields::Placement;

namespace {

void buildHelpText(QByteArrayView name, QBoxLayout *layout)
{
    auto *label = new QLabel(WidgetHelpers::readTextSection(itemText(name)));
    label->setOpenExternalLinks(true);
    label->setObjectName(WidgetHelpers::objectNameOf(name));
    WidgetHelpers::applyFormFont(label);
    label->setWordWrap(true);
    label->setMargin(10);
    label->setScaledContents(true);
    if (layout)
        layout->addWidget(label);
}

void buildPicture(QByteArrayView name, QBoxLayout *layout)
{
    QPixmap pixmap;
    for (const QString &place : FileLookup::candidates(CodePage::toUnicode(name))) {
        if (pixmap.load(place))
            break;
    }
    if (pixmap.isNull())
        return;
    auto *label = new QLabel;
    label->setPixmap(pixmap);
    const qsizetype dot = name.indexOf('.');
    label->setObjectName(WidgetHelpers::objectNameOf(dot < 0 ? name : name.first(dot)));
    if (layout)
        layout->addWidget(label);
}

void buildRememberedCombo(QByteArrayView name, QBoxLayout *layout)
{
    const StringList pieces = Catalog::list(name);
    QByteArray caption;
    int slot = -1;
    if (!pieces.isEmpty()) {
        caption = ChoiceGroups::pieceText(pieces.at(0));
        slot = ChoiceGroups::pieceNumber(pieces.at(0));
    }
    QComboBox *combo
        = FormFields::makeCaptionedComboBox(CodePage::toUnicode(caption), name, layout, Placement::Above);
    for (int i = 1; i < pieces.count(); ++i)
        combo->addItem(CodePage::toUnicode(pieces.at(i)));
    if (slot >= 0 && slot < Settings::optionCount)
        combo->setCurrentIndex(Settings::options()[slot]);
}

void buildLineEdit(QByteArrayView type, QByteArrayView name, QBoxLayout *layout)
{
    // The letters are tested in this order, so "EMF" chooses one file.
    Filtr::Mode mode = Filtr::Mode::None;
    if (type.contains('D'))
        mode = Filtr::Mode::Directory;
    else if (type.contains('F'))
        mode = Filtr::Mode::File;
    else if (type.contains('M'))
        mode = Filtr::Mode::Files;

    QLabel *caption = FormFields::makeCaption(name, true);
    QLineEdit *edit = FormFields::makeLineEdit(name);
    edit->setDragEnabled(true);
    if (mode != Filtr::Mode::None) {
        edit->installEventFilter(new Filtr(edit));
        Filtr::setMode(edit, mode);
    }
    if (const auto value = Settings::value(name))
        edit->setText(CodePage::toUnicode(*value));
    FormFields::makeCaptionPair(caption, edit, layout, FormFields::placementOf(type));
}

} // namespace

void FormItems::buildItem(QByteArrayView type, QByteArrayView name, QBoxLayout *layout, QWidget *owner)
{
    if (type.isEmpty())
        return;
    const char first = type[0];
    if (type == "AH")
        buildHelpText(name, layout);
    else if (first == 'A')
        FormFields::makeLabel(name, layout, type);
    else if (first == 'C')
        ChoiceGroups::buildCheckBoxGroup(name, layout);
    else if (type == "DT")
        FormFields::makeDateTimeEdit(name, layout);
    else if (first == 'D')
        FormFields::makeDateWidget(name, layout);
    else if (type == "Tm")
        FormFields::makeTimeEdit(name, layout);
    else if (first == 'R')
        ChoiceGroups::buildRadioGroup(type, name, layout);
    else if (first == 'S')
        FormFields::makeSpinBox(type, name, layout);
    else if (first == 'F')
        ChoiceGroups::buildFormRows(name, layout, owner);
    else if (type == "IM")
        buildPicture(name, layout);
    else if (type == "HT")
        buildRememberedCombo(name, layout);
    else if (first == 'H')
        FormFields::makeCaptionedComboBox(
            CodePage::toUnicode(itemText(name)), name, layout, Placement::Beside);
    else if (first == 'E')
        buildLineEdit(type, name, layout);
    else if (type == "LF")
        ChoiceGroups::buildFileList(name, layout);
    else if (type == "LK")
        ChoiceGroups::buildCatalogList(name, layout);
    else if (first == 'L')
        ChoiceGroups::buildEmptyList(name, layout);
    else if (first == 'M')
        ChoiceGroups::buildCheckList(name, layout);
}
