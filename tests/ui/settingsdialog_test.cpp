#include "core/colors.h"
#include "core/settings.h"
#include "output/commondialogs.h"
#include "ui/settingsdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Answers the choosers the way a user would, and remembers how they were asked.
class ScriptedColorDialog : public ColorDialog {
  public:
    ColorDialogResult answer{0, true};
    QWidget *owner = nullptr;
    bool centred = false;
    int calls = 0;

    ColorDialogResult showColorDialog(QWidget *ownerWindow, bool centreOnOwner) override
    {
        ++calls;
        owner = ownerWindow;
        centred = centreOnOwner;
        return answer;
    }
};

class ScriptedFontDialog : public FontDialog {
  public:
    FontDialogResult answer{{}, true};
    QWidget *owner = nullptr;
    QString initialFontName;
    bool centred = false;

    FontDialogResult showFontDialog(QWidget *ownerWindow, const QString &initial, bool centreOnOwner) override
    {
        owner = ownerWindow;
        initialFontName = initial;
        centred = centreOnOwner;
        return answer;
    }
};

// One opened dialog over a record, with scripted choosers.
struct Session {
    RegistrySettings record;
    ScriptedColorDialog colors;
    ScriptedFontDialog fonts;
    std::unique_ptr<SettingsDialog> dialog;

    explicit Session(const RegistrySettings &start = defaultSettings()) : record(start)
    {
        dialog = std::make_unique<SettingsDialog>(record, colors, fonts);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        if (!QTest::qWaitForWindowActive(dialog.get()))
            qWarning("settings dialog did not become active");
    }

    template <typename T = QWidget> T *get(const QString &name) const
    {
        T *widget = dialog->findChild<T *>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QLineEdit *box(const QString &name) const { return get<QLineEdit>(name); }
    QString text(const QString &name) const { return box(name)->text(); }

    // Replaces the box's text by typing, as a user who selected it all.
    void typeInto(const QString &name, const QString &keys) const
    {
        QLineEdit *edit = box(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, keys);
    }
    void leaveBox() const { get(u"cboProportion"_s)->setFocus(); }
    void click(const QString &name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
};

// Clicks the spin's lower or upper arrow where the user sees it, a few pixels from that end.
void clickArrow(QScrollBar *spin, bool lower)
{
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, lower ? spin->height() - 3 : 2));
}

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void defaultsOpenCoupled();
    void coupling_data();
    void coupling();
    void typing_data();
    void typing();
    void emptiedBox_data();
    void emptiedBox();
    void spinArrows_data();
    void spinArrows();
    void enteringPutsCaretAtEnd();
    void addTitleDisablesButKeeps();
    void closingWithoutSaveLeavesRecord_data();
    void closingWithoutSaveLeavesRecord();
    void fontAndColourReachRecordOnlyOnSave();
    void cancelledChoosersChangeNothing();
    void storedValuesTheControlsCannotTake();
    void pastedTextKeepsOldValue();
    void enterSavesWhatTheBoxShows();
    void storedFromBox();
};

void SettingsDialogTest::defaultsOpenCoupled()
{
    Session s;
    QVERIFY(s.dialog->isModal());
    QCOMPARE(s.get<QComboBox>(u"cboProportion"_s)->currentText(), u"Wide Screen 16:9"_s);
    QCOMPARE(s.text(u"txtResizeWidth"_s) + u' ' + s.text(u"txtResizeHeight"_s), u"140 88"_s);
    for (const auto &[spin, maximum] :
         {std::pair{"txtPageWidthD", 3000}, {"txtResizeWidthD", 960}, {"txtResizeHeightD", 600}})
        QCOMPARE(s.get<QScrollBar>(QString::fromLatin1(spin))->maximum(), maximum);
    QVERIFY(s.get<QCheckBox>(u"chkUniformPlacement"_s)->isChecked());
    QVERIFY(!s.get(u"txtTitle"_s)->isEnabled()); // AddTitle is 0
    QCOMPARE(s.get(u"cmdPageBackColor"_s)->palette().color(QPalette::Button), QColor(Qt::white));
    QCOMPARE(s.get(u"lblFont"_s)->font().family(), u"Tahoma"_s);
    QCOMPARE(s.get(u"lblFont"_s)->font().pointSize(), 20);
}

