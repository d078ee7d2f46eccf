// The main window after start-up, its controls and menus, and the three tool modes.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QtTest>

#include "directory_list.h"
#include "file_list_view.h"
#include "help_window.h"
#include "report_list.h"
#include "window_fixtures.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

// A start directory with two ATR images, one XEX file, a hidden image and a directory
// whose name matches the pattern.
void FillStartDirectory(const std::filesystem::path& directory) {
    WriteImages(directory, {{"b.atr", ImageKind::Good128},
                            {"A.ATR", ImageKind::TooShort},
                            {".hidden.atr", ImageKind::Good128}});
    WriteXex(directory / "game.xex", 300);
    std::filesystem::create_directory(directory / "folder.atr");
}

QColor TitleBackground(const MainControls& c) {
    return c.lblname->palette().color(QPalette::Window);
}

}  // namespace

class ToolModesTest : public QObject {
    Q_OBJECT

  private slots:
    void startsInTheCheckTool();
    void menusCarryTheirNamesCaptionsAndShortcuts();
    void modeTable_data();
    void modeTable();
    void switchingKeepsTheReportAndTheChoices();
    void countAndButtonsFollowTheMode();
    void captionsFitTheirControls();
    void exitClosesTheWindow();
};

void ToolModesTest::startsInTheCheckTool() {
    TempDir dir;
    FillStartDirectory(dir.path());
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();

    QCOMPARE(h.window().windowTitle(), QStringLiteral("Korvane Tool Suite"));
    QCOMPARE(h.window().objectName(), QStringLiteral("back"));
    QCOMPARE(h.window().centralWidget()->size(), QSize(798, 549));
    QCOMPARE(c.lblname->text(), QStringLiteral("ATR File Check and Repair"));
    QCOMPARE(c.Label1->text(), QStringLiteral("Number of found ATR files:"));
    // b.atr and A.ATR; not the hidden image, the directory or the XEX file.
    QCOMPARE(c.source_count->text(), QStringLiteral("2"));
    QCOMPARE(h.FileListEntries(), (QStringList{"A.ATR", "b.atr"}));
    QVERIFY(c.Opt_both->isChecked());
    QVERIFY(!c.Opt_short->isChecked() && !c.Opt_long->isChecked());
    QCOMPARE(c.chk_expand_images->checkState(), Qt::Checked);
    QCOMPARE(c.Txt_filename->text(), QStringLiteral("NEWFILE"));
    // source_path stays empty until a directory is applied, while the lists show the
    // current directory.
    QVERIFY(c.source_path->text().isEmpty());
    QCOMPARE(c.source_dir->path(), dir.path());
    QCOMPARE(c.source_file->path(), dir.path());
    QVERIFY(c.cmd_start_test->isEnabled() && c.cmd_start_repair->isEnabled());
    QVERIFY(c.Cmd_start_conversion->isEnabled());
    QCOMPARE(c.ProgressBar1->value(), 0);
    QCOMPARE(c.reportlst->LineCount(), 0);
    QVERIFY(!h.state.repair_mode);
    // The drive list shows the volume of the start directory; "/" is always there.
    QVERIFY(c.source_drive->count() >= 1);
    QVERIFY(c.source_drive->currentIndex() >= 0);
}

void ToolModesTest::menusCarryTheirNamesCaptionsAndShortcuts() {
    TempDir dir;
    WindowHarness h(dir.path());
    const QList<QAction*> top = h.window().menuBar()->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[0]->objectName(), QStringLiteral("toolmenu"));
    QCOMPARE(top[0]->text(), QStringLiteral("&Tool"));
    QCOMPARE(top[1]->objectName(), QStringLiteral("HELPmenu"));
    QCOMPARE(top[1]->text(), QStringLiteral("&Help"));

    struct Item {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    };
    const std::vector<Item> tool = {
        {"ATRmenu", "&ATR Check and Repair", QKeySequence(QStringLiteral("Ctrl+A"))},
        {"XEXmenu", "&XEX to ATR File Converter", QKeySequence(QStringLiteral("Ctrl+X"))},
        {"Generatemenu", "ATR File &Generator ", QKeySequence(QStringLiteral("Ctrl+G"))},
        {"Exitmenu", "&Exit", QKeySequence(QStringLiteral("Ctrl+E"))},
    };
    const std::vector<Item> help = {
        {"Onlinehelp", "Offline Help", QKeySequence(QStringLiteral("F1"))},
        {"Aboutmenu", "A&bout", QKeySequence(QStringLiteral("Ctrl+B"))},
    };
    auto check = [](QMenu* menu, const std::vector<Item>& items) {
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), static_cast<qsizetype>(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i) {
            QCOMPARE(actions[static_cast<int>(i)]->objectName(),
                     QString::fromLatin1(items[i].name));
            QCOMPARE(actions[static_cast<int>(i)]->text(), QString::fromLatin1(items[i].caption));
            QCOMPARE(actions[static_cast<int>(i)]->shortcut(), items[i].shortcut);
        }
    };
    check(top[0]->menu(), tool);
    check(top[1]->menu(), help);
}

