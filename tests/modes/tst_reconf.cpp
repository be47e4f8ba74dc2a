// The reconfiguration dialog used as a user would: type the other installation's directory, tick
// the kinds of data, press "Ok".

#include "common/blockedfile.h"
#include "modes/modeentries.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/strings.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QList<std::pair<QString, QByteArray>> otherFiles{
    {u"a.bod"_s, "bod a"},
    {u"b.btr"_s, "btr b"},
    {u"c.btt"_s, "btt c"},
    {u"o.ao"_s, "orbs"},
    {u"zapros.ctl"_s, "q"},
    {u"s.sb"_s, "sb"},
    {u"events.ctl"_s, "events"},
    {u"e.ctl"_s, "e"},
    {u"fact.ctl"_s, "fact"},
    {u"uprt.ctl"_s, "uprt"},
    {u"n.txt"_s, "text"},
    {u"x.dat"_s, "nobody's"},
};
const QList<std::pair<QString, QByteArray>> localFiles{
    {u"a.bod"_s, "old a"}, {u"zapros.ctl"_s, "old q"}, {u"mine.txt"_s, "mine"}};

const QList<int> allOptions{2, 3, 8, 9, 10, 11};
const QByteArray unwritableIni = "<unwritable>";

// "name=content" of every file of the current installation but its ini, sorted: the local files
// with the named ones taken from the other installation.
QStringList localWith(const QStringList &copied)
{
    QMap<QString, QByteArray> files;
    for (const auto &[name, content] : localFiles)
        files[name] = content;
    for (const auto &[name, content] : otherFiles) {
        if (copied.contains(name))
            files[name] = content;
    }
    QStringList listing;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        listing << it.key() + u'=' + QString::fromLatin1(it.value());
    return listing;
}