void SettingsDialogTest::coupling_data()
{
    QTest::addColumn<int>("storedHeight");
    QTest::addColumn<int>("proportion");
    QTest::addColumn<int>("choose"); // list entry the user picks, -1 none
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const QString w = u"txtResizeWidth"_s;
    const QString h = u"txtResizeHeight"_s;
    QTest::newRow("opening recomputes a stored height") << 100 << 1 << -1 << w << QString() << 140 << 88;
    QTest::newRow("no proportion opens as stored") << 100 << 0 << -1 << w << QString() << 140 << 100;
    QTest::newRow("width 100 rounds 62.5 to 62") << 88 << 1 << -1 << w << u"100"_s << 100 << 62;
    QTest::newRow("height 88 gives width 141") << 88 << 1 << -1 << h << u"88"_s << 141 << 88;
    QTest::newRow("choosing 4:3 with width 140") << 88 << 1 << 2 << w << QString() << 140 << 105;
    QTest::newRow("choosing 16:9 from none") << 100 << 0 << 1 << w << QString() << 140 << 88;
    QTest::newRow("no proportion, height alone") << 88 << 0 << -1 << h << u"50"_s << 140 << 50;
    QTest::newRow("4:3 height 999") << 88 << 2 << -1 << h << u"999"_s << 1332 << 999;
    QTest::newRow("16:9 height 999, wider than typing allows") << 88 << 1 << -1 << h << u"999"_s << 1598 << 999;
}

void SettingsDialogTest::coupling()
{
    QFETCH(int, storedHeight);
    QFETCH(int, proportion);
    QFETCH(int, choose);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(int, width);
    QFETCH(int, height);
    RegistrySettings start = defaultSettings();
    start.ThumbnailHeight = static_cast<std::int16_t>(storedHeight);
    start.ThumbnailProportion = static_cast<std::int16_t>(proportion);
    Session s(start);
    if (choose >= 0)
        s.get<QComboBox>(u"cboProportion"_s)->setCurrentIndex(choose);
    if (!typed.isEmpty())
        s.typeInto(box, typed);
    QCOMPARE(s.text(u"txtResizeWidth"_s), QString::number(width));
    QCOMPARE(s.text(u"txtResizeHeight"_s), QString::number(height));
    if (width <= 960)
        QCOMPARE(s.get<QScrollBar>(u"txtResizeWidthD"_s)->value(), width);
    if (height <= 600)
        QCOMPARE(s.get<QScrollBar>(u"txtResizeHeightD"_s)->value(), height);

    s.click(u"cmdOK"_s);
    QCOMPARE(s.record.ThumbnailWidth, width);
    QCOMPARE(s.record.ThumbnailHeight, height);
    QCOMPARE(s.record.ThumbnailProportion, choose >= 0 ? choose : proportion);
}

// What a box shows after typing and leaving it: the key filter, the digit limit, the maximum.
void SettingsDialogTest::typing_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("page width 5000") << u"txtPageWidth"_s << u"5000"_s << u"3000"_s;
    QTest::newRow("page height 3001") << u"txtPageHeight"_s << u"3001"_s << u"3000"_s;
    QTest::newRow("page width, five digits") << u"txtPageWidth"_s << u"12345"_s << u"1234"_s;
    QTest::newRow("margin 150 cannot be typed") << u"txtCanvasCustom(1)"_s << u"150"_s << u"15"_s;
    QTest::newRow("thumbnail, four digits") << u"txtResizeWidth"_s << u"1234"_s << u"123"_s;
    for (const char *box : {"txtPageWidth", "txtCanvasCustom(0)", "txtResizeWidth"})
        QTest::addRow("letters swallowed in %s", box) << QString::fromLatin1(box) << u"x-1.a 2e+"_s << u"12"_s;
}

void SettingsDialogTest::typing()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Session s;
    s.typeInto(box, typed);
    s.leaveBox();
    QCOMPARE(s.text(box), shown);
    if (box.startsWith(u"txtPage"_s))
        QCOMPARE(s.get<QScrollBar>(box + u'D')->value(), shown.toInt());
}

void SettingsDialogTest::emptiedBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("filled");
    QTest::newRow("page width") << u"txtPageWidth"_s << u"200"_s;
    QTest::newRow("margin") << u"txtCanvasCustom(3)"_s << u"0"_s;
    QTest::newRow("thumbnail height") << u"txtResizeHeight"_s << u"0"_s;
}

void SettingsDialogTest::emptiedBox()
{
    QFETCH(QString, box);
    QFETCH(QString, filled);
    RegistrySettings start = defaultSettings();
    start.PageMarginBottom = 12;
    start.ThumbnailProportion = 0;
    Session s(start);
    QLineEdit *edit = s.box(box);
    edit->setFocus();
    edit->end(false);
    for (qsizetype i = edit->text().size(); i > 0; --i)
        QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), filled);
    QCOMPARE(edit->selectedText(), filled);
    QTest::keyClick(edit, Qt::Key_7);
    QCOMPARE(edit->text(), u"7"_s);
}

