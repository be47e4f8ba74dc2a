#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The group structure of a dialog description, worked out without making a single widget.
//
// A description is a tree of groups "(" item "+" item ... ")" followed by an optional kind letter
// ("H" horizontal, anything else vertical) and an optional frame suffix ("R" after the kind
// letter, up to the next "+" or blank, the part after its first "-" naming a titled group box).
// Groups are resolved innermost first: each resolved group is replaced in the working text by a
// reference item ("x-N" to plain layout N, "y-N" to group box N), which its enclosing group then
// holds like any other item. The groups come out in the order they are to be built; the last one
// is the outermost.
class LayoutDescription final
{
public:
    // The working text lives in a buffer of 2000 characters.
    static constexpr qsizetype maxTextLength = 1999;
    static constexpr int maxLayouts = 100;
    static constexpr int maxBoxes = 20;
    static constexpr qsizetype maxFrameSuffixLength = 39;

    enum class Direction { Vertical, Horizontal };

    struct Group
    {
        QList<QByteArray> items; // blanks around each item removed; empty items kept out
        Direction direction = Direction::Vertical;
        bool framed = false;
        QByteArray frameSuffix; // kind letter and "R" included, at most 39 characters
        QByteArray boxName; // frame suffix after its first '-'
        int number = 0; // among plain layouts, or among group boxes when framed
    };

    enum class ItemKind {
        Ignored, // no '-' and no leading digit, or nothing left after trimming
        Stretch, // leading digit: a stretch of that factor
        Button, // type beginning with 'B'
        EmptyList, // type exactly "L"
        TableView, // type exactly "TV"
        Table, // any other type beginning with 'T'
        Drives, // type exactly "HD"
        OkCancel, // type beginning with 'O'
        LayoutRef, // type beginning with 'x'
        BoxRef, // type beginning with 'y'
        Other, // handed to the form item builder
    };

    struct Item
    {
        ItemKind kind = ItemKind::Ignored;
        QByteArray type;
        QByteArray name;
        int number = 0; // stretch factor or referenced layout / box number
    };

    // A description without "(" parses to no groups and is well-formed.
    [[nodiscard]] static LayoutDescription parse(QByteArrayView text);
    // Splits an item (already trimmed) at its first '-' and sorts it into the kinds above.
    [[nodiscard]] static Item classify(QByteArrayView item);

    // False when a "(" has no ")" after it; the groups resolved before that are kept.
    [[nodiscard]] bool isBalanced() const { return m_balanced; }
    [[nodiscard]] const QList<Group> &groups() const { return m_groups; }
    // Groups left out because all 100 layouts or all 20 group boxes were taken.
    [[nodiscard]] int refusedGroups() const { return m_refused; }
    // The working text was longer than the buffer at some point and was cut.
    [[nodiscard]] bool wasCut() const { return m_cut; }
    [[nodiscard]] int layoutCount() const { return m_layouts; }
    [[nodiscard]] int boxCount() const { return m_boxes; }

private:
    LayoutDescription() = default;

    QList<Group> m_groups;
    bool m_balanced = true;
    bool m_cut = false;
    int m_refused = 0;
    int m_layouts = 0;
    int m_boxes = 0;
};