void ToolModesTest::modeTable_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("options");
    QTest::addColumn<bool>("frame1");
    QTest::addColumn<int>("dirHeight");
    QTest::addColumn<bool>("checkButtons");
    QTest::addColumn<bool>("conversion");
    QTest::addColumn<bool>("generation");
    QTest::addColumn<QString>("countCaption");
    QTest::addColumn<QString>("frame1Title");
    QTest::addColumn<QStringList>("files");

    const QStringList atr = {"A.ATR", "b.atr"};
    QTest::newRow("check") << "ATRmenu"
                           << "ATR File Check and Repair" << QColor(0, 0, 255) << true << true << 96
                           << true << false << false << "Number of found ATR files:"
                           << "" << atr;
    QTest::newRow("converter") << "XEXmenu"
                               << "XEX to ATR File Converter" << QColor(255, 0, 0) << false << false
                               << 216 << false << true << false << "Number of found XEX files:"
                               << "" << QStringList{"game.xex"};
    QTest::newRow("generator") << "Generatemenu"
                               << "ATR File Generator" << QColor(0, 192, 0) << false << true << 96
                               << false << false << true << "Number of found ATR files:"
                               << "Filename" << atr;
}

void ToolModesTest::modeTable() {
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(QColor, background);
    QFETCH(bool, options);
    QFETCH(bool, frame1);
    QFETCH(int, dirHeight);
    QFETCH(bool, checkButtons);
    QFETCH(bool, conversion);
    QFETCH(bool, generation);
    QFETCH(QString, countCaption);
    QFETCH(QString, frame1Title);
    QFETCH(QStringList, files);

    TempDir dir;
    FillStartDirectory(dir.path());
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    // Start from another mode, so that every property has to change.
    h.Find<QAction>(action == "XEXmenu" ? "Generatemenu" : "XEXmenu")->trigger();
    h.Find<QAction>(qPrintable(action))->trigger();
    const QWidget* window = &h.window();

    QCOMPARE(c.lblname->text(), title);
    QCOMPARE(TitleBackground(c), background);
    QCOMPARE(c.Option_Frm->isVisibleTo(window), options);
    QCOMPARE(c.Frame1->isVisibleTo(window), frame1);
    QCOMPARE(c.source_dir->height(), dirHeight);
    QCOMPARE(c.source_dir->geometry().bottom() + 1, 80 + dirHeight);
    QCOMPARE(c.cmd_start_test->isVisibleTo(window), checkButtons);
    QCOMPARE(c.cmd_start_repair->isVisibleTo(window), checkButtons);
    QCOMPARE(c.Cmd_start_conversion->isVisibleTo(window), conversion);
    QCOMPARE(c.Cmd_generation->isVisibleTo(window), generation);
    QCOMPARE(c.Label1->text(), countCaption);
    QCOMPARE(c.Frame1->title(), frame1Title);
    QCOMPARE(c.Txt_filename->isVisibleTo(window), generation);
    QCOMPARE(c.Frm_atr_gen->isVisibleTo(window), generation);
    QCOMPARE(c.Frm_image_size->isVisibleTo(window), generation);
    // The check box keeps its own visibility in the converter, where its frame hides it.
    QCOMPARE(c.chk_expand_images->isHidden(), generation);
    QCOMPARE(c.chk_expand_images->isVisibleTo(window), checkButtons);
    QCOMPARE(h.FileListEntries(), files);
    QCOMPARE(c.source_count->text(), QString::number(files.size()));
    // The pairs that share a rectangle are never shown together.
    QVERIFY(!(c.Option_Frm->isVisibleTo(window) && c.Frm_atr_gen->isVisibleTo(window)));
    QVERIFY(
        !(c.Cmd_start_conversion->isVisibleTo(window) && c.Cmd_generation->isVisibleTo(window)));
}

