// The Settings dialog typed into and clicked as a user would, with scripted colour and font
// choosers that record how they were asked.
#include "core/colors.h"
#include "core/settings.h"
#include "output/commondialogs.h"
#include "ui/settingsdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

// Answers the choosers the way a user would, and remembers how they were asked.
struct ScriptedChoosers : ColorDialog, FontDialog {
    ColorDialogResult color{0, true};
    FontDialogResult font{{}, true};
    QStringList asked; // "colour" or the initial face name, each with "centred over <owner>"

    ColorDialogResult showColorDialog(QWidget *owner, bool centre) override
    {
        asked << u"colour centred %1 over %2"_s.arg(centre).arg(owner->objectName());
        return color;
    }
    FontDialogResult showFontDialog(QWidget *owner, const QString &initial, bool centre) override
    {
        asked << u"%1 centred %2 over %3"_s.arg(initial).arg(centre).arg(owner->objectName());
        return font;
    }
};

// One opened dialog over a record.
struct Session {
    RegistrySettings record;
    ScriptedChoosers choosers;
    std::unique_ptr<SettingsDialog> dialog;

    explicit Session(const RegistrySettings &start = defaultSettings(), const QString &samplePhoto = {}) : record(start)
    {
        dialog = std::make_unique<SettingsDialog>(record, choosers, choosers, nullptr, samplePhoto);
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
        box(name)->setFocus();
        box(name)->selectAll();
        QTest::keyClicks(box(name), keys);
    }
    void leaveBox() const { get(u"cboProportion"_s)->setFocus(); }
    // Near the left edge, where a check box's mark is, whatever the width of the box.
    void click(const QString &name) const
    {
        QTest::mouseClick(get(name), Qt::LeftButton, {}, QPoint(8, get(name)->height() / 2));
    }
    // The spin's lower or upper arrow where the user sees it, a few pixels from that end.
    void clickArrow(const QString &name, bool lower) const
    {
        auto *spin = get<QScrollBar>(name);
        QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, lower ? spin->height() - 3 : 2));
    }
    QString pair(const QString &prefix) const { return text(prefix + u"Width"_s) + u' ' + text(prefix + u"Height"_s); }
};

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    // The thumbnail size follows the proportion in force, on opening, choosing and typing.
    void coupling()
    {
        const struct {
            int storedHeight, proportion, choose; // choose: list entry the user picks, -1 none
            const char16_t *box, *typed, *shown;
        } rows[] = {
            {100, 1, -1, u"Width", u"", u"140 88"}, // opening recomputes a stored height
            {100, 0, -1, u"Width", u"", u"140 100"},
            {88, 1, -1, u"Width", u"100", u"100 62"}, // 62.5 rounds to 62
            {88, 1, -1, u"Height", u"88", u"141 88"},
            {88, 1, 2, u"Width", u"", u"140 105"}, // choosing 4:3
            {100, 0, 1, u"Width", u"", u"140 88"}, // choosing 16:9 from none
            {88, 2, -1, u"Height", u"300", u"400 300"},
            {88, 1, -1, u"Height", u"999", u"1598 999"}, // wider than typing allows
        };
        for (const auto &row : rows) {
            RegistrySettings start = defaultSettings();
            start.ThumbnailHeight = std::int16_t(row.storedHeight);
            start.ThumbnailProportion = std::int16_t(row.proportion);
            Session s(start);
            if (row.choose >= 0)
                s.get<QComboBox>(u"cboProportion"_s)->setCurrentIndex(row.choose);
            if (*row.typed)
                s.typeInto(u"txtResize"_s + QString::fromUtf16(row.box), QString::fromUtf16(row.typed));
            QCOMPARE(s.pair(u"txtResize"_s), QString::fromUtf16(row.shown));
            const int height = s.pair(u"txtResize"_s).section(u' ', 1).toInt();
            if (height <= 600) // beyond what the spin reaches, it stays where it was
                QCOMPARE(s.get<QScrollBar>(u"txtResizeHeightD"_s)->value(), height);
            s.click(u"cmdOK"_s);
            QCOMPARE(QString::number(s.record.ThumbnailWidth) + u' ' + QString::number(s.record.ThumbnailHeight),
                     s.pair(u"txtResize"_s));
            QCOMPARE(s.record.ThumbnailProportion, row.choose >= 0 ? row.choose : row.proportion);
        }
    }

    // What a box shows after typing and leaving it: the key filter, the digit limit, the maximum;
    // an emptied box that fills itself again; and the spin arrows.
    void boxesKeepTheirLimits()
    {
        const struct {
            const char16_t *box, *typed, *shown;
        } rows[] = {
            {u"txtPageWidth", u"5000", u"3000"},          {u"txtPageHeight", u"3001", u"3000"},
            {u"txtPageWidth", u"12345", u"1234"},         {u"txtCanvasCustom(1)", u"150", u"15"},
            {u"txtResizeWidth", u"1234", u"123"},         {u"txtPageWidth", u"x-1.a 2e+", u"12"},
            {u"txtCanvasCustom(0)", u"x-1.a 2e+", u"12"}, {u"txtResizeWidth", u"x-1.a 2e+", u"12"},
        };
        for (const auto &row : rows) {
            Session s;
            s.typeInto(QString::fromUtf16(row.box), QString::fromUtf16(row.typed));
            s.leaveBox();
            QCOMPARE(s.text(QString::fromUtf16(row.box)), QString::fromUtf16(row.shown));
        }

        Session s;
        // An emptied page box fills itself with 200, selected, and typing replaces it.
        QLineEdit *width = s.box(u"txtPageWidth"_s);
        width->setFocus();
        width->end(false);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(width, Qt::Key_Backspace);
        QCOMPARE(width->text() + u'|' + width->selectedText(), u"200|200"_s);
        QTest::keyClick(width, Qt::Key_8);
        QCOMPARE(width->text(), u"8"_s);
        s.leaveBox();
        const auto maximum = [&s](const char16_t *spin) {
            return s.get<QScrollBar>(QString::fromUtf16(spin))->maximum();
        };
        QCOMPARE(QList<int>({maximum(u"txtPageWidthD"), maximum(u"txtResizeWidthD"), maximum(u"txtResizeHeightD")}),
                 QList<int>({3000, 960, 600}));
        s.clickArrow(u"txtPageWidthD"_s, true); // the lower arrow adds one
        s.clickArrow(u"txtPageHeightD"_s, false);
        QCOMPARE(s.pair(u"txtPage"_s), u"9 599"_s);
        s.clickArrow(u"txtResizeHeightD"_s, true);
        QCOMPARE(s.pair(u"txtResize"_s), u"142 89"_s);
        // Entering a box puts the caret at its end rather than selecting it all.
        QLineEdit *edit = s.box(u"txtCanvasCustom(0)"_s);
        edit->setCursorPosition(0);
        edit->setFocus(Qt::TabFocusReason);
        QVERIFY(!edit->hasSelectedText());
        QCOMPARE(edit->cursorPosition(), int(edit->text().size()));
    }

    // What Save stores from a box: the number it shows, or the old value for text that is none.
    void saveStoresWhatTheBoxShows()
    {
        for (const auto &[typed, saved] : {std::pair{"1024", 1024}, {"9999", 3000}}) {
            Session s;
            s.typeInto(u"txtPageWidth"_s, QString::fromLatin1(typed));
            QTest::keyClick(s.box(u"txtPageWidth"_s), Qt::Key_Return);
            QCOMPARE(s.dialog->result(), int(QDialog::Accepted));
            QCOMPARE(s.record.PageWidth, saved);
        }
        for (const auto &[box, pasted] : {std::pair{"txtPageWidth", "wide"}, {"txtResizeHeight", "-"}}) {
            Session s;
            QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
            s.box(QString::fromLatin1(box))->setFocus();
            s.box(QString::fromLatin1(box))->selectAll();
            s.box(QString::fromLatin1(box))->paste();
            QCOMPARE(s.text(QString::fromLatin1(box)), QString::fromLatin1(pasted));
            s.click(u"cmdOK"_s);
            QCOMPARE(s.record, defaultSettings());
        }
        // Stored values the controls cannot take are kept, except the proportion the list showed.
        RegistrySettings start = defaultSettings();
        start.ThumbnailWidth = 1200;
        start.ThumbnailHeight = 700;
        start.ThumbnailProportion = 7;
        start.PageWidth = 4000;
        start.PageBackColor = std::int32_t(0x8000000Fu);
        start.PageMarginTop = 150;
        Session s(start);
        QCOMPARE(s.get<QComboBox>(u"cboProportion"_s)->currentText(), u"No proportion"_s);
        QCOMPARE(s.text(u"txtResizeWidth"_s) + s.text(u"txtPageWidth"_s) + s.text(u"txtCanvasCustom(0)"_s),
                 u"12004000150"_s);
        s.click(u"cmdOK"_s);
        start.ThumbnailProportion = 0;
        QCOMPARE(s.record, start);
    }

    // A paper fills the page boxes with its size in layout pixels; a page size typed after it is
    // no paper; Save keeps the paper and output choices in the record's Output section.
    void paperFillsThePageSize()
    {
        const struct {
            const char16_t *paper;
            int orientation;
            double width, height; // the custom size, in `units`
            const char16_t *units, *boxes;
        } rows[] = {
            {u"A4", 0, 0, 0, u"", u"794 1123"},          {u"A4", 1, 0, 0, u"", u"1123 794"},
            {u"Letter", 0, 0, 0, u"", u"816 1056"},      {u"A5", 1, 0, 0, u"", u"794 559"},
            {u"Custom", 0, 100, 150, u"mm", u"378 567"}, {u"Custom", 0, 5, 7, u"in", u"480 672"},
        };
        for (const auto &row : rows) {
            Session s;
            auto *paper = s.get<QComboBox>(u"cboPaper"_s);
            paper->setCurrentIndex(paper->findText(QString::fromUtf16(row.paper)));
            s.get<QComboBox>(u"cboOrientation"_s)->setCurrentIndex(row.orientation);
            if (row.width > 0) {
                auto *units = s.get<QComboBox>(u"cboPaperUnits"_s);
                units->setCurrentIndex(units->findText(QString::fromUtf16(row.units)));
                s.get<QDoubleSpinBox>(u"txtPaperWidth"_s)->setValue(row.width);
                s.get<QDoubleSpinBox>(u"txtPaperHeight"_s)->setValue(row.height);
            }
            QCOMPARE(s.pair(u"txtPage"_s), QString::fromUtf16(row.boxes));
            QCOMPARE(s.get<QScrollBar>(u"txtPageHeightD"_s)->value(), s.text(u"txtPageHeight"_s).toInt());
            s.click(u"cmdOK"_s);
            QCOMPARE(s.record.Output.Paper, QString::fromUtf16(row.paper));
        }
        RegistrySettings start = defaultSettings();
        start.Output.Paper = u"A3"_s;
        start.PageWidth = 1123, start.PageHeight = 1587;
        Session s(start);
        QCOMPARE(s.get<QComboBox>(u"cboPaper"_s)->currentText(), u"A3"_s);
        s.get<QComboBox>(u"cboResolution"_s)->setCurrentIndex(3);
        s.click(u"chkPdfLinks"_s);
        s.click(u"chkAllFormats"_s);
        s.typeInto(u"txtPageWidth"_s, u"1000"_s);
        QCOMPARE(s.get<QComboBox>(u"cboPaper"_s)->currentIndex(), 0);
        s.click(u"cmdOK"_s);
        QCOMPARE(u"%1 %2 %3 %4 %5"_s.arg(s.record.PageWidth)
                     .arg(s.record.Output.Paper)
                     .arg(s.record.Output.Resolution)
                     .arg(s.record.Output.PdfLinks)
                     .arg(s.record.Input.ReadAllFormats),
                 u"1000  300 1 1"_s);
    }

    // An unknown token is named as it is typed and keeps Save from closing the dialog. Two lines
    // and the font chosen reach the record on Save; the sample is the photo given, its caption
    // in the chosen colour below it.
    void captionsAreCheckedAsTypedAndSaved()
    {
        Session s(defaultSettings(), u"" PAGORRA_TESTDATA "/photos/exifsamples_jolla.jpg"_s);
        s.get<QTabWidget>(u"tabSettings"_s)->setCurrentIndex(2);
        s.typeInto(u"txtCaption"_s, u"{name} {nmae}"_s);
        QCOMPARE(s.get<QLabel>(u"lblCaptionProblem"_s)->text().left(51),
                 u"The caption needs known tokens only, not {nmae} (kn"_s);
        s.click(u"cmdOK"_s);
        QVERIFY(s.dialog->isVisible());
        s.typeInto(u"txtCaption"_s, u"{name}"_s);
        s.typeInto(u"txtCaption2"_s, u"{width}x{height}"_s);
        s.choosers.font = {u"DejaVu Serif"_s, false, false, false, 9, false, false, 0x0000FF};
        s.click(u"cmdCaptionFont"_s);
        const QImage sample =
            s.get<QLabel>(u"picCaptionSample"_s)->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(sample.height() > 88 + 20);
        int photo = 0, red = 0;
        for (int y = 0; y < sample.height(); ++y) {
            for (int x = 0; x < sample.width(); ++x) {
                const QRgb pixel = sample.pixel(x, y);
                if (y < 88)
                    photo += pixel != qRgb(255, 255, 255);
                else
                    red += qRed(pixel) > 200 && qGreen(pixel) < 80;
            }
        }
        QVERIFY(photo > 5000 && red > 20);
        s.click(u"cmdOK"_s);
        QVERIFY(!s.dialog->isVisible());
        QCOMPARE(s.record.Captions.Caption, u"{name}\n{width}x{height}"_s);
        QCOMPARE(s.record.Captions.CaptionFontName + QString::number(s.record.Captions.CaptionFontColor),
                 u"DejaVu Serif255"_s);
    }

    // Every change shows at once and reaches the record only on Save; Cancel, the title bar's
    // close and Escape leave it as it was. Add Title off disables the title controls but keeps
    // their values; the choosers open centred over the dialog.
    void changesReachTheRecordOnlyOnSave()
    {
        RegistrySettings start = defaultSettings();
        start.AddTitle = 1;
        RegistrySettings saved = start;
        saved.PageWidth = 1024;
        saved.PageMarginTop = 15;
        saved.ThumbnailProportion = 2;
        saved.ThumbnailHeight = 105;
        saved.Title = u"Trip"_s;
        saved.ThumbnailUniformPlacement = saved.AddTitle = 0;
        saved.TitleFontName = u"Verdana"_s;
        saved.TitleFontSize = 13;
        saved.TitleBold = saved.TitleItalic = saved.TitleUnderline = saved.TitleStrikeThru = true;
        saved.TitleFontColor = 0x0000FF;
        saved.PageBackColor = 0x336699;
        for (int how = 0; how < 4; ++how) { // Cancel, the title bar's close, Escape, Save
            Session s(start);
            s.dialog->setObjectName(u"frmSettings"_s);
            s.choosers.font = {u"Verdana"_s, false, true, true, 13, true, true, 0x0000FF};
            s.choosers.color = {0x336699, false};
            s.typeInto(u"txtPageWidth"_s, u"1024"_s);
            s.typeInto(u"txtCanvasCustom(0)"_s, u"15"_s);
            s.get<QComboBox>(u"cboProportion"_s)->setCurrentIndex(2);
            s.typeInto(u"txtTitle"_s, u"Trip"_s);
            for (const char16_t *control : {u"chkUniformPlacement", u"cmdFont", u"cmdPageBackColor", u"chkAddTitle"})
                s.click(QString::fromUtf16(control));
            QCOMPARE(s.choosers.asked,
                     (QStringList{u"Arial centred 1 over frmSettings"_s, u"colour centred 1 over frmSettings"_s}));
            const QFont sample = s.get(u"lblFont"_s)->font();
            QCOMPARE(sample.family() + QString::number(sample.pointSize()), u"Verdana13"_s);
            QVERIFY(sample.bold() && sample.italic() && sample.underline() && sample.strikeOut());
            QCOMPARE(s.get(u"lblFont"_s)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
            QCOMPARE(s.get(u"cmdPageBackColor"_s)->palette().color(QPalette::Button), resolveColor(0x336699));
            for (const char16_t *name : {u"txtTitle", u"chkAppendPageNumber", u"cmdFont"})
                QVERIFY(!s.get(QString::fromUtf16(name))->isEnabled());
            QCOMPARE(s.record, start);
            if (how == 0)
                s.click(u"cmdCancel"_s);
            else if (how == 1)
                s.dialog->close();
            else
                QTest::keyClick(how == 2 ? static_cast<QWidget *>(s.dialog.get()) : s.get(u"cmdOK"_s),
                                how == 2 ? Qt::Key_Escape : Qt::Key_Space);
            QVERIFY(!s.dialog->isVisible());
            QCOMPARE(s.record, how == 3 ? saved : start);
        }
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settingsdialog_test.moc"
