#include "forms/formfixture.h"

#include "common/testpaths.h"

#include "forms/layoutbuilder.h"
#include "forms/layoutdescription.h"
#include "widgets/dcald.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using TestPaths::binDir;
using TestPaths::sourceDir;

namespace {

struct NeTakExit
{
};

QString render(QLayout *layout);

QString renderWidget(QWidget *widget)
{
    QString text = QString::fromLatin1(widget->metaObject()->className()) + u':' + widget->objectName();
    if (auto *box = qobject_cast<QGroupBox *>(widget))
        text += u'{' + box->title() + u'|' + render(box->layout()) + u'}';
    return text;
}

// "H[...]" / "V[...]" with the widgets as "Class:name", stretches as "sN" and nested layouts.
QString render(QLayout *layout)
{
    auto *box = qobject_cast<QBoxLayout *>(layout);
    if (!box)
        return u"?"_s;
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        QLayoutItem *item = box->itemAt(i);
        if (item->widget())
            items.append(renderWidget(item->widget()));
        else if (item->layout())
            items.append(render(item->layout()));
        else if (item->spacerItem())
            items.append(u"s"_s + QString::number(box->stretch(i)));
    }
    const bool horizontal = box->direction() == QBoxLayout::LeftToRight;
    return (horizontal ? u"H["_s : u"V["_s) + items.join(u',') + u']';
}

// How many pixels of each row a group box paints by itself (no children, no background).
QList<int> paintedPerRow(QGroupBox *box)
{
    QImage image(box->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    box->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QList<int> rows(image.height(), 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            rows[y] += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    return rows;
}

} // namespace

class OwnerDialog : public QDialog
{
    Q_OBJECT

public slots:
    void Knop() { clicks.append(sender()->objectName()); }

public:
    QStringList clicks;
};

class TestLayoutBuilder : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init();
    void cleanup();
    void structure_data();
    void structure();
    void buttonsReachTheOwner();
    void drives();
    void unbalanced();
    void missingKey();
    void leftOverGroupsAreFreed();
    void shippedDescriptions_data();
    void shippedDescriptions();
    void gallery_data();
    void gallery();
    void framesKeepClearOfTheirContents_data();
    void framesKeepClearOfTheirContents();
};

void TestLayoutBuilder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestLayoutBuilder::cleanup()
{
    // Windows keeps the current folder from being removed.
    QDir::setCurrent(QDir::tempPath());
    m_dir.reset();
    Catalog::clear();
    Settings::reset();
    Diagnostics::setErrorExitHandler({});
}

void TestLayoutBuilder::structure_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");

    QTest::newRow("row inside column")
        << u"(L-Files+(B-Go+B-Stop)H+O-x)V"_s
        << u"V[QListWidget:Files,H[QPushButton:Go,QPushButton:Stop],H[QPushButton:Ok,s1,QPushButton:Can]]"_s;
    QTest::newRow("framed group") << u"((L-a)VR-Frame+L-b)V"_s
                                  << u"V[QGroupBox:Frame{A frame|V[QListWidget:a]},QListWidget:b]"_s;
    QTest::newRow("R after a plain group is an item")
        << u"((L-a)+R-b)V"_s << u"V[V[QListWidget:a],QGroupBox:Rb{b|V[]}]"_s;
    QTest::newRow("stretch, ignored label")
        << u"(L-a+5+Label+L-b)H"_s << u"H[QListWidget:a,s5,QListWidget:b]"_s;
    QTest::newRow("blanks around items") << u"( L-a + L-b )V"_s << u"V[QListWidget:a,QListWidget:b]"_s;
    QTest::newRow("tables") << u"(TV-view+T-table+Tm-time)"_s
                            << u"V[QTableView:view,QTableWidget:table,QTableWidget:time]"_s;
    QTest::newRow("references not built") << u"(x-5+y-0+L-a)"_s << u"V[QListWidget:a]"_s;
    QTest::newRow("reference used once") << u"((L-a)H+x-0+x-0)"_s << u"V[H[QListWidget:a]]"_s;
    QTest::newRow("outermost group framed")
        << u"(L-a)HR-Frame"_s << u"V[QGroupBox:Frame{A frame|H[QListWidget:a]}]"_s;
    QTest::newRow("other items to the item builder") << u"(A-Head+Xq-none)"_s << u"V[QLabel:Head]"_s;
    QTest::newRow("expanded text") << u"({Inner}+L-b)"_s << u"V[V[QListWidget:a],QListWidget:b]"_s;
    QTest::newRow("last of two outer groups") << u"(L-a)H+(L-b)V"_s << u"V[QListWidget:b]"_s;
}

