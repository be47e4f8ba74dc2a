#include "forms/layoutbuilder.h"

#include "forms/choicegroups.h"
#include "forms/formfields.h"
#include "forms/formitems.h"
#include "forms/layoutdescription.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "toolkit/widgethelpers.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <memory>
#include <vector>

namespace {

using Kind = LayoutDescription::ItemKind;

// What has been built so far; each layout and group box is placed at most once.
struct Built
{
    std::vector<QBoxLayout *> layouts;
    std::vector<QGroupBox *> boxes;
    std::vector<bool> layoutPlaced;
    std::vector<bool> boxPlaced;
};

void buildItem(const QByteArray &text, QBoxLayout *layout, QWidget *dialog, Built &built)
{
    const LayoutDescription::Item item = LayoutDescription::classify(text);
    switch (item.kind) {
    case Kind::Ignored:
        break;
    case Kind::Stretch:
        layout->addStretch(item.number);
        break;
    case Kind::Button:
        FormFields::connectToKnop(WidgetHelpers::makePushButton(item.name, layout), dialog);
        break;
    case Kind::EmptyList:
        layout->addWidget(ChoiceGroups::makeEmptyList(item.name));
        break;
    case Kind::TableView: {
        auto *table = new QTableView;
        table->setObjectName(WidgetHelpers::objectNameOf(item.name));
        layout->addWidget(table);
        break;
    }
    case Kind::Table: {
        auto *table = new QTableWidget;
        table->setObjectName(WidgetHelpers::objectNameOf(item.name));
        layout->addWidget(table);
        break;
    }
    case Kind::Drives: {
        const QString caption = CodePage::toUnicode(Catalog::text(item.name).value_or(QByteArray()));
        QComboBox *combo
            = FormFields::makeCaptionedComboBox(caption, item.name, layout, FormFields::Placement::Beside);
        for (const QFileInfo &drive : QDir::drives())
            combo->addItem(drive.filePath());
        break;
    }
    case Kind::OkCancel:
        FormFields::makeOkCancelRow(qobject_cast<QDialog *>(dialog), layout, "Ok", "Can");
        break;
    case Kind::LayoutRef: {
        const auto n = static_cast<std::size_t>(item.number);
        if (item.number >= 0 && n < built.layouts.size() && !built.layoutPlaced[n]) {
            layout->addLayout(built.layouts[n]);
            built.layoutPlaced[n] = true;
        }
        break;
    }
    case Kind::BoxRef: {
        const auto n = static_cast<std::size_t>(item.number);
        if (item.number >= 0 && n < built.boxes.size() && !built.boxPlaced[n]) {
            layout->addWidget(built.boxes[n]);
            built.boxPlaced[n] = true;
        }
        break;
    }
    case Kind::Other:
        FormItems::buildItem(item.type, item.name, layout, dialog);
        break;
    }
}

} // namespace

QLayout *LayoutBuilder::buildLayout(QByteArrayView dialogKey, QWidget *dialog)
{
    const QByteArray text = Catalog::expanded(dialogKey, LayoutDescription::maxTextLength);
    const LayoutDescription description = LayoutDescription::parse(text);
    if (!description.isBalanced())
        Diagnostics::error("NeTak");
    if (description.wasCut() || description.refusedGroups() > 0) {
        Diagnostics::log("Layout %s: description cut to %d characters, %d groups over the limits left out",
            dialogKey.toByteArray().constData(), int(LayoutDescription::maxTextLength),
            description.refusedGroups());
    }
    if (description.groups().isEmpty())
        return nullptr;

    Built built;
    QBoxLayout *last = nullptr;
    QGroupBox *lastBox = nullptr;
    for (const LayoutDescription::Group &group : description.groups()) {
        auto *layout = new QBoxLayout(group.direction == LayoutDescription::Direction::Horizontal
                ? QBoxLayout::LeftToRight
                : QBoxLayout::TopToBottom);
        for (const QByteArray &item : group.items)
            buildItem(item, layout, dialog, built);
        last = layout;
        lastBox = nullptr;
        if (group.framed) {
            auto *box = new QGroupBox(Catalog::displayText(group.boxName));
            box->setLayout(layout);
            box->setObjectName(WidgetHelpers::objectNameOf(group.boxName));
            built.boxes.push_back(box);
            built.boxPlaced.push_back(false);
            lastBox = box;
        } else {
            built.layouts.push_back(layout);
            built.layoutPlaced.push_back(false);
        }
    }

    // The outermost group may itself be framed: its layout belongs to the group box, so the
    // caller gets a layout holding that box.
    QBoxLayout *result = last;
    if (lastBox) {
        result = new QBoxLayout(QBoxLayout::TopToBottom);
        result->addWidget(lastBox);
        built.boxPlaced.back() = true;
    } else {
        built.layoutPlaced.back() = true;
    }

    // Groups that no other group refers to (several outermost groups) would be left without an
    // owner; they go with a scratch widget.
    auto scratch = std::make_unique<QWidget>();
    auto *scrap = new QVBoxLayout(scratch.get());
    for (std::size_t i = 0; i < built.layouts.size(); ++i) {
        if (!built.layoutPlaced[i])
            scrap->addLayout(built.layouts[i]);
    }
    for (std::size_t i = 0; i < built.boxes.size(); ++i) {
        if (!built.boxPlaced[i])
            scrap->addWidget(built.boxes[i]);
    }
    return result;
}
