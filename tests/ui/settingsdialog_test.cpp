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
#include <QStyleOptionSlider>
#include <QTest>

using namespace pagorra;

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
    void leaveBox() const { get(QStringLiteral("cboProportion"))->setFocus(); }
    void click(const QString &name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
};

// Clicks one arrow of a spin, where the style draws it.
void clickArrow(QScrollBar *spin, QStyle::SubControl arrow)
{
    QStyleOptionSlider option;
    option.initFrom(spin);
    option.orientation = spin->orientation();
    option.minimum = spin->minimum();
    option.maximum = spin->maximum();
    option.sliderPosition = spin->sliderPosition();
    option.sliderValue = spin->value();
    option.singleStep = spin->singleStep();
    option.pageStep = spin->pageStep();
    option.subControls = QStyle::SC_All;
    const QRect rect = spin->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, spin);
    QTest::mouseClick(spin, Qt::LeftButton, {}, rect.center());
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
    QCOMPARE(s.get<QComboBox>(QStringLiteral("cboProportion"))->currentText(), QStringLiteral("Wide Screen 16:9"));
    QCOMPARE(s.text(QStringLiteral("txtResizeWidth")), QStringLiteral("140"));
    QCOMPARE(s.text(QStringLiteral("txtResizeHeight")), QStringLiteral("88"));
    QCOMPARE(s.get<QScrollBar>(QStringLiteral("txtPageHeightD"))->value(), 600);
    QCOMPARE(s.text(QStringLiteral("txtCanvasCustom(3)")), QStringLiteral("0"));
    for (const auto &[spin, maximum] : {std::pair{"txtPageWidthD", 3000}, {"txtResizeWidthD", 960}, {"txtResizeHeightD", 600}})
        QCOMPARE(s.get<QScrollBar>(QString::fromLatin1(spin))->maximum(), maximum);
    QVERIFY(s.get<QCheckBox>(QStringLiteral("chkUniformPlacement"))->isChecked());
    QVERIFY(!s.get(QStringLiteral("txtTitle"))->isEnabled()); // AddTitle is 0
    QCOMPARE(s.get(QStringLiteral("cmdPageBackColor"))->palette().color(QPalette::Button), QColor(Qt::white));
    QCOMPARE(s.get(QStringLiteral("lblFont"))->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(s.get(QStringLiteral("lblFont"))->font().pointSize(), 20);
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
    const QString w = QStringLiteral("txtResizeWidth");
    const QString h = QStringLiteral("txtResizeHeight");
    QTest::newRow("opening recomputes a stored height") << 100 << 1 << -1 << w << QString() << 140 << 88;
    QTest::newRow("no proportion opens as stored") << 100 << 0 << -1 << w << QString() << 140 << 100;
    QTest::newRow("width 100 rounds 62.5 to 62") << 88 << 1 << -1 << w << QStringLiteral("100") << 100 << 62;
    QTest::newRow("height 88 gives width 141") << 88 << 1 << -1 << h << QStringLiteral("88") << 141 << 88;
    QTest::newRow("choosing 4:3 with width 140") << 88 << 1 << 2 << w << QString() << 140 << 105;
    QTest::newRow("choosing 16:9 from none") << 100 << 0 << 1 << w << QString() << 140 << 88;
    QTest::newRow("no proportion, height alone") << 88 << 0 << -1 << h << QStringLiteral("50") << 140 << 50;
    QTest::newRow("4:3 height 999") << 88 << 2 << -1 << h << QStringLiteral("999") << 1332 << 999;
    QTest::newRow("16:9 height 999, wider than typing allows")
        << 88 << 1 << -1 << h << QStringLiteral("999") << 1598 << 999;
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
        s.get<QComboBox>(QStringLiteral("cboProportion"))->setCurrentIndex(choose);
    if (!typed.isEmpty())
        s.typeInto(box, typed);
    QCOMPARE(s.text(QStringLiteral("txtResizeWidth")), QString::number(width));
    QCOMPARE(s.text(QStringLiteral("txtResizeHeight")), QString::number(height));
    if (width <= 960)
        QCOMPARE(s.get<QScrollBar>(QStringLiteral("txtResizeWidthD"))->value(), width);
    if (height <= 600)
        QCOMPARE(s.get<QScrollBar>(QStringLiteral("txtResizeHeightD"))->value(), height);

    s.click(QStringLiteral("cmdOK"));
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
    QTest::newRow("page width 5000") << QStringLiteral("txtPageWidth") << QStringLiteral("5000") << QStringLiteral("3000");
    QTest::newRow("page height 3001") << QStringLiteral("txtPageHeight") << QStringLiteral("3001") << QStringLiteral("3000");
    QTest::newRow("page width, five digits")
        << QStringLiteral("txtPageWidth") << QStringLiteral("12345") << QStringLiteral("1234");
    QTest::newRow("margin 150 cannot be typed")
        << QStringLiteral("txtCanvasCustom(1)") << QStringLiteral("150") << QStringLiteral("15");
    QTest::newRow("thumbnail, four digits")
        << QStringLiteral("txtResizeWidth") << QStringLiteral("1234") << QStringLiteral("123");
    for (const char *box : {"txtPageWidth", "txtCanvasCustom(0)", "txtResizeWidth"})
        QTest::addRow("letters swallowed in %s", box)
            << QString::fromLatin1(box) << QStringLiteral("x-1.a 2e+") << QStringLiteral("12");
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
    if (box.startsWith(QStringLiteral("txtPage")))
        QCOMPARE(s.get<QScrollBar>(box + u'D')->value(), shown.toInt());
}

