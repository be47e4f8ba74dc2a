#include "forms/layoutdescription.h"

#include <QTest>

using Kind = LayoutDescription::ItemKind;

namespace {

// One group as "V[a|b]", a framed one as "VR(name)[a|b]"; groups in build order joined by " ; ".
QByteArray render(const LayoutDescription &description)
{
    QByteArrayList groups;
    for (const auto &group : description.groups()) {
        QByteArray text = group.direction == LayoutDescription::Direction::Horizontal ? "H" : "V";
        if (group.framed)
            text += "R(" + group.boxName + ")";
        text += "[" + group.items.join('|') + "]";
        groups.append(text);
    }
    return groups.join(" ; ");
}

} // namespace

class TestLayoutDescription : public QObject
{
    Q_OBJECT

private slots:
    void groups_data();
    void groups();
    void limits_data();
    void limits();
    void frameSuffixIsCut();
    void classify_data();
    void classify();
};

void TestLayoutDescription::groups_data()
{
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("row inside column") << QByteArray("(L-Files+(B-Go+B-Stop)H+O-x)V") << true
                                       << QByteArray("H[B-Go|B-Stop] ; V[L-Files|x-0|O-x]");
    QTest::newRow("framed group") << QByteArray("((L-a)VR-Frame+L-b)V") << true
                                  << QByteArray("VR(Frame)[L-a] ; V[y-0|L-b]");
    QTest::newRow("no kind letter, R item stays")
        << QByteArray("((L-a)+R-b)V") << true << QByteArray("V[L-a] ; V[x-0|R-b]");
    QTest::newRow("blanks around items") << QByteArray("( L-a + L-b )V") << true << QByteArray("V[L-a|L-b]");
    QTest::newRow("closing last character") << QByteArray("(L-a+5)") << true << QByteArray("V[L-a|5]");
    QTest::newRow("unbalanced") << QByteArray("(L-a") << false << QByteArray();
    QTest::newRow("inner built, then unbalanced") << QByteArray("(a(b)c") << false << QByteArray("V[b]");
    QTest::newRow("stray closing before") << QByteArray("x)(L-a)H") << true << QByteArray("H[L-a]");
    QTest::newRow("no group at all") << QByteArray("Tav") << true << QByteArray();
    QTest::newRow("empty group") << QByteArray("()H") << true << QByteArray("H[]");
    QTest::newRow("empty items dropped") << QByteArray("(+ +L-a++)") << true << QByteArray("V[L-a]");
    QTest::newRow("deep nesting") << QByteArray("(((L-a)H)V)H") << true
                                  << QByteArray("H[L-a] ; V[x-0] ; H[x-1]");
    QTest::newRow("siblings numbered in order")
        << QByteArray("((A-a)H+(A-b)VR-F1+(A-c)+(A-d)HR-F2)V") << true
        << QByteArray("H[A-a] ; VR(F1)[A-b] ; V[A-c] ; HR(F2)[A-d] ; V[x-0|y-0|x-1|y-1]");
    QTest::newRow("framed last item of its group")
        << QByteArray("(B-x+(L-a)VR-Frame)H") << true << QByteArray("VR(Frame)[L-a] ; H[B-x|y-0]");
    QTest::newRow("frame suffix ends at blank")
        << QByteArray("((L-a)HR-Box +L-b)V") << true << QByteArray("HR(Box)[L-a] ; V[y-0|L-b]");
    QTest::newRow("frame without name") << QByteArray("(L-a)HR") << true << QByteArray("HR()[L-a]");
    QTest::newRow("frame name with dash") << QByteArray("(L-a)VR-a-b") << true << QByteArray("VR(a-b)[L-a]");
    QTest::newRow("kind letter other than H") << QByteArray("(L-a)Q") << true << QByteArray("V[L-a]");
    QTest::newRow("blank as kind letter")
        << QByteArray("((L-a) +L-b)H") << true << QByteArray("V[L-a] ; H[x-0|L-b]");
    QTest::newRow("two outer groups") << QByteArray("(L-a)H+(L-b)V") << true << QByteArray("H[L-a] ; V[L-b]");
    QTest::newRow("item with inner dash")
        << QByteArray("(LF-list-files.txt)") << true << QByteArray("V[LF-list-files.txt]");
}

void TestLayoutDescription::groups()
{
    QFETCH(QByteArray, description);
    QFETCH(bool, balanced);
    QFETCH(QByteArray, expected);

    const auto parsed = LayoutDescription::parse(description);
    QCOMPARE(parsed.isBalanced(), balanced);
    QCOMPARE(render(parsed), expected);
    QCOMPARE(parsed.refusedGroups(), 0);
}

void TestLayoutDescription::limits_data()
{
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<int>("layouts");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<int>("refused");
    QTest::addColumn<bool>("cut");

    QTest::newRow("100 layouts fit") << "(" + QByteArray("(A-a)+").repeated(99) + ")" << true << 100 << 0 << 0
                                     << false;
    QTest::newRow("101st layout refused")
        << "(" + QByteArray("(A-a)+").repeated(100) + ")" << true << 100 << 0 << 1 << false;
    QTest::newRow("20 group boxes fit")
        << "(" + QByteArray("(A-a)VR-f+").repeated(20) + ")" << true << 1 << 20 << 0 << false;
    QTest::newRow("21st group box refused")
        << "(" + QByteArray("(A-a)VR-f+").repeated(21) + ")" << true << 1 << 20 << 1 << false;
    // The closing parenthesis falls beyond the 2000-character buffer.
    QTest::newRow("overlong text is cut")
        << "(" + QByteArray("A-a+").repeated(600) + ")" << false << 0 << 0 << 0 << true;
    QTest::newRow("exactly the buffer") << "(" + QByteArray(1997, 'a') + ")" << true << 1 << 0 << 0 << false;
    // "()" grows to "x-N" with every group: the rewritten text must stay inside the buffer.
    QTest::newRow("references grow the text")
        << "(" + QByteArray("()+").repeated(90) + QByteArray(1999 - 272, 'a') + ")" << false << 90 << 0 << 0
        << true;
}