void ToolModesTest::switchingKeepsTheReportAndTheChoices() {
    TempDir dir;
    FillStartDirectory(dir.path());
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    c.cmd_start_test->click();
    const std::vector<std::string> report = h.ReportLines();
    QVERIFY(!report.empty());
    c.Opt_long->setChecked(true);
    c.chk_expand_images->setChecked(false);
    c.Txt_filename->setText(QStringLiteral("DISK"));
    h.state.repair_mode = true;

    for (const char* action : {"XEXmenu", "Generatemenu", "Generatemenu", "ATRmenu", "ATRmenu"}) {
        h.Find<QAction>(action)->trigger();
        QCOMPARE(h.ReportLines(), report);
    }
    QVERIFY(c.Opt_long->isChecked());
    QCOMPARE(c.chk_expand_images->checkState(), Qt::Unchecked);
    QVERIFY(c.chk_expand_images->isVisible());
    QCOMPARE(c.Txt_filename->text(), QStringLiteral("DISK"));
    QVERIFY(h.state.repair_mode);
    QCOMPARE(c.ProgressBar1->value(), 0);
}

void ToolModesTest::countAndButtonsFollowTheMode() {
    TempDir dir;
    WriteImages(dir.path(), {{"one.atr", ImageKind::Good128}, {"two.atr", ImageKind::Good128}});
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    QCOMPARE(c.source_count->text(), QStringLiteral("2"));

    h.Find<QAction>("XEXmenu")->trigger();
    QCOMPARE(c.source_count->text(), QStringLiteral("0"));
    QVERIFY(!c.Cmd_start_conversion->isEnabled());
    // The hidden check buttons follow the count as well.
    QVERIFY(!c.cmd_start_test->isEnabled() && !c.cmd_start_repair->isEnabled());

    h.Find<QAction>("Generatemenu")->trigger();
    QCOMPARE(c.source_count->text(), QStringLiteral("2"));
    QVERIFY(c.Cmd_generation->isEnabled());
    QVERIFY(c.cmd_start_test->isEnabled() && c.Cmd_start_conversion->isEnabled());

    h.Find<QAction>("XEXmenu")->trigger();
    h.Find<QAction>("ATRmenu")->trigger();
    QCOMPARE(c.source_count->text(), QStringLiteral("2"));
    QVERIFY(c.cmd_start_test->isEnabled() && c.cmd_start_repair->isEnabled());
    QCOMPARE(c.source_dir->height(), 96);
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
        h.Find<QAction>(action)->trigger();
        QVERIFY(fits(c.lblname, c.lblname->text(), c.lblname->width()));
        // Label1 ends where source_count, which overlaps it, begins.
        QVERIFY(fits(c.Label1, c.Label1->text(), c.source_count->x() - c.Label1->x()));
    }
    for (const QRadioButton* option : {c.Opt_short, c.Opt_long, c.Opt_both}) {
        const int indicator = option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth);
        QVERIFY(fits(option, option->text(), option->width() - indicator));
    }
    const int box = c.chk_expand_images->style()->pixelMetric(QStyle::PM_IndicatorWidth);
    QVERIFY(
        fits(c.chk_expand_images, c.chk_expand_images->text(), c.chk_expand_images->width() - box));
    for (const QPushButton* button :
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
    // Every item of the generator's lists, and the largest size they make.
    for (QComboBox* combo : {c.Combo_no_of_sectors, c.Combo_byte_per_sector}) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        const int room =
            combo->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .width();
        for (int i = 0; i < combo->count(); ++i) {
            QVERIFY(fits(combo, combo->itemText(i), room));
        }
    }
    QVERIFY(fits(c.Txt_image_size, QStringLiteral("16776592"), c.Txt_image_size->width() - 6));
    // A whole failing verdict line fits the report without scrolling sideways.
    const QString fail_line = QStringLiteral("Result:   ") + QString(39, '=') +
                              QStringLiteral(" F A I L ") + QString(39, '=');
    QVERIFY(fits(c.reportlst, fail_line, c.reportlst->viewport()->width()));
}

void ToolModesTest::exitClosesTheWindow() {
    TempDir dir;
    WindowHarness h(dir.path());
    h.Find<QAction>("Onlinehelp")->trigger();
    QVERIFY(h.window().help_window() != nullptr);
    QVERIFY(h.window().help_window()->isVisible());
    h.Find<QAction>("Exitmenu")->trigger();
    QVERIFY(!h.window().isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(h.window().help_window() == nullptr);
}

QTEST_MAIN(ToolModesTest)
#include "tool_modes_test.moc"
