// The main window's three tool modes, chosen through the menu: what each shows, what
// switching keeps, and that every caption fits its control.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QtTest>
#include <algorithm>
#include <cstring>

#include "directory_list.h"
#include "file_list_view.h"
#include "help_window.h"
#include "report_list.h"
#include "window_fixtures.h"
#include "window_fonts.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

// Two ATR images, one XEX file, a hidden image and a directory matching the pattern.
void FillStartDirectory(const std::filesystem::path& directory) {
    WriteImages(directory, {{"b.atr", ImageKind::Good128},
                            {"A.ATR", ImageKind::TooShort},
                            {".hidden.atr", ImageKind::Good128}});
    WriteXex(directory / "game.xex", 300);
    std::filesystem::create_directory(directory / "folder.atr");
}

struct Mode {
    const char* action;
    const char* title;
    QColor background;
    bool options, check, conversion, generation;
    int dir_height;
    const char* count_caption;
    const char* frame_title;
    QStringList files;
};

}  // namespace

class ToolModesTest : public QObject {
    Q_OBJECT

  private slots:
    void eachModeShowsItsControls();
    void buttonsFollowTheCount();
    void switchingKeepsTheReportAndTheChoices();
    void captionsFitTheirControls();
    void exitClosesTheWindow();
};

void ToolModesTest::eachModeShowsItsControls() {
    TempDir dir;
    FillStartDirectory(dir.path());
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    const QWidget* w = &h.window();
    const QStringList atr = {"A.ATR", "b.atr"};
    const std::vector<Mode> modes = {
        {"ATRmenu", "ATR File Check and Repair", QColor(0, 0, 255), true, true, false, false, 96,
         "Number of found ATR files:", "", atr},
        {"XEXmenu",
         "XEX to ATR File Converter",
         QColor(255, 0, 0),
         false,
         false,
         true,
         false,
         216,
         "Number of found XEX files:",
         "",
         {"game.xex"}},
        {"Generatemenu", "ATR File Generator", QColor(0, 192, 0), false, false, false, true, 96,
         "Number of found ATR files:", "Filename", atr},
    };
    // The window starts in the check tool; then each mode is entered from another one.
    QCOMPARE(c.lblname->text(), QString::fromLatin1(modes[0].title));
    QCOMPARE(h.FileListEntries(), atr);
    for (const char* action : {"XEXmenu", "ATRmenu", "Generatemenu", "XEXmenu", "ATRmenu"}) {
        h.Trigger(action);
        const Mode& m = *std::find_if(modes.begin(), modes.end(), [&](const Mode& mode) {
            return std::strcmp(mode.action, action) == 0;
        });
        qInfo("%s", action);
        QCOMPARE(c.lblname->text(), QString::fromLatin1(m.title));
        QCOMPARE(c.lblname->palette().color(QPalette::Window), m.background);
        QCOMPARE(c.Option_Frm->isVisibleTo(w), m.options);
        QCOMPARE(c.Frame1->isVisibleTo(w), !m.conversion);
        QCOMPARE(c.Frame1->title(), QString::fromLatin1(m.frame_title));
        QCOMPARE(c.source_dir->height(), m.dir_height);
        QCOMPARE(c.cmd_start_test->isVisibleTo(w), m.check);
        QCOMPARE(c.cmd_start_repair->isVisibleTo(w), m.check);
        QCOMPARE(c.chk_expand_images->isVisibleTo(w), m.check);
        QCOMPARE(c.Cmd_start_conversion->isVisibleTo(w), m.conversion);
        QCOMPARE(c.Cmd_generation->isVisibleTo(w), m.generation);
        QCOMPARE(c.Txt_filename->isVisibleTo(w), m.generation);
        QCOMPARE(c.Frm_atr_gen->isVisibleTo(w), m.generation);
        QCOMPARE(c.Frm_image_size->isVisibleTo(w), m.generation);
        QCOMPARE(c.Label1->text(), QString::fromLatin1(m.count_caption));
        QCOMPARE(h.FileListEntries(), m.files);
        QCOMPARE(c.source_count->text(), QString::number(m.files.size()));
    }
}

void ToolModesTest::buttonsFollowTheCount() {
    TempDir dir;
    WriteXex(dir / "one.xex", 300);
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    for (const auto& [action, count] :
         {std::pair{"ATRmenu", 0}, {"XEXmenu", 1}, {"Generatemenu", 0}}) {
        h.Trigger(action);
        QCOMPARE(c.source_count->text(), QString::number(count));
        for (const QPushButton* b :
             {c.cmd_start_test, c.cmd_start_repair, c.Cmd_start_conversion}) {
            QCOMPARE(b->isEnabled(), count > 0);
        }
    }
    // The generator needs no files.
    QVERIFY(c.Cmd_generation->isEnabled() && c.Cmd_generation->isVisible());
}