void TestLayoutDescription::limits()
{
    QFETCH(QByteArray, description);
    QFETCH(bool, balanced);
    QFETCH(int, layouts);
    QFETCH(int, boxes);
    QFETCH(int, refused);
    QFETCH(bool, cut);

    const auto parsed = LayoutDescription::parse(description);
    QCOMPARE(parsed.isBalanced(), balanced);
    QCOMPARE(parsed.layoutCount(), layouts);
    QCOMPARE(parsed.boxCount(), boxes);
    QCOMPARE(parsed.refusedGroups(), refused);
    QCOMPARE(parsed.wasCut(), cut);
    QCOMPARE(parsed.groups().size(), layouts + boxes);
    for (const auto &group : parsed.groups()) {
        for (const auto &item : group.items)
            QVERIFY(item.size() <= LayoutDescription::maxTextLength);
    }
}

void TestLayoutDescription::frameSuffixIsCut()
{
    const QByteArray name(60, 'n');
    const auto parsed = LayoutDescription::parse("((A-a)VR-" + name + "+A-b)H");
    QVERIFY(parsed.isBalanced());
    QCOMPARE(parsed.groups().size(), 2);
    const auto &framed = parsed.groups().first();
    QCOMPARE(framed.frameSuffix.size(), LayoutDescription::maxFrameSuffixLength);
    QCOMPARE(framed.boxName, QByteArray(36, 'n'));
    // The rest of the long suffix is consumed, not left behind as a stray item.
    QCOMPARE(parsed.groups().last().items, QByteArrayList({"y-0", "A-b"}));
}

void TestLayoutDescription::classify_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("number");

    QTest::newRow("stretch") << QByteArray("5") << Kind::Stretch << QByteArray() << QByteArray() << 5;
    QTest::newRow("stretch with tail")
        << QByteArray("12-x") << Kind::Stretch << QByteArray() << QByteArray() << 12;
    QTest::newRow("no dash") << QByteArray("Label") << Kind::Ignored << QByteArray() << QByteArray() << 0;
    QTest::newRow("empty") << QByteArray() << Kind::Ignored << QByteArray() << QByteArray() << 0;
    QTest::newRow("button") << QByteArray("B-Go") << Kind::Button << QByteArray("B") << QByteArray("Go") << 0;
    QTest::newRow("button, longer type")
        << QByteArray("Bb-Go") << Kind::Button << QByteArray("Bb") << QByteArray("Go") << 0;
    QTest::newRow("empty list") << QByteArray("L-a") << Kind::EmptyList << QByteArray("L") << QByteArray("a")
                                << 0;
    QTest::newRow("catalog list goes on")
        << QByteArray("LK-a") << Kind::Other << QByteArray("LK") << QByteArray("a") << 0;
    QTest::newRow("table view") << QByteArray("TV-t") << Kind::TableView << QByteArray("TV")
                                << QByteArray("t") << 0;
    QTest::newRow("time row is a table here")
        << QByteArray("Tm-t") << Kind::Table << QByteArray("Tm") << QByteArray("t") << 0;
    QTest::newRow("drives") << QByteArray("HD-d") << Kind::Drives << QByteArray("HD") << QByteArray("d") << 0;
    QTest::newRow("combo goes on") << QByteArray("H-d") << Kind::Other << QByteArray("H") << QByteArray("d")
                                   << 0;
    QTest::newRow("ok row") << QByteArray("O-x") << Kind::OkCancel << QByteArray("O") << QByteArray("x") << 0;
    QTest::newRow("layout reference")
        << QByteArray("x-13") << Kind::LayoutRef << QByteArray("x") << QByteArray("13") << 13;
    QTest::newRow("box reference") << QByteArray("y-2") << Kind::BoxRef << QByteArray("y") << QByteArray("2")
                                   << 2;
    QTest::newRow("radio goes on") << QByteArray("R-b") << Kind::Other << QByteArray("R") << QByteArray("b")
                                   << 0;
    QTest::newRow("empty type") << QByteArray("-x") << Kind::Other << QByteArray() << QByteArray("x") << 0;
    QTest::newRow("name keeps its dashes")
        << QByteArray("LF-a-b.txt") << Kind::Other << QByteArray("LF") << QByteArray("a-b.txt") << 0;
}

void TestLayoutDescription::classify()
{
    QFETCH(QByteArray, item);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, name);
    QFETCH(int, number);

    const auto classified = LayoutDescription::classify(item);
    QCOMPARE(classified.kind, kind);
    QCOMPARE(classified.type, type);
    QCOMPARE(classified.name, name);
    QCOMPARE(classified.number, number);
}

QTEST_GUILESS_MAIN(TestLayoutDescription)
#include "tst_layoutdescription.moc"