void SettingsDialogTest::spinArrows_data()
{
    QTest::addColumn<QString>("spin");
    QTest::addColumn<bool>("lower");
    QTest::addColumn<QString>("expected"); // the two boxes of the pair
    QTest::newRow("lower arrow adds one") << u"txtPageWidthD"_s << true << u"801 600"_s;
    QTest::newRow("upper arrow takes one") << u"txtPageHeightD"_s << false << u"800 599"_s;
    QTest::newRow("thumbnail spin couples") << u"txtResizeHeightD"_s << true << u"142 89"_s;
}

void SettingsDialogTest::spinArrows()
{
    QFETCH(QString, spin);
    QFETCH(bool, lower);
    Session s;
    clickArrow(s.get<QScrollBar>(spin), lower);
    const QString pair = spin.startsWith(u"txtPage"_s) ? u"txtPage"_s : u"txtResize"_s;
    QTEST(s.text(pair + u"Width"_s) + u' ' + s.text(pair + u"Height"_s), "expected");
}

void SettingsDialogTest::enteringPutsCaretAtEnd()
{
    Session s;
    for (const QString &name : {u"txtPageHeight"_s, u"txtCanvasCustom(0)"_s}) {
        QLineEdit *edit = s.box(name);
        edit->setCursorPosition(0);
        edit->setFocus(Qt::TabFocusReason); // a plain line edit would select everything
        QVERIFY2(!edit->hasSelectedText(), qPrintable(name));
        QCOMPARE(edit->cursorPosition(), int(edit->text().size()));
    }
}

void SettingsDialogTest::addTitleDisablesButKeeps()
{
    RegistrySettings start = defaultSettings();
    start.AddTitle = 1;
    start.AppendPageNumber = 1;
    start.Title = u"Holiday 2026"_s;
    Session s(start);
    const QStringList three{u"txtTitle"_s, u"chkAppendPageNumber"_s, u"cmdFont"_s};
    for (const QString &name : three)
        QVERIFY(s.get(name)->isEnabled());
    s.click(u"chkAddTitle"_s);
    for (const QString &name : three)
        QVERIFY2(!s.get(name)->isEnabled(), qPrintable(name));
    s.click(u"cmdOK"_s);
    QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
    QCOMPARE(s.record.AddTitle, 0);
    QCOMPARE(s.record.AppendPageNumber, 1);
    QCOMPARE(s.record.Title, u"Holiday 2026"_s);
}

void SettingsDialogTest::closingWithoutSaveLeavesRecord_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("title-bar close") << 1;
    QTest::newRow("Escape") << 2;
}

void SettingsDialogTest::closingWithoutSaveLeavesRecord()
{
    QFETCH(int, how);
    RegistrySettings start = defaultSettings();
    start.AddTitle = 1;
    Session s(start);
    s.colors.answer = {0x123456, false};
    s.fonts.answer = {u"Verdana"_s, false, true, false, 30, false, false, 0x0000FF};
    s.typeInto(u"txtPageWidth"_s, u"1024"_s);
    s.typeInto(u"txtCanvasCustom(2)"_s, u"15"_s);
    s.typeInto(u"txtResizeWidth"_s, u"200"_s);
    s.get<QComboBox>(u"cboProportion"_s)->setCurrentIndex(2);
    s.typeInto(u"txtTitle"_s, u" and more"_s);
    clickArrow(s.get<QScrollBar>(u"txtPageHeightD"_s), true);
    for (const char *control :
         {"chkUniformPlacement", "chkAppendPageNumber", "cmdFont", "cmdPageBackColor", "chkAddTitle"})
        s.click(QString::fromLatin1(control));

    if (how == 0)
        s.click(u"cmdCancel"_s);
    else if (how == 1)
        s.dialog->close();
    else
        QTest::keyClick(s.dialog.get(), Qt::Key_Escape);
    QVERIFY(!s.dialog->isVisible());
    QCOMPARE(s.dialog->result(), int(QDialog::Rejected));
    QVERIFY(s.record == start);
}