void SettingsDialogTest::emptiedBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("filled");
    QTest::newRow("page width") << QStringLiteral("txtPageWidth") << QStringLiteral("200");
    QTest::newRow("margin") << QStringLiteral("txtCanvasCustom(3)") << QStringLiteral("0");
    QTest::newRow("thumbnail height") << QStringLiteral("txtResizeHeight") << QStringLiteral("0");
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
    QCOMPARE(edit->text(), QStringLiteral("7"));
}

void SettingsDialogTest::spinArrows_data()
{
    QTest::addColumn<QString>("spin");
    QTest::addColumn<int>("arrow");
    QTest::addColumn<QString>("expected"); // the two boxes of the pair
    QTest::newRow("lower arrow adds one")
        << QStringLiteral("txtPageWidthD") << int(QStyle::SC_ScrollBarAddLine) << QStringLiteral("801 600");
    QTest::newRow("upper arrow takes one")
        << QStringLiteral("txtPageHeightD") << int(QStyle::SC_ScrollBarSubLine) << QStringLiteral("800 599");
    QTest::newRow("thumbnail spin couples")
        << QStringLiteral("txtResizeHeightD") << int(QStyle::SC_ScrollBarAddLine) << QStringLiteral("142 89");
}

void SettingsDialogTest::spinArrows()
{
    QFETCH(QString, spin);
    QFETCH(int, arrow);
    Session s;
    clickArrow(s.get<QScrollBar>(spin), QStyle::SubControl(arrow));
    const QString pair = spin.startsWith(QStringLiteral("txtPage")) ? QStringLiteral("txtPage") : QStringLiteral("txtResize");
    QTEST(s.text(pair + QStringLiteral("Width")) + u' ' + s.text(pair + QStringLiteral("Height")), "expected");
}