void ToolModesTest::switchingKeepsTheReportAndTheChoices() {
    TempDir dir;
    FillStartDirectory(dir.path());
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    QVERIFY(c.Opt_both->isChecked() && c.chk_expand_images->isChecked());
    QCOMPARE(c.Txt_filename->text(), QStringLiteral("NEWFILE"));
    c.cmd_start_test->click();
    const std::vector<std::string> report = h.ReportLines();
    QVERIFY(!report.empty());
    c.Opt_long->setChecked(true);
    c.chk_expand_images->setChecked(false);
    c.Txt_filename->setText(QStringLiteral("DISK"));
    h.state.repair_mode = true;

    for (const char* action : {"XEXmenu", "Generatemenu", "Generatemenu", "ATRmenu", "ATRmenu"}) {
        h.Trigger(action);
        QCOMPARE(h.ReportLines(), report);
    }
    QVERIFY(c.Opt_long->isChecked() && !c.chk_expand_images->isChecked());
    QCOMPARE(c.Txt_filename->text(), QStringLiteral("DISK"));
    QVERIFY(h.state.repair_mode);
    QCOMPARE(c.ProgressBar1->value(), 0);
}

void ToolModesTest::captionsFitTheirControls() {
    TempDir dir;
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    auto fits = [](const QWidget* widget, const QString& text, int room) {
        const int needed = widget->fontMetrics().horizontalAdvance(text);
        if (needed > room) {
            qWarning("%s needs %d pixels for \"%s\", has %d", qPrintable(widget->objectName()),
                     needed, qPrintable(text), room);
        }
        return needed <= room;
    };
    for (const char* action : {"ATRmenu", "XEXmenu", "Generatemenu"}) {
        h.Trigger(action);
        QVERIFY(fits(c.lblname, c.lblname->text(), c.lblname->width()));
        // Label1 ends where source_count, which overlaps it, begins.
        QVERIFY(fits(c.Label1, c.Label1->text(), c.source_count->x() - c.Label1->x()));
    }
    for (const QAbstractButton* box : std::initializer_list<const QAbstractButton*>{
             c.Opt_short, c.Opt_long, c.Opt_both, c.chk_expand_images}) {
        const int indicator = box->style()->pixelMetric(box == c.chk_expand_images
                                                            ? QStyle::PM_IndicatorWidth
                                                            : QStyle::PM_ExclusiveIndicatorWidth);
        QVERIFY(fits(box, box->text(), box->width() - indicator));
    }
    for (const QAbstractButton* button :
         {c.cmd_start_test, c.cmd_start_repair, c.Cmd_start_conversion, c.Cmd_generation}) {
        QVERIFY(fits(button, button->text(), button->width() - 4));
    }
    for (const QLineEdit* caption : {c.Text1, c.Text2, c.Text3}) {
        QVERIFY(fits(caption, caption->text(), caption->width() - 4));
    }
    for (const QGroupBox* frame : {c.Option_Frm, c.Frm_atr_gen, c.Frm_image_size}) {
        QVERIFY(fits(frame, frame->title(), frame->width() - 8));
    }
    QVERIFY(fits(c.lblRemark, c.lblRemark->text(), c.lblRemark->width()));
    for (QComboBox* combo : {c.Combo_no_of_sectors, c.Combo_byte_per_sector}) {
        const int room = ComboTextRoom(combo);
        for (int i = 0; i < combo->count(); ++i) {
            QVERIFY(fits(combo, combo->itemText(i), room));
        }
    }
    QVERIFY(fits(c.Txt_image_size, QStringLiteral("16776592"), c.Txt_image_size->width() - 6));
    // A whole failing verdict line fits the report without scrolling sideways.
    const QString fail = "Result:   " + QString(39, '=') + " F A I L " + QString(39, '=');
    QVERIFY(fits(c.reportlst, fail, c.reportlst->viewport()->width()));
}

void ToolModesTest::exitClosesTheWindow() {
    TempDir dir;
    WindowHarness h(dir.path());
    h.Trigger("Onlinehelp");
    QVERIFY(h.window().help_window() != nullptr && h.window().help_window()->isVisible());
    h.Trigger("Exitmenu");
    QVERIFY(!h.window().isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(h.window().help_window() == nullptr);
}

QTEST_MAIN(ToolModesTest)
#include "tool_modes_test.moc"