const QStringList databases{u"a.bod"_s, u"b.btr"_s, u"c.btt"_s};
const QStringList defaults{u"a.bod"_s, u"b.btr"_s, u"c.btt"_s, u"o.ao"_s, u"zapros.ctl"_s};

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestReConf : public QObject
{
    Q_OBJECT

private:
    QString root(const QString &path) const { return m_root->filePath(path); }
    // '%1' in a row stands for the temporary root.
    QString rooted(QString text) const { return text.replace(u"%1"_s, m_root->path()); }

    // The check box bound to an option number, found through the catalog list of its group.
    static QCheckBox *checkBoxFor(QWidget *dialog, int option)
    {
        const QByteArray groupKey = "RecfOpt";
        auto *group = dialog->findChild<QGroupBox *>(u"C"_s + QString::fromLatin1(groupKey));
        if (!group)
            return nullptr;
        const StringList pieces = Catalog::list(groupKey);
        for (int i = 1; i < pieces.count(); ++i) {
            const std::optional<QByteArray> slot = Strings::after(pieces.at(i), '[');
            if (slot && Strings::number(*slot) == option)
                return group->findChild<QCheckBox *>(u"c"_s + QString::number(i));
        }
        return nullptr;
    }

    static void tick(QCheckBox *box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    QStringList localListing() const
    {
        QStringList listing;
        const QDir cur(root(u"cur"_s));
        for (const QString &name : cur.entryList(QDir::Files, QDir::Name)) {
            if (name != u"kora.ini"_s && name != u"taw.tax"_s)
                listing << name + u'=' + QString::fromLatin1(readFile(cur.filePath(name)));
        }
        return listing;
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_startDir;

private slots:
    void initTestCase()
    {
        Diagnostics::setRecording(true);
        m_startDir = QDir::currentPath();
        Catalog::clear();
        Catalog::load(QStringLiteral(TAV_BIN_DIR "/tav.t"));
        QVERIFY(Catalog::text("Recf").has_value());
    }
    void init()
    {
        QDir::setCurrent(m_startDir);
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        QVERIFY(QDir(m_root->path()).mkpath(u"other"_s));
        QVERIFY(QDir(m_root->path()).mkpath(u"cur"_s));
        for (const auto &[name, content] : otherFiles)
            QVERIFY(writeFile(root(u"other/"_s + name), content));
        for (const auto &[name, content] : localFiles)
            QVERIFY(writeFile(root(u"cur/"_s + name), content));
        QVERIFY(QDir::setCurrent(root(u"cur"_s)));
        Settings::reset();
        Diagnostics::clearRecordedBoxes();
    }
    void cleanup() { QDir::setCurrent(m_startDir); }

    void construction()
    {
        Settings::options()[9] = 1;
        Settings::setValue("Dir1002", "C:/kora9");
        const std::unique_ptr<QWidget> dialog = Modes::startReconfDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->metaObject()->className(), "ReConf");
        QCOMPARE(dialog->windowTitle(), u"***"_s + Catalog::displayText("mainRC"));
        QVERIFY(!dialog->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(dialog->font().pointSize(), Settings::fontSize());
        for (int option = 2; option <= 8; ++option)
            QCOMPARE(Settings::options()[option], 1);
        for (int option : allOptions) {
            QCheckBox *box = checkBoxFor(dialog.get(), option);
            QVERIFY2(box, qPrintable(QString::number(option)));
            QCOMPARE(box->isChecked(), option <= 9);
        }
        auto *edit = dialog->findChild<QLineEdit *>(u"Dir1002"_s);
        QVERIFY(edit);
        QCOMPARE(edit->text(), u"C:/kora9"_s);
        QCOMPARE(edit->property("m").toInt(), 1); // the directory chooser
        QVERIFY(dialog->findChild<QPushButton *>(u"Ok"_s));

        // The entry point keeps the window after the loop; closing must not delete it.
        QPointer<QWidget> watch = dialog.get();
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watch);
    }

    void pressOk_data()
    {
        QTest::addColumn<QString>("typed"); // '%1' is the temporary root
        QTest::addColumn<QList<int>>("options"); // the boxes ticked when "Ok" is pressed
        QTest::addColumn<QByteArray>("otherIni"); // null: none
        QTest::addColumn<QByteArray>("localIni"); // null: none
        QTest::addColumn<QStringList>("missing"); // files the other installation lacks
        QTest::addColumn<int>("presses");
        QTest::addColumn<QByteArray>("expectedIni"); // null: none
        QTest::addColumn<QStringList>("expectedFiles");
        QTest::addColumn<QStringList>("boxes"); // "is", or texts with '%1'

        const QString other = u"%1/other"_s;
        const QByteArray ini = "Lang=ru\nBASA=C:\\k\\base\nOrb-Sun=7\nDIRBASA=D:\\b\nX=1\n";
        const QStringList is{u"is"_s};
        const QList<int> def{2, 3, 8};

        QTest::newRow("default options")
            << other << def << ini << "Lang=en\n"_ba << QStringList() << 1
            << "Lang=en\nBASA=C:\\k\\base\nDIRBASA=D:\\b\nOrb-Sun=7\n"_ba << localWith(defaults) << is;
        QTest::newRow("a key that only begins with BASA")
            << other << QList<int>{2} << "BASAX=1\nBASA=2\nDIRBASA2=3\n"_ba
            << "A=1"_ba << QStringList() << 1 << "A=1\nBASA=2\n"_ba << localWith(databases) << is;
        QTest::newRow("Orb- alone") << other << QList<int>{3} << "Orb-=1\nOrbit=2\n"_ba
                                    << "A=1"_ba << QStringList() << 1 << "A=1\nOrb-=1\n"_ba
                                    << localWith({u"o.ao"_s}) << is;
        QTest::newRow("Orb- key in both inis")
            << other << QList<int>{3} << "Orb-Sun=7\n"_ba
            << "Orb-Sun=1\nA=1"_ba << QStringList() << 1 << "Orb-Sun=1\nA=1\nOrb-Sun=7\n"_ba
            << localWith({u"o.ao"_s}) << is;
        const QList<std::pair<int, QStringList>> perOption{
            {2, databases},
            {3, {u"o.ao"_s}},
            {8, {u"zapros.ctl"_s}},
            {9, {u"s.sb"_s, u"events.ctl"_s, u"e.ctl"_s}},
            {10, {u"fact.ctl"_s, u"uprt.ctl"_s}},
            {11, {u"n.txt"_s}},
        };
        for (const auto &[option, files] : perOption) {
            QTest::addRow("files of option %d", option)
                << other << QList<int>{option} << "X=1\n"_ba
                << "A=1"_ba << QStringList() << 1 << "A=1\n"_ba << localWith(files) << is;
        }
        QTest::newRow("nothing ticked") << other << QList<int>{} << ini << "A=1"_ba << QStringList() << 1
                                        << "A=1\n"_ba << localWith({}) << is;
        QTest::newRow("Ok twice appends twice")
            << other << QList<int>{2} << "BASA=2\n"_ba
            << "A=1"_ba << QStringList() << 2 << "A=1\nBASA=2\nBASA=2\n"_ba << localWith(databases)
            << (is + is);
        QTest::newRow("Ok twice, ini ending with a line feed")
            << other << QList<int>{2} << "BASA=1\n"_ba
            << "X=1\n"_ba << QStringList() << 2 << "X=1\nBASA=1\nBASA=1\n"_ba << localWith(databases)
            << (is + is);
        QTest::newRow("Ok twice with nothing ticked leaves the ini as it was")
            << other << QList<int>{} << ini << "X=1\n"_ba << QStringList() << 2 << "X=1\n"_ba << localWith({})
            << (is + is);
        QTest::newRow("other ini missing")
            << other << allOptions << QByteArray() << "A=1"_ba << QStringList() << 1 << "A=1"_ba
            << localWith({}) << QStringList{u"%1/other/kora.ini"_s};
        QTest::newRow("nothing typed") << QString() << allOptions << ini << "A=1"_ba << QStringList() << 1
                                       << "A=1"_ba << localWith({}) << QStringList{u"/kora.ini"_s};
        QTest::newRow("local ini missing") << other << allOptions << ini << QByteArray() << QStringList() << 1
                                           << QByteArray() << localWith({}) << QStringList{u"kora.ini"_s};
        QTest::newRow("local ini not writable")
            << other << def << ini << unwritableIni << QStringList() << 1 << unwritableIni
            << localWith(defaults) << QStringList{u"kora.ini"_s};
        QTest::newRow("other directory is the current one")
            << u"%1/cur"_s << allOptions << QByteArray() << "BASA=1\nOrb-A=2"_ba << QStringList() << 1
            << "BASA=1\nOrb-A=2\nBASA=1\nOrb-A=2\n"_ba << localWith({}) << is;
        QTest::newRow("missing fixed-name source")
            << other << QList<int>{8} << ini << "A=1"_ba << QStringList{u"zapros.ctl"_s} << 1 << "A=1\n"_ba
            << localWith({}) << is;
    }
    void pressOk()
    {
        QFETCH(QString, typed);
        QFETCH(QList<int>, options);
        QFETCH(QByteArray, otherIni);
        QFETCH(QByteArray, localIni);
        QFETCH(QStringList, missing);
        QFETCH(int, presses);
        QFETCH(QByteArray, expectedIni);
        QFETCH(QStringList, expectedFiles);
        QFETCH(QStringList, boxes);

        if (!otherIni.isNull())
            QVERIFY(writeFile(root(u"other/kora.ini"_s), otherIni));
        BlockedFile unwritable;
        if (localIni == unwritableIni) {
            if (!unwritable.make(root(u"cur/kora.ini"_s), BlockedFile::Block::Writing))
                QSKIP(qPrintable(unwritable.reason()));
        } else if (!localIni.isNull()) {
            QVERIFY(writeFile(root(u"cur/kora.ini"_s), localIni));
        }
        for (const QString &name : missing)
            QVERIFY(QFile::remove(root(u"other/"_s + name)));

        const std::unique_ptr<QWidget> dialog = Modes::startReconfDialog();
        QVERIFY(dialog);
        auto *edit = dialog->findChild<QLineEdit *>(u"Dir1002"_s);
        QVERIFY(edit);
        edit->clear();
        const QString directory = rooted(typed);
        QTest::keyClicks(edit, directory);
        QCOMPARE(edit->text(), directory);
        for (int option : allOptions) {
            QCheckBox *box = checkBoxFor(dialog.get(), option);
            QVERIFY(box);
            if (box->isChecked() != options.contains(option))
                tick(box);
            QCOMPARE(box->isChecked(), options.contains(option));
        }
        auto *ok = dialog->findChild<QPushButton *>(u"Ok"_s);
        QVERIFY(ok);
        for (int i = 0; i < presses; ++i)
            QTest::mouseClick(ok, Qt::LeftButton);

        // The state was stored before the take-over used it.
        QCOMPARE(Settings::value("Dir1002").value_or(QByteArray()), CodePage::fromUnicode(directory));
        for (int option : allOptions)
            QCOMPARE(Settings::options()[option], options.contains(option) ? 1 : 0);

        QStringList expectedBoxes;
        for (const QString &box : boxes) {
            expectedBoxes << (box == u"is"_s ? Catalog::displayText("is")
                                             : u"Cannot Open File: "_s + rooted(box));
        }
        QStringList texts;
        for (const Diagnostics::RecordedBox &box : Diagnostics::recordedBoxes())
            texts << box.text;
        QCOMPARE(texts, expectedBoxes);

        const QString iniPath = root(u"cur/kora.ini"_s);
        if (expectedIni == unwritableIni) {
            QVERIFY(unwritable.intact());
        } else if (expectedIni.isNull()) {
            QVERIFY(!QFileInfo::exists(iniPath));
        } else {
            QCOMPARE(readFile(iniPath), expectedIni);
        }
        QCOMPARE(localListing(), expectedFiles);
        QVERIFY(dialog->isVisible());
    }
};

QTEST_MAIN(TestReConf)
#include "tst_reconf.moc"