void TestLayoutBuilder::structure()
{
    QFETCH(QString, description);
    QFETCH(QString, expected);

    QVERIFY(FormFixture::resetWithCatalog(
        m_dir->path(), u"Dlg "_s + description + u"\nFrame A frame[2]\nInner (L-a)\nHead Heading\n"_s));
    OwnerDialog dialog;
    QLayout *layout = LayoutBuilder::buildLayout("Dlg", &dialog);
    QVERIFY(layout);
    dialog.setLayout(layout);
    QCOMPARE(render(layout), expected);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestLayoutBuilder::buttonsReachTheOwner()
{
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Dlg (B-Go+B-Stop+O-x)H\nGo Go:now[1]\n"_s));
    OwnerDialog dialog;
    dialog.setLayout(LayoutBuilder::buildLayout("Dlg", &dialog));
    auto *go = dialog.findChild<QPushButton *>(u"Go"_s);
    QVERIFY(go);
    QCOMPARE(go->text(), u"Go\nnow"_s);
    QTest::mouseClick(go, Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton *>(u"Stop"_s), Qt::LeftButton);
    QCOMPARE(dialog.clicks, (QStringList{u"Go"_s, u"Stop"_s}));

    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(dialog.findChild<QPushButton *>(u"Can"_s), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
}

void TestLayoutBuilder::drives()
{
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Dlg (HD-Drive)\nDrive Drive[1]:\n"_s));
    QDialog dialog;
    dialog.setLayout(LayoutBuilder::buildLayout("Dlg", &dialog));
    auto *combo = dialog.findChild<QComboBox *>(u"Drive"_s);
    QVERIFY(combo);
    QStringList expected;
    for (const QFileInfo &drive : QDir::drives())
        expected.append(drive.filePath());
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown.append(combo->itemText(i));
    QCOMPARE(shown, expected);
    QVERIFY(!shown.isEmpty());
    // The caption is the whole text of the key.
    QVERIFY(dialog.findChild<QLabel *>() && dialog.findChild<QLabel *>()->text() == u"Drive[1]:"_s);
}

void TestLayoutBuilder::unbalanced()
{
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Dlg ((L-a)+(L-b\nNeTak Bad description\n"_s));
    Diagnostics::setErrorExitHandler([] { throw NeTakExit(); });
    QDialog dialog;
    bool ended = false;
    try {
        (void)LayoutBuilder::buildLayout("Dlg", &dialog);
    } catch (const NeTakExit &) {
        ended = true;
    }
    QVERIFY(ended);
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, u"*** Error"_s);
    QCOMPARE(boxes.first().text, u"Bad description"_s);
    // Nothing was built before the description was found broken.
    QVERIFY(dialog.findChildren<QWidget *>().isEmpty());
}

void TestLayoutBuilder::missingKey()
{
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Other (L-a)\n"_s));
    QDialog dialog;
    QCOMPARE(LayoutBuilder::buildLayout("Dlg", &dialog), nullptr);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestLayoutBuilder::leftOverGroupsAreFreed()
{
    QVERIFY(FormFixture::resetWithCatalog(m_dir->path(), u"Dlg (L-a)H+(L-b)VR-F+(L-c)\n"_s));
    QDialog dialog;
    const auto topLevel = qApp->topLevelWidgets().size();
    QLayout *layout = LayoutBuilder::buildLayout("Dlg", &dialog);
    QVERIFY(layout);
    dialog.setLayout(layout);
    QVERIFY(dialog.findChild<QListWidget *>(u"c"_s));
    // The groups nobody refers to are gone, not left over without an owner.
    QVERIFY(!dialog.findChild<QListWidget *>(u"a"_s));
    QVERIFY(!dialog.findChild<QGroupBox *>(u"F"_s));
    QCOMPARE(qApp->topLevelWidgets().size(), topLevel);
}

void TestLayoutBuilder::shippedDescriptions_data()
{
    QTest::addColumn<QString>("language");

    QTest::newRow("ru") << u"ru"_s;
    QTest::newRow("en") << u"en"_s;
}

// Every dialog description the catalog ships (a key whose text begins with "(") must be sound:
// balanced, inside the limits, and built into a layout.
void TestLayoutBuilder::shippedDescriptions()
{
    QFETCH(QString, language);

    Catalog::clear();
    Settings::reset();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    Catalog::load(binDir() + (language == u"ru"_s ? u"/tav.t"_s : u"/tav.en.t"_s));
    QVERIFY(Catalog::isLoaded());

    QByteArrayList keys;
    const QDir sources(sourceDir() + u"/data/catalog/"_s + language);
    for (const QString &name : sources.entryList({u"*.txt"_s}, QDir::Files)) {
        QFile file(sources.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QByteArray &line : file.readAll().split('\n')) {
            const qsizetype blank = line.indexOf(' ');
            if (blank > 0 && line.mid(blank + 1).startsWith('(') && !line.startsWith('*'))
                keys.append(line.left(blank));
        }
    }
    QVERIFY(keys.contains("Gallery"));
    for (const QByteArray &key : std::as_const(keys)) {
        const LayoutDescription parsed = LayoutDescription::parse(Catalog::expanded(key));
        QVERIFY2(parsed.isBalanced() && !parsed.wasCut() && parsed.refusedGroups() == 0, key.constData());
        OwnerDialog dialog;
        QLayout *layout = LayoutBuilder::buildLayout(key, &dialog);
        QVERIFY2(layout, key.constData());
        dialog.setLayout(layout);
    }
}

void TestLayoutBuilder::gallery_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<QString>("picture");

    QTest::newRow("ru") << u"tav.t"_s << u"gallery.png"_s;
    QTest::newRow("en") << u"tav.en.t"_s << u"gallery.en.png"_s;
}

// Builds the gallery of every item kind from the shipped catalog and saves its picture into the
// build folder, so that anyone can look at the forms.
void TestLayoutBuilder::gallery()
{
    QFETCH(QString, catalog);
    QFETCH(QString, picture);

    Catalog::clear();
    Settings::reset();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    Catalog::load(binDir() + u'/' + catalog);
    QVERIFY(Catalog::isLoaded());
    // The help text and the file list of the gallery are looked for in the working directory.
    QFile help(m_dir->filePath(u"gallery.hlp"_s));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("@@Intro\n<b>Help text</b> from a section of a file,\nwith <a href=\"http://localhost/\">a "
               "link</a>.\n"
               "@@Other\nnot shown\n");
    help.close();
    QFile list(m_dir->filePath(u"gallery.lst"_s));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("* comment\nfirst line\nsecond line\nthird line\n");
    list.close();
    Settings::setValue("GalPick", QByteArray("A0"));

    OwnerDialog dialog;
    QLayout *layout = LayoutBuilder::buildLayout("Gallery", &dialog);
    QVERIFY(layout);
    dialog.setLayout(layout);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());

    const QList<std::pair<QString, const char *>> expected{
        {u"GalTitle"_s, "QLabel"},
        {u"GalHelp"_s, "QLabel"},
        {u"qt"_s, "QLabel"},
        {u"RGalMode"_s, "QGroupBox"},
        {u"CGalOpts"_s, "QGroupBox"},
        {u"GalCount"_s, "QSpinBox"},
        {u"GalLang"_s, "QComboBox"},
        {u"GalSite"_s, "QComboBox"},
        {u"GalDrive"_s, "QComboBox"},
        {u"GalName"_s, "QLineEdit"},
        {u"GalDir"_s, "QLineEdit"},
        {u"GalWhen"_s, "QDateTimeEdit"},
        {u"GalDay"_s, "ByteDateWid"},
        {u"GalList"_s, "QListWidget"},
        {u"GalDays"_s, "QListWidget"},
        {u"GalEmpty"_s, "QListWidget"},
        {u"GalPick"_s, "QListWidget"},
        {u"GalMarks_3"_s, "QListWidget"},
        {u"GalView"_s, "QTableView"},
        {u"GalTable"_s, "QTableWidget"},
        {u"GalGo"_s, "QPushButton"},
        {u"GalRowTime"_s, "ByteTimeEdit"},
        {u"L-GalRowQty"_s, "QLabel"},
        {u"Ok"_s, "QPushButton"},
    };
    for (const auto &[name, className] : expected) {
        QWidget *widget = dialog.findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->metaObject()->className(), className);
    }
    QCOMPARE(dialog.findChild<QListWidget *>(u"GalList"_s)->count(), 3);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.adjustSize();
    const QPixmap shot = dialog.grab();
    QVERIFY(!shot.isNull());
    const QString path = binDir() + u"/../"_s + picture;
    QVERIFY(shot.save(path, "PNG"));
    qInfo("gallery saved as %s", qPrintable(QDir::cleanPath(path)));
}

void TestLayoutBuilder::framesKeepClearOfTheirContents_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<QByteArray>("key"); // empty: the calendar dialog

    QTest::newRow("take-over dialog") << u"tav.t"_s << QByteArray("Recf");
    QTest::newRow("gallery, ru") << u"tav.t"_s << QByteArray("Gallery");
    QTest::newRow("gallery, en") << u"tav.en.t"_s << QByteArray("Gallery");
    QTest::newRow("calendar") << u"tav.t"_s << QByteArray();
}

