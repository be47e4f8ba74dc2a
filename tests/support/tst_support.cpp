#include "common/fileidentity.h"
#include "common/limitedrun.h"
#include "common/systemcodec.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/dates.h"
#include "support/flagset.h"
#include "support/linereader.h"
#include "support/stringlist.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <functional>
#include <optional>

using ByteList = QList<QByteArray>;
using namespace Qt::StringLiterals;

namespace {

// Reads every line the way the program's readers do, marking the end with "<end>".
ByteList readAll(const QByteArray &content, bool significant)
{
    LineReader reader(content);
    ByteList lines;
    for (;;) {
        const std::optional<QByteArrayView> line
            = significant ? reader.readSignificantLine() : reader.readLine();
        if (!line) {
            lines.append("<end>");
            return lines;
        }
        lines.append(line->toByteArray());
    }
}

} // namespace

class TestSupport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Diagnostics::setRecording(true); }

    void readLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("significant");
        QTest::addColumn<ByteList>("expected");
        QTest::newRow("crlf, last line without lf")
            << QByteArray("a\r\nb") << false << ByteList{"a", "b", "<end>"};
        QTest::newRow("final lf gives one empty line")
            << QByteArray("a\n") << false << ByteList{"a", "", "<end>"};
        QTest::newRow("empty file gives one empty line") << QByteArray() << false << ByteList{"", "<end>"};
        QTest::newRow("cr anywhere is dropped")
            << QByteArray("x\ry\rz\n") << false << ByteList{"xyz", "", "<end>"};
        QTest::newRow("binary bytes kept")
            << QByteArray("a\0b\xff\n", 5) << false << ByteList{QByteArray("a\0b\xff", 4), "", "<end>"};
        QTest::newRow("significant skips comments and blanks") << QByteArray(
            "* note\n   \n\nkey text\n*x\n last") << true << ByteList{"key text", " last", "<end>"};
        QTest::newRow("significant line may begin with blanks")
            << QByteArray("  a\n") << true << ByteList{"  a", "<end>"};
    }
    void readLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, significant);
        QFETCH(ByteList, expected);
        QCOMPARE(readAll(content, significant), expected);
    }

    void readLongLine()
    {
        const QByteArray longLine(1 << 20, 'x');
        QCOMPARE(readAll(longLine + "\nb", false), (ByteList{longLine, "b", "<end>"}));
    }

    void readLines_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<ByteList>("expected");
        QTest::newRow("no flags") << 0 << ByteList{"  a   b  ", "", "* c", "\x80\xe0\xf0", ""};
        QTest::newRow("skip blank") << int(TextFile::SkipBlankLines)
                                    << ByteList{"  a   b  ", "* c", "\x80\xe0\xf0"};
        QTest::newRow("skip comments")
            << int(TextFile::SkipComments) << ByteList{"  a   b  ", "", "\x80\xe0\xf0", ""};
        QTest::newRow("normalise") << int(TextFile::SkipBlankLines | TextFile::NormaliseBlanks)
                                   << ByteList{"a b", "* c", "\x80\xe0\xf0"};
        QTest::newRow("convert 866") << int(TextFile::SkipBlankLines | TextFile::SkipComments
            | TextFile::ConvertCp866) << ByteList{"  a   b  ", "\xc0\xf0\xa8"};
    }
    void readLines()
    {
        QFETCH(int, flags);
        QFETCH(ByteList, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.ctl"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("  a   b  \n\n* c\n\x80\xe0\xf0\n");
        file.close();
        const FileResult<StringList> lines = TextFile::readLines(path, TextFile::ReadFlags::fromInt(flags));
        QVERIFY(lines);
        QCOMPARE(lines->items(), expected);
        QCOMPARE(lines->growthStep(), 1000);
    }

    void readLinesMissing_data()
    {
        QTest::addColumn<int>("flags");
        QTest::newRow("current directory") << 0;
        QTest::newRow("and the executable's directory") << int(TextFile::TryApplicationDir);
    }
    void readLinesMissing()
    {
        QFETCH(int, flags);
        QTemporaryDir dir;
        Diagnostics::clearRecordedBoxes();
        const QString path = dir.filePath(QStringLiteral("missing.ctl"));
        const FileResult<StringList> lines = TextFile::readLines(path, TextFile::ReadFlags::fromInt(flags));
        QVERIFY(!lines);
        // The failure names the path as the caller gave it, and nothing is shown.
        QCOMPARE(lines.path(), path);
        QVERIFY(!lines.errorString().isEmpty());
        QVERIFY(Diagnostics::recordedBoxes().isEmpty());
    }

    // Settings and "kora.ini" are written whole through this writer, also in installation
    // directories where only the files are writable.
    void writeWhole_data()
    {
        QTest::addColumn<bool>("directoryTakesFiles");
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<qint64>("sizeLimit"); // 0: none
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("sameFile"); // the file was rewritten in place, not replaced
        QTest::addColumn<QByteArray>("after"); // null: no file

        const QByteArray old = "Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nLang=ru\n";
        const QByteArray fresh = "Ov=1\nA=2\n";
        QTest::newRow("directory takes files: a temporary file replaces the old one")
            << true << old << true << qint64(0) << true << false << fresh;
        QTest::newRow("directory takes files, new file")
            << true << QByteArray() << true << qint64(0) << true << false << fresh;
        QTest::newRow("directory takes files, disk full: the old file stays")
            << true << old << true << qint64(4) << false << true << old;
        QTest::newRow("only the file is writable: rewritten in place, shorter")
            << false << old << true << qint64(0) << true << true << fresh;
        QTest::newRow("only the file is writable, disk full: the failure is reported")
            << false << old << true << qint64(4) << false << true << fresh.left(4);
        QTest::newRow("nothing writable: fails, the file stays")
            << false << old << false << qint64(0) << false << true << old;
        QTest::newRow("no file and no new files: fails")
            << false << QByteArray() << true << qint64(0) << false << false << QByteArray();
    }
    void writeWhole()
    {
        QFETCH(bool, directoryTakesFiles);
        QFETCH(QByteArray, before);
        QFETCH(bool, fileWritable);
        QFETCH(qint64, sizeLimit);
        QFETCH(bool, written);
        QFETCH(bool, sameFile);
        QFETCH(QByteArray, after);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString dir = root.filePath(QStringLiteral("installation"));
        const QString path = dir + QStringLiteral("/tavx.in");
        QVERIFY(QDir().mkdir(dir));
        const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner
            | QFile::ExeGroup | QFile::ExeOther;
        const auto writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(root.path(), all | QFile::WriteOwner));
        if (!before.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
            file.close();
            const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
            QVERIFY(QFile::setPermissions(path, fileWritable ? readable | writable : readable));
        }
        QVERIFY(QFile::setPermissions(dir, directoryTakesFiles ? all | writable : all));
        const quint64 identity = FileIdentity::of(path);

        // Root, which ignores permissions, writes as the user nobody.
        const std::optional<bool> ok
            = LimitedRun::run([&] { return bool(TextFile::writeWhole(path, "Ov=1\nA=2\n")); },
                {.permissionsBind = !directoryTakesFiles || !fileWritable, .sizeLimit = sizeLimit});
        QVERIFY(QFile::setPermissions(dir, all | QFile::WriteOwner));
        if (!ok)
            QSKIP(LimitedRun::unsupported);
        QCOMPARE(*ok, written);
        QFile file(path);
        if (after.isNull()) {
            QVERIFY(!file.exists());
        } else {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), after);
            if (identity != 0)
                QCOMPARE(FileIdentity::of(path) == identity, sameFile);
        }
        // Nothing is left beside the file, whole or cut.
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), after.isNull() ? 0 : 1);
    }

    void splitNameValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("hasValue");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("blanks kept where they belong")
            << QByteArray("  hFont  =  12 ") << QByteArray("  hFont") << true << QByteArray("12 ");
        QTest::newRow("first = splits")
            << QByteArray("a=b=c") << QByteArray("a") << true << QByteArray("b=c");
        QTest::newRow("empty value") << QByteArray("F=") << QByteArray("F") << true << QByteArray();
        QTest::newRow("no =") << QByteArray("bare  ") << QByteArray("bare") << false << QByteArray();
    }
    void splitNameValue()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, name);
        QFETCH(bool, hasValue);
        QFETCH(QByteArray, value);
        const std::optional<QByteArray> got = Strings::splitNameValue(line);
        QCOMPARE(line, name);
        QCOMPARE(got.has_value(), hasValue);
        if (got)
            QCOMPARE(*got, value);
    }

    void stringHelpers()
    {
        QCOMPARE(Strings::boundedCopy("abcdef", 3), QByteArray("abc"));
        QCOMPARE(Strings::boundedCopy("ab", 3), QByteArray("ab"));
        QCOMPARE(Strings::boundedCopy({}, 3), QByteArray());

        QByteArray s = "  a   b  ";
        Strings::normaliseBlanks(s);
        QCOMPARE(s, QByteArray("a b "));
        QCOMPARE(Strings::trimTrailing(s), 3);

        QByteArray bracketed = "text[5]x";
        QCOMPARE(Strings::textInBrackets(bracketed), std::optional<QByteArray>("5"));
        QCOMPARE(bracketed, QByteArray("text"));
        QByteArray plain = "text";
        QCOMPARE(Strings::textInBrackets(plain), std::nullopt);

        QCOMPARE(Strings::firstNonBlank("   "), 0);
        QCOMPARE(Strings::firstNonBlank("  \tx"), '\t');
        QCOMPARE(Strings::beginsWith("BASADIR", "BASA"), 0);
        QVERIFY(Strings::beginsWith("BAS", "BASA") < 0);
        QVERIFY(Strings::beginsWith("Orb-", "Orb+") != 0);
        QCOMPARE(Strings::after("a-b-c", '-'), std::optional<QByteArray>("b-c"));
        QCOMPARE(Strings::after("abc", '-'), std::nullopt);
        QByteArray path = "a\\b\\c";
        QCOMPARE(Strings::replaceChar(path, '\\', '/'), 2);
        QCOMPARE(path, QByteArray("a/b/c"));
    }

    void number_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("42") << 42;
        QTest::newRow("leading blanks and sign") << QByteArray("  -17x") << -17;
        QTest::newRow("no digits") << QByteArray("abc") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("overflow saturates") << QByteArray("99999999999999999999") << INT_MAX;
    }
    void number()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        QCOMPARE(Strings::number(text), value);
    }

    void formatTakes_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("conversions");
        QTest::addColumn<bool>("takes");
        const QByteArray ds = "ds";
        QTest::newRow("plain") << QByteArray("The file of asteroid %d is there already: %s") << ds << true;
        QTest::newRow("flags, width, precision")
            << QByteArray("%-+ #05d %10.40s %.d") << QByteArray("dsd") << true;
        QTest::newRow("percent signs") << QByteArray("100%% %d%%%s%%") << ds << true;
        QTest::newRow("no conversion") << QByteArray("Done") << QByteArray() << true;
        QTest::newRow("long int") << QByteArray("%ld %s") << ds << false;
        QTest::newRow("wide text") << QByteArray("%d %ls") << ds << false;
        QTest::newRow("char-sized int") << QByteArray("%hhd %s") << ds << false;
        for (const char *modifier : {"h", "ll", "j", "z", "t", "L", "q"})
            QTest::addRow("length modifier %s", modifier)
                << "%" + QByteArray(modifier) + "d" << QByteArray("d") << false;
        QTest::newRow("width from an argument") << QByteArray("%*d %s") << ds << false;
        QTest::newRow("precision from an argument") << QByteArray("%d %.*s") << ds << false;
        QTest::newRow("writes through a pointer") << QByteArray("%d %s%n") << ds << false;
        QTest::newRow("argument numbers") << QByteArray("%1$d %2$s") << ds << false;
        QTest::newRow("another int conversion") << QByteArray("%i %s") << ds << false;
        QTest::newRow("order swapped") << QByteArray("%s %d") << ds << false;
        QTest::newRow("one missing") << QByteArray("asteroid %d") << ds << false;
        QTest::newRow("one too many") << QByteArray("%d %s %s") << ds << false;
        QTest::newRow("percent at the end") << QByteArray("%d %s %") << ds << false;
        QTest::newRow("percent, flags, end") << QByteArray("%d %s %-05") << ds << false;
    }
    void formatTakes()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, conversions);
        QFETCH(bool, takes);
        QCOMPARE(Strings::formatTakes(format, conversions), takes);
    }

    void codePages_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<bool>("cp866");
        QTest::newRow("1251") << QByteArray("CP1251") << false;
        QTest::newRow("866") << QByteArray("CP866") << true;
        QTest::newRow("866 as IBM866") << QByteArray("IBM866") << true;
    }

    // Every byte both ways, and every character of the BMP on the way back, against the system's
    // conversion. The bytes it leaves unassigned stand for the C1 control of the same value.
    void codePages()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(bool, cp866);
        const auto toUnicode = cp866 ? CodePage::cp866ToUnicode : CodePage::toUnicode;
        const auto fromUnicode = cp866 ? CodePage::unicodeToCp866 : CodePage::fromUnicode;
        const SystemCodec codec(codePage);
        QVERIFY(codec.isOpen());

        QByteArray unassigned;
        for (int b = 0; b < 256; ++b) {
            const QByteArray byte(1, char(b));
            const std::optional<QString> expected = codec.decode(byte);
            if (!expected)
                unassigned.append(char(b));
            const QString decoded = toUnicode(byte);
            QCOMPARE(decoded, expected.value_or(QString(QChar(b))));
            QCOMPARE(fromUnicode(decoded), byte);
        }
        QVERIFY(unassigned.isEmpty() || quint8(unassigned.front()) >= 0x80);

        const auto expectedBytes = [&](const QString &character) {
            if (character.size() == 1 && character.front().unicode() < 0x100
                && unassigned.contains(char(character.front().unicode())))
                return QByteArray(1, char(character.front().unicode()));
            return codec.encode(character).value_or("?");
        };
        for (char16_t c = 1; c != 0; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QString character(QChar{c});
            if (fromUnicode(character) != expectedBytes(character))
                QFAIL(qPrintable(u"U+%1"_s.arg(uint(c), 4, 16, QLatin1Char('0'))));
        }

        // A text converts character by character: a surrogate pair is one character, a lone
        // surrogate one that no page holds.
        const QStringList characters{u"a"_s, u"\U0001F600"_s, u"\u20AC"_s, QString(QChar(0xD800)),
            u"\u00E9"_s, u"\u0401"_s, u"\u2502"_s, u"z"_s};
        QByteArray expected;
        for (const QString &character : characters)
            expected += expectedBytes(character);
        QCOMPARE(fromUnicode(characters.join(QString())), expected);
        QCOMPARE(expected.size(), characters.size());
    }

    // 866 -> 1251 moves the Russian letters to their 1251 places and keeps every other byte.
    void cp866ToCp1251()
    {
        const SystemCodec from866("CP866");
        const SystemCodec to1251("CP1251");
        QVERIFY(from866.isOpen() && to1251.isOpen());
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QByteArray mapped = CodePage::cp866ToCp1251(QByteArrayView(all));
        QByteArray inPlace = all;
        CodePage::cp866ToCp1251(inPlace);
        QCOMPARE(inPlace, mapped);
        for (int b = 0; b < 256; ++b) {
            const QChar c = from866.decode(all.mid(b, 1)).value().front();
            const bool russian = (c >= u'\u0410' && c <= u'\u044F') || c == u'\u0401' || c == u'\u0451';
            const char expected = russian ? to1251.encode(QString(c)).value().front() : char(b);
            QCOMPARE(quint8(mapped[b]), quint8(expected));
            QCOMPARE(quint8(CodePage::cp866ByteToCp1251(char(b))), quint8(expected));
        }
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<ByteList>("pieces");
        QTest::newRow("empty pieces dropped") << QByteArray("a//b/ ") << ByteList{"a", "b"};
        QTest::newRow("only separator") << QByteArray("/") << ByteList{};
        QTest::newRow("only the last piece is trimmed") << QByteArray("a /b ") << ByteList{"a ", "b"};
        QTest::newRow("no separator") << QByteArray("Ast") << ByteList{"Ast"};
        QTest::newRow("empty") << QByteArray() << ByteList{};
    }
    void split()
    {
        QFETCH(QByteArray, text);
        QFETCH(ByteList, pieces);
        QCOMPARE(StringList::split(text, '/').items(), pieces);
    }

    void words()
    {
        QCOMPARE(StringList::words("  1  22 3 ").items(), (ByteList{"1", "22", "3"}));
        QVERIFY(StringList::words({}).isEmpty());
        QVERIFY(StringList::words("    ").isEmpty());
    }

    void listOperations()
    {
        StringList list;
        for (int i = 0; i < 20; ++i)
            list.append(QByteArray::number(i));
        QCOMPARE(list.capacity(), 20);
        list.append("20");
        QCOMPARE(list.capacity(), 40);
        QCOMPARE(StringList(1000).growthStep(), 1000);
        QCOMPARE(StringList(0).growthStep(), 20);

        QCOMPARE(list.numberAt(7), 7);
        QCOMPARE(list.numberAt(21), 0);
        QCOMPARE(list.numberAt(-1), 0);

        StringList abc;
        abc.append("a");
        abc.append("b");
        abc.append("c");
        QCOMPARE(abc.positionOf("b"), 2);
        QCOMPARE(abc.positionOf("B"), 0);
        abc.remove(5);
        abc.remove(-1);
        abc.remove(0);
        QCOMPARE(abc.items(), (ByteList{"b", "c"}));

        StringList copy;
        copy.appendCopy("abcdef", 3);
        copy.appendAll(abc);
        QCOMPARE(copy.items(), (ByteList{"abc", "b", "c"}));
        copy.clear();
        QCOMPARE(copy.count(), 0);
        QCOMPARE(copy.capacity(), 0);
    }

    void appendFormattedIsCut()
    {
        StringList list;
        const QByteArray longText(1000, 'y');
        QCOMPARE(list.appendFormatted("%s", longText.constData()).size(), 300);
        QCOMPARE(list.appendFormatted("%05d.log", 42), QByteArray("00042.log"));
    }

    void daysInMonth_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("days");
        QTest::newRow("Feb 1900") << 2 << 1900 << 28;
        QTest::newRow("Feb 2000") << 2 << 2000 << 29;
        QTest::newRow("Feb 2024") << 2 << 2024 << 29;
        QTest::newRow("Feb 2023") << 2 << 2023 << 28;
        QTest::newRow("Feb 4000 is common") << 2 << 4000 << 28;
        QTest::newRow("Feb 8000 is common") << 2 << 8000 << 28;
        QTest::newRow("Jan") << 1 << 2023 << 31;
        QTest::newRow("Apr") << 4 << 2023 << 30;
        QTest::newRow("Dec") << 12 << 2023 << 31;
    }
    void daysInMonth()
    {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(int, days);
        QCOMPARE(Dates::daysInMonth(month, year), days);
    }

    void numbersOf()
    {
        QCOMPARE(Dates::numbersOf("1 2  3"), (QList<qint16>{1, 2, 3}));
        QCOMPARE(Dates::numbersOf(""), QList<qint16>{});
        QCOMPARE(Dates::numbersOf("x 7"), (QList<qint16>{0, 7}));
    }

    void flagSet_data()
    {
        QTest::addColumn<QList<int>>("flags");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("0 and 9") << QList<int>{0, 9} << QByteArray("8040");
        QTest::newRow("none") << QList<int>{} << QByteArray("00");
        QTest::newRow("last flag") << QList<int>{63} << QByteArray("0000000000000001");
        QTest::newRow("inner zero byte kept") << QList<int>{7, 23} << QByteArray("010001");
    }
    void flagSet()
    {
        QFETCH(QList<int>, flags);
        QFETCH(QByteArray, hex);
        FlagSet set;
        for (int n : flags)
            set.setFlag(n, true);
        set.setFlag(64, true); // beyond the set: ignored
        QCOMPARE(set.toHex(), hex);
        const FlagSet back = FlagSet::fromHex(hex);
        QVERIFY(back == set);
        for (int n = 0; n < 70; ++n)
            QCOMPARE(back.testFlag(n), flags.contains(n));
    }

    void flagSetReading()
    {
        QVERIFY(FlagSet::fromHex({}) == FlagSet());
        QVERIFY(FlagSet::fromHex("00") == FlagSet());
        // Only the first 16 characters count; an odd last digit fills the high half.
        QCOMPARE(FlagSet::fromHex("FFFFFFFFFFFFFFFFAA").toHex(), QByteArray("FFFFFFFFFFFFFFFF"));
        QCOMPARE(FlagSet::fromHex("8").toHex(), QByteArray("80"));
        FlagSet set = FlagSet::fromHex("FF");
        set.setFlag(3, false);
        QCOMPARE(set.toHex(), QByteArray("EF"));
    }
};

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_support.moc"
