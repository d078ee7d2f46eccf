// The four tool modes, the load handler and the menu handlers of the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <algorithm>
#include <array>
#include <utility>

#include "about_box.h"
#include "directory_list.h"
#include "file_list.h"
#include "file_list_view.h"
#include "help_window.h"
#include "main_window.h"
#include "program_location.h"
#include "report_text.h"
#include "window_fonts.h"

namespace korvane {

namespace {

// Height of the directory list: over the hidden frames in the converter (down to its fit
// check box), else above them.
constexpr int kDirectoryListHeight = 96;
constexpr int kDirectoryListTallHeight = 192;

void SetHeight(QWidget* widget, int height) {
    QRect place = widget->geometry();
    place.setHeight(height);
    widget->setGeometry(place);
}

// Label1's caption ends before source_count, which overlaps the label's rectangle; the
// count moves aside where a caption needs more room.
void SetCountCaption(QLabel* label, QLabel* count, int count_left, const QString& caption) {
    label->setText(caption);
    GrowToFit(label, caption, 2);
    const int end = label->x() + label->fontMetrics().horizontalAdvance(caption) + 2;
    count->move(std::max(end, count_left), count->y());
}

}  // namespace

// One row of the mode table: what a tool mode shows, set in this order.
struct ToolMode {
    const char* title;
    QRgb background;
    bool options;
    bool frame;
    int directory_height;
    // The start buttons, shown or hidden in the order each mode has always set them.
    std::array<std::pair<QPushButton * MainControls::*, bool>, 5> buttons;
    const char* pattern;
    const char* count_caption;
    const char* frame_title;
    // The generator's controls instead of the check box, and its size shown anew.
    bool generator;
    // The converter's fit check box.
    bool fit;
};

namespace {

constexpr auto kTest = &MainControls::cmd_start_test;
constexpr auto kRepair = &MainControls::cmd_start_repair;
constexpr auto kConvert = &MainControls::Cmd_start_conversion;
constexpr auto kGenerate = &MainControls::Cmd_generation;
constexpr auto kContents = &MainControls::Cmd_start_contents;

// The four modes, a row each, the fields in the order of ToolMode.
// clang-format off
const ToolMode kCheckTool = {"ATR File Check and Repair", qRgb(0, 0, 255), true, true, kDirectoryListHeight,
    {{{kTest, true}, {kRepair, true}, {kConvert, false}, {kGenerate, false}, {kContents, false}}}, kAtrPattern, "Number of found ATR files:", "", false, false};
const ToolMode kConverterTool = {"XEX to ATR File Converter", qRgb(255, 0, 0), false, false, kDirectoryListTallHeight,
    {{{kTest, false}, {kRepair, false}, {kGenerate, false}, {kContents, false}, {kConvert, true}}}, kXexPattern, "Number of found XEX files:", "", false, true};
const ToolMode kGeneratorTool = {"ATR File Generator", qRgb(0, 192, 0), false, true, kDirectoryListHeight,
    {{{kTest, false}, {kRepair, false}, {kConvert, false}, {kContents, false}, {kGenerate, true}}}, kAtrPattern, "Number of found ATR files:", "Filename", true, false};
const ToolMode kContentsTool = {"Disk Contents", qRgb(128, 0, 160), false, false, kDirectoryListTallHeight,
    {{{kTest, false}, {kRepair, false}, {kConvert, false}, {kGenerate, false}, {kContents, true}}}, kAtrPattern, "Number of found ATR files:", "", false, false};
// clang-format on

}  // namespace

void MainWindow::ShowTool(const ToolMode& mode) {
    const MainControls& c = controls_;
    // What the status line said belongs to the tool shown before.
    statusBar()->clearMessage();
    SetToolTitle(QString::fromLatin1(mode.title), QColor(mode.background));
    c.Option_Frm->setVisible(mode.options);
    c.Frame1->setVisible(mode.frame);
    SetHeight(c.source_dir, mode.directory_height);
    for (const auto& [button, visible] : mode.buttons) {
        (c.*button)->setVisible(visible);
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);  // the file list is listed anew
    c.source_file->SetPattern(mode.pattern);
    QGuiApplication::restoreOverrideCursor();
    SetCountCaption(c.Label1, c.source_count, count_left_, QString::fromLatin1(mode.count_caption));
    FitClientMinimum();
    c.Frame1->setTitle(QString::fromLatin1(mode.frame_title));
    c.Txt_filename->setVisible(mode.generator);
    c.Combo_format->setVisible(mode.generator);
    c.chk_expand_images->setVisible(!mode.generator);
    c.chk_fit->setVisible(mode.fit);
    c.Frm_atr_gen->setVisible(mode.generator);
    c.Frm_image_size->setVisible(mode.generator);
    if (mode.generator) {
        UpdateGeneratorSize();
    }
}

void MainWindow::ShowCheckTool() {
    ShowTool(kCheckTool);
}

void MainWindow::ShowConverterTool() {
    ShowTool(kConverterTool);
}

void MainWindow::ShowGeneratorTool() {
    ShowTool(kGeneratorTool);
}

void MainWindow::ShowContentsTool() {
    ShowTool(kContentsTool);
}

void MainWindow::Form_Load() {
    ShowCheckTool();
    SetSourceCount(QString::number(controls_.source_file->Count()));
    FillGeneratorLists();
    RestoreChoices();
}

void MainWindow::ATRmenu_Click() {
    ShowCheckTool();
    SetSourceCount(QString::number(controls_.source_file->Count()));
}

void MainWindow::XEXmenu_Click() {
    ShowConverterTool();
    SetSourceCount(QString::number(controls_.source_file->Count()));
}

void MainWindow::Generatemenu_Click() {
    ShowGeneratorTool();
    SetSourceCount(QString::number(controls_.source_file->Count()));
}

void MainWindow::Contentsmenu_Click() {
    ShowContentsTool();
    SetSourceCount(QString::number(controls_.source_file->Count()));
}

void MainWindow::Exitmenu_Click() {
    // Closing the main window closes the others and ends the program.
    close();
}

void MainWindow::Onlinehelp_Click() {
    const std::filesystem::path help_file =
        JoinPath(ProgramDirectory(), ProgramFileName().native() + ".CHM");
    if (!help_window_) {
        help_window_ = std::make_unique<HelpWindow>();
    }
    // Once open, F1 raises the help at the page it shows.
    if (!help_window_->HasPages()) {
        help_window_->Open(help_file);
    }
    help_window_->show();
    help_window_->raise();
    help_window_->activateWindow();
}

void MainWindow::Aboutmenu_Click() {
    if (!about_box_) {
        about_box_ = new AboutBox(this);
    }
    about_box_->show();
}

}  // namespace korvane