// With the shipped style sheet, every framed group draws its frame above what it holds: nothing
// inside reaches the frame's top line, a title stays above it, and a group without a title has no
// room left for one.
void TestLayoutBuilder::framesKeepClearOfTheirContents()
{
    QFETCH(QString, catalog);
    QFETCH(QByteArray, key);

    Catalog::clear();
    Settings::reset();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    QVERIFY(Catalog::load(binDir() + u'/' + catalog));
    // tav.qss beside the executable, as the program finds it.
    QVERIFY(Settings::loadStyleSheet(u"tav.qss"_s));
    QVERIFY(!qApp->styleSheet().isEmpty());

    std::unique_ptr<QDialog> dialog;
    if (key.isEmpty()) {
        dialog = std::make_unique<DCald>(QDate(2024, 2, 29));
    } else {
        dialog = std::make_unique<OwnerDialog>();
        QLayout *layout = LayoutBuilder::buildLayout(key, dialog.get());
        QVERIFY(layout);
        dialog->setLayout(layout);
    }
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    const QList<QGroupBox *> boxes = dialog->findChildren<QGroupBox *>();
    QVERIFY(!boxes.isEmpty());
    for (QGroupBox *box : boxes) {
        const QByteArray name = box->objectName().toUtf8() + " \"" + box->title().toUtf8() + '"';
        // The frame's top line is the first row painted across most of the box; a title is
        // painted above it.
        const QList<int> rows = paintedPerRow(box);
        const auto lineAt
            = std::find_if(rows.begin(), rows.end(), [&](int n) { return n > box->width() * 6 / 10; });
        QVERIFY2(lineAt != rows.end(), name.constData());
        const int line = int(lineAt - rows.begin());
        for (QWidget *child : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible())
                QVERIFY2(child->geometry().top() > line + 1,
                    (name + " holds " + child->objectName().toUtf8()).constData());
        }
        if (box->title().isEmpty())
            QVERIFY2(line < box->fontMetrics().height() / 2, name.constData());
        else
            QVERIFY2(std::any_of(rows.begin(), lineAt, [](int n) { return n > 0; }), name.constData());
    }
    dialog.reset();
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestLayoutBuilder)
#include "tst_layoutbuilder.moc"
