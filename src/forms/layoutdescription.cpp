#include "forms/layoutdescription.h"

#include "support/strings.h"

namespace {

QByteArray trimmedBlanks(QByteArrayView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == ' ')
        ++begin;
    while (end > begin && s[end - 1] == ' ')
        --end;
    return s.sliced(begin, end - begin).toByteArray();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A frame suffix runs to the next '+' or blank. It also stops at a parenthesis: a suffix that
// swallowed the ")" of its enclosing group would unbalance a description that is otherwise sound.
bool endsFrameSuffix(char c)
{
    return c == '+' || c == ' ' || c == ')' || c == '(';
}

} // namespace

LayoutDescription LayoutDescription::parse(QByteArrayView input)
{
    LayoutDescription result;
    QByteArray text = input.first(qMin(input.size(), maxTextLength)).toByteArray();
    if (text.size() < input.size())
        result.m_cut = true;

    // Each round removes one '(' and adds none, so the loop ends.
    for (;;) {
        qsizetype open = text.indexOf('(');
        if (open < 0)
            break;
        qsizetype close = -1;
        for (qsizetype i = open + 1; i < text.size(); ++i) {
            if (text[i] == '(') {
                open = i;
            } else if (text[i] == ')') {
                close = i;
                break;
            }
        }
        if (close < 0) {
            result.m_balanced = false;
            break;
        }

        Group group;
        qsizetype rest = close + 1;
        if (rest < text.size() && text[rest] != '+' && text[rest] != ')') {
            const qsizetype kind = rest;
            group.direction = text[kind] == 'H' ? Direction::Horizontal : Direction::Vertical;
            rest = kind + 1;
            if (kind + 1 < text.size() && text[kind + 1] == 'R') {
                qsizetype end = kind + 1;
                while (end < text.size() && !endsFrameSuffix(text[end]))
                    ++end;
                group.framed = true;
                group.frameSuffix = text.mid(kind, qMin(end - kind, maxFrameSuffixLength));
                const qsizetype dash = group.frameSuffix.indexOf('-');
                if (dash >= 0)
                    group.boxName = group.frameSuffix.mid(dash + 1);
                rest = end;
            }
        }

        const QByteArrayView content = QByteArrayView(text).sliced(open + 1, close - open - 1);
        qsizetype start = 0;
        while (start <= content.size()) {
            qsizetype plus = content.indexOf('+', start);
            if (plus < 0)
                plus = content.size();
            QByteArray item = trimmedBlanks(content.sliced(start, plus - start));
            if (!item.isEmpty())
                group.items.append(item);
            start = plus + 1;
        }

        QByteArray reference;
        if (group.framed ? result.m_boxes < maxBoxes : result.m_layouts < maxLayouts) {
            if (group.framed) {
                group.number = result.m_boxes++;
                reference = "y-" + QByteArray::number(group.number);
            } else {
                group.number = result.m_layouts++;
                reference = "x-" + QByteArray::number(group.number);
            }
            result.m_groups.append(std::move(group));
        } else {
            ++result.m_refused;
        }

        QByteArray rewritten = text.left(open);
        rewritten += reference;
        rewritten += QByteArrayView(text).sliced(rest);
        if (rewritten.size() > maxTextLength) {
            rewritten.truncate(maxTextLength);
            result.m_cut = true;
        }
        text = std::move(rewritten);
    }
    return result;
}

LayoutDescription::Item LayoutDescription::classify(QByteArrayView text)
{
    Item item;
    if (text.isEmpty())
        return item;
    if (isDigit(text[0])) {
        item.kind = ItemKind::Stretch;
        item.number = Strings::number(text);
        return item;
    }
    const qsizetype dash = text.indexOf('-');
    if (dash < 0)
        return item;
    item.type = text.first(dash).toByteArray();
    item.name = text.sliced(dash + 1).toByteArray();
    const QByteArray &type = item.type;
    if (type.startsWith('B'))
        item.kind = ItemKind::Button;
    else if (type == "L")
        item.kind = ItemKind::EmptyList;
    else if (type == "TV")
        item.kind = ItemKind::TableView;
    else if (type.startsWith('T'))
        item.kind = ItemKind::Table;
    else if (type == "HD")
        item.kind = ItemKind::Drives;
    else if (type.startsWith('O'))
        item.kind = ItemKind::OkCancel;
    else if (type.startsWith('x'))
        item.kind = ItemKind::LayoutRef;
    else if (type.startsWith('y'))
        item.kind = ItemKind::BoxRef;
    else
        item.kind = ItemKind::Other;
    if (item.kind == ItemKind::LayoutRef || item.kind == ItemKind::BoxRef)
        item.number = Strings::number(item.name);
    return item;
}
