#pragma once

#include "support/stringlist.h"

#include <QByteArrayView>

class QBoxLayout;
class QListWidget;
class QWidget;

// The items that hold several values or rows: radio groups ("R" + NAME, buttons "r1", "r2", ...),
// check-box groups ("C" + NAME, boxes "c1", "c2", ...), lists (empty, from the catalog, from a
// file, with check marks) and form rows. Piece 0 of a group's list is its title; a piece's
// number, the atoi of what follows its first '[', is an option slot or an item type.
namespace ChoiceGroups {

// A check list built here carries this dynamic property, so that the state store knows it
// whatever its name.
inline constexpr char checkListProperty[] = "checkList";

// Object name NAME and the form font; not added anywhere.
QListWidget *makeEmptyList(QByteArrayView name);
// Appends one item per piece (text before '[', item type its number), sizes the list to its
// texts and makes row 0 current.
void fillList(QListWidget *list, const StringList &pieces);

void buildRadioGroup(QByteArrayView type, QByteArrayView name, QBoxLayout *layout);
void buildCheckBoxGroup(QByteArrayView name, QBoxLayout *layout);
void buildCatalogList(QByteArrayView name, QBoxLayout *layout);
// NAME is "listName-path".
void buildFileList(QByteArrayView name, QBoxLayout *layout);
void buildEmptyList(QByteArrayView name, QBoxLayout *layout);
// NAME is "list" (marks in the saved value NAME) or "list_N" (marks in check set N).
void buildCheckList(QByteArrayView name, QBoxLayout *layout);
// Buttons of the rows are connected to the owner's Knop() slot.
void buildFormRows(QByteArrayView name, QBoxLayout *layout, QWidget *owner);

// The atoi of the text after the first '[' of a piece, 0 without '['.
[[nodiscard]] int pieceNumber(QByteArrayView piece);
// The text of a piece before its first '['.
[[nodiscard]] QByteArray pieceText(QByteArrayView piece);

} // namespace ChoiceGroups