void SettingsDialogTest::enteringPutsCaretAtEnd()
{
    Session s;
    for (const QString &name : {QStringLiteral("txtPageHeight"), QStringLiteral("txtCanvasCustom(0)")}) {
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
    start.Title = QStringLiteral("Holiday 2026");
    Session s(start);
    const QStringList three{QStringLiteral("txtTitle"), QStringLiteral("chkAppendPageNumber"),
                            QStringLiteral("cmdFont")};
    for (const QString &name : three)
        QVERIFY(s.get(name)->isEnabled());
    s.click(QStringLiteral("chkAddTitle"));
    for (const QString &name : three)
        QVERIFY2(!s.get(name)->isEnabled(), qPrintable(name));
    s.click(QStringLiteral("cmdOK"));
    QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
    QCOMPARE(s.record.AddTitle, 0);
    QCOMPARE(s.record.AppendPageNumber, 1);
    QCOMPARE(s.record.Title, QStringLiteral("Holiday 2026"));
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
    s.fonts.answer = {QStringLiteral("Verdana"), false, true, false, 30, false, false, 0x0000FF};
    s.typeInto(QStringLiteral("txtPageWidth"), QStringLiteral("1024"));
    s.typeInto(QStringLiteral("txtCanvasCustom(2)"), QStringLiteral("15"));
    s.typeInto(QStringLiteral("txtResizeWidth"), QStringLiteral("200"));
    s.get<QComboBox>(QStringLiteral("cboProportion"))->setCurrentIndex(2);
    s.typeInto(QStringLiteral("txtTitle"), QStringLiteral(" and more"));
    clickArrow(s.get<QScrollBar>(QStringLiteral("txtPageHeightD")), QStyle::SC_ScrollBarAddLine);
    for (const char *control : {"chkUniformPlacement", "chkAppendPageNumber", "cmdFont", "cmdPageBackColor", "chkAddTitle"})
        s.click(QString::fromLatin1(control));

    if (how == 0)
        s.click(QStringLiteral("cmdCancel"));
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
    s.fonts.answer = {QStringLiteral("Verdana"), false, true, true, 13, true, true, 0x0000FF};
    s.colors.answer = {0x336699, false};

    s.click(QStringLiteral("cmdFont"));
    QCOMPARE(s.fonts.initialFontName, QStringLiteral("Arial"));
    QVERIFY(s.fonts.owner == s.dialog.get() && s.fonts.centred);
    const QFont sample = s.get(QStringLiteral("lblFont"))->font();
    QCOMPARE(sample.family(), QStringLiteral("Verdana"));
    QCOMPARE(sample.pointSize(), 13);
    QVERIFY(sample.bold() && sample.italic() && sample.underline() && sample.strikeOut());
    QCOMPARE(s.get(QStringLiteral("lblFont"))->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    s.click(QStringLiteral("cmdPageBackColor"));
    QVERIFY(s.colors.owner == s.dialog.get() && s.colors.centred);
    QCOMPARE(s.get(QStringLiteral("cmdPageBackColor"))->palette().color(QPalette::Button), resolveColor(0x336699));
    QVERIFY(s.record == start);

    s.click(QStringLiteral("cmdOK"));
    RegistrySettings expected = start;
    expected.TitleFontName = QStringLiteral("Verdana");
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
    s.fonts.answer = {QStringLiteral("Verdana"), true};
    s.click(QStringLiteral("cmdFont"));
    s.fonts.answer = {QString(), false, true};
    s.click(QStringLiteral("cmdFont")); // confirmed without a face name
    QCOMPARE(s.get(QStringLiteral("lblFont"))->font().family(), QStringLiteral("Tahoma"));
    QVERIFY(!s.get(QStringLiteral("lblFont"))->font().bold());
    s.colors.answer = {0x336699, true};
    s.click(QStringLiteral("cmdPageBackColor"));
    s.colors.answer = {-1, false};
    s.click(QStringLiteral("cmdPageBackColor"));
    QCOMPARE(s.colors.calls, 2);
    s.click(QStringLiteral("cmdOK"));
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
    QCOMPARE(s.get<QComboBox>(QStringLiteral("cboProportion"))->currentText(), QStringLiteral("No proportion"));
    QCOMPARE(s.text(QStringLiteral("txtResizeWidth")), QStringLiteral("1200"));
    QCOMPARE(s.text(QStringLiteral("txtPageWidth")), QStringLiteral("4000"));
    QCOMPARE(s.text(QStringLiteral("txtCanvasCustom(0)")), QStringLiteral("150"));

    s.click(QStringLiteral("cmdOK"));
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
        s.click(QStringLiteral("cmdOK")); // leaves the box too
        QVERIFY2(s.record == defaultSettings(), box);
    }
}

void SettingsDialogTest::enterSavesWhatTheBoxShows()
{
    for (const auto &[typed, saved] : {std::pair{"1024", 1024}, {"9999", 3000}}) {
        Session s;
        s.typeInto(QStringLiteral("txtPageWidth"), QString::fromLatin1(typed));
        QTest::keyClick(s.box(QStringLiteral("txtPageWidth")), Qt::Key_Return);
        QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(s.record.PageWidth, saved);
    }
}

void SettingsDialogTest::storedFromBox()
{
    using settingsrules::storedFromBox;
    QCOMPARE(storedFromBox<std::int16_t>(QStringLiteral(" 45 "), 77), 45);
    QCOMPARE(storedFromBox<std::int16_t>(QStringLiteral("-5"), 77), -5);
    for (const QString &bad : {QString(), QStringLiteral("12.5"), QStringLiteral("52427")})
        QCOMPARE(storedFromBox<std::int16_t>(bad, 77), 77);
}

QTEST_MAIN(SettingsDialogTest)
#include "settingsdialog_test.moc"