void SettingsDialogTest::fontAndColourReachRecordOnlyOnSave()
{
    RegistrySettings start = defaultSettings();
    start.AddTitle = 1;
    Session s(start);
    s.fonts.answer = {u"Verdana"_s, false, true, true, 13, true, true, 0x0000FF};
    s.colors.answer = {0x336699, false};

    s.click(u"cmdFont"_s);
    QCOMPARE(s.fonts.initialFontName, u"Arial"_s);
    QVERIFY(s.fonts.owner == s.dialog.get() && s.fonts.centred);
    const QFont sample = s.get(u"lblFont"_s)->font();
    QCOMPARE(sample.family(), u"Verdana"_s);
    QCOMPARE(sample.pointSize(), 13);
    QVERIFY(sample.bold() && sample.italic() && sample.underline() && sample.strikeOut());
    QCOMPARE(s.get(u"lblFont"_s)->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    s.click(u"cmdPageBackColor"_s);
    QVERIFY(s.colors.owner == s.dialog.get() && s.colors.centred);
    QCOMPARE(s.get(u"cmdPageBackColor"_s)->palette().color(QPalette::Button), resolveColor(0x336699));
    QVERIFY(s.record == start);

    s.click(u"cmdOK"_s);
    RegistrySettings expected = start;
    expected.TitleFontName = u"Verdana"_s;
    expected.TitleFontSize = 13;
    expected.TitleBold = expected.TitleItalic = expected.TitleUnderline = expected.TitleStrikeThru = true;
    expected.TitleFontColor = 0x0000FF;
    expected.PageBackColor = 0x336699;
    QVERIFY(s.record == expected);
}

void SettingsDialogTest::cancelledChoosersChangeNothing()
{
    RegistrySettings start = defaultSettings();
    start.AddTitle = 1;
    Session s(start);
    s.fonts.answer = {u"Verdana"_s, true};
    s.click(u"cmdFont"_s);
    s.fonts.answer = {QString(), false, true};
    s.click(u"cmdFont"_s); // confirmed without a face name
    QCOMPARE(s.get(u"lblFont"_s)->font().family(), u"Tahoma"_s);
    QVERIFY(!s.get(u"lblFont"_s)->font().bold());
    s.colors.answer = {0x336699, true};
    s.click(u"cmdPageBackColor"_s);
    s.colors.answer = {-1, false};
    s.click(u"cmdPageBackColor"_s);
    QCOMPARE(s.colors.calls, 2);
    s.click(u"cmdOK"_s);
    QVERIFY(s.record == start);
}

void SettingsDialogTest::storedValuesTheControlsCannotTake()
{
    RegistrySettings start = defaultSettings();
    start.ThumbnailWidth = 1200;
    start.ThumbnailHeight = 700;
    start.ThumbnailProportion = 7;
    start.PageWidth = 4000;
    start.PageBackColor = static_cast<std::int32_t>(0x8000000Fu);
    start.PageMarginTop = 150;
    Session s(start);
    QCOMPARE(s.get<QComboBox>(u"cboProportion"_s)->currentText(), u"No proportion"_s);
    QCOMPARE(s.text(u"txtResizeWidth"_s), u"1200"_s);
    QCOMPARE(s.text(u"txtPageWidth"_s), u"4000"_s);
    QCOMPARE(s.text(u"txtCanvasCustom(0)"_s), u"150"_s);

    s.click(u"cmdOK"_s);
    RegistrySettings expected = start;
    expected.ThumbnailProportion = 0; // what the list showed
    QVERIFY(s.record == expected);
}

void SettingsDialogTest::pastedTextKeepsOldValue()
{
    for (const auto &[box, pasted] : {std::pair{"txtPageWidth", "wide"}, {"txtResizeHeight", "-"}}) {
        Session s;
        QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
        QLineEdit *edit = s.box(QString::fromLatin1(box));
        edit->setFocus();
        edit->selectAll();
        edit->paste();
        QCOMPARE(edit->text(), QString::fromLatin1(pasted));
        s.click(u"cmdOK"_s); // leaves the box too
        QVERIFY2(s.record == defaultSettings(), box);
    }
}

void SettingsDialogTest::enterSavesWhatTheBoxShows()
{
    for (const auto &[typed, saved] : {std::pair{"1024", 1024}, {"9999", 3000}}) {
        Session s;
        s.typeInto(u"txtPageWidth"_s, QString::fromLatin1(typed));
        QTest::keyClick(s.box(u"txtPageWidth"_s), Qt::Key_Return);
        QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(s.record.PageWidth, saved);
    }
}

void SettingsDialogTest::storedFromBox()
{
    using settingsrules::storedFromBox;
    QCOMPARE(storedFromBox<std::int16_t>(u" 45 "_s, 77), 45);
    QCOMPARE(storedFromBox<std::int16_t>(u"-5"_s, 77), -5);
    for (const QString &bad : {QString(), u"12.5"_s, u"52427"_s})
        QCOMPARE(storedFromBox<std::int16_t>(bad, 77), 77);
}

QTEST_MAIN(SettingsDialogTest)
#include "settingsdialog_test.moc"
