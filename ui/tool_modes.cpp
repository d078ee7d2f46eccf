// The three tool modes, the load handler and the menu handlers of the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

// Height of the directory list: over the hidden frames in the converter, else above them.
constexpr int kDirectoryListHeight = 96;
constexpr int kDirectoryListTallHeight = 216;

// Label1 must end before source_count begins, which overlaps its rectangle.
constexpr int kCountCaptionRoom = 624 - 400 - 2;

void SetHeight(QWidget* widget, int height) {
    QRect place = widget->geometry();
    place.setHeight(height);
    widget->setGeometry(place);
}

void SetCountCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    label->setFont(
        FittingFont(SansFont(kPixels12pt, true), caption, kCountCaptionRoom, kPixels8pt));
}

}  // namespace

void MainWindow::ShowCheckTool() {
    const MainControls& c = controls_;
    SetToolTitle(QStringLiteral("ATR File Check and Repair"), QColor(0, 0, 255));
    c.Option_Frm->setVisible(true);
    c.Frame1->setVisible(true);
    SetHeight(c.source_dir, kDirectoryListHeight);
    c.cmd_start_test->setVisible(true);
    c.cmd_start_repair->setVisible(true);
    c.Cmd_start_conversion->setVisible(false);
    c.Cmd_generation->setVisible(false);
    c.source_file->SetPattern(kAtrPattern);
    SetCountCaption(c.Label1, QStringLiteral("Number of found ATR files:"));
    c.Frame1->setTitle(QString());
    c.Txt_filename->setVisible(false);
    c.chk_expand_images->setVisible(true);
    c.Frm_atr_gen->setVisible(false);
    c.Frm_image_size->setVisible(false);
}

void MainWindow::ShowConverterTool() {
    const MainControls& c = controls_;
    SetToolTitle(QStringLiteral("XEX to ATR File Converter"), QColor(255, 0, 0));
    c.Option_Frm->setVisible(false);
    c.Frame1->setVisible(false);
    SetHeight(c.source_dir, kDirectoryListTallHeight);
    c.cmd_start_test->setVisible(false);
    c.cmd_start_repair->setVisible(false);
    c.Cmd_generation->setVisible(false);
    c.Cmd_start_conversion->setVisible(true);
    c.source_file->SetPattern(kXexPattern);
    SetCountCaption(c.Label1, QStringLiteral("Number of found XEX files:"));
    c.Frame1->setTitle(QString());
    c.Txt_filename->setVisible(false);
    c.chk_expand_images->setVisible(true);
    c.Frm_atr_gen->setVisible(false);
    c.Frm_image_size->setVisible(false);
}

void MainWindow::ShowGeneratorTool() {
    const MainControls& c = controls_;
    SetToolTitle(QStringLiteral("ATR File Generator"), QColor(0, 192, 0));
    c.Option_Frm->setVisible(false);
    c.Frame1->setVisible(true);
    SetHeight(c.source_dir, kDirectoryListHeight);
    c.cmd_start_test->setVisible(false);
    c.cmd_start_repair->setVisible(false);
    c.Cmd_start_conversion->setVisible(false);
    c.Cmd_generation->setVisible(true);
    c.source_file->SetPattern(kAtrPattern);
    SetCountCaption(c.Label1, QStringLiteral("Number of found ATR files:"));
    c.Frame1->setTitle(QStringLiteral("Filename"));
    c.Txt_filename->setVisible(true);
    c.chk_expand_images->setVisible(false);
    c.Frm_atr_gen->setVisible(true);
    c.Frm_image_size->setVisible(true);
    UpdateGeneratorSize();
}

void MainWindow::Form_Load() {
    ShowCheckTool();
    SetSourceCount(QString::number(controls_.source_file->Count()));
    FillGeneratorLists();
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

void MainWindow::Exitmenu_Click() {
    // Closing the main window closes the others and ends the program.
    close();
}

void MainWindow::Onlinehelp_Click() {
    const std::filesystem::path help_file =
        JoinPath(ProgramDirectory(), ProgramFileName().native() + ".CHM");
    if (!help_window_) {
        help_window_ = new HelpWindow();
        help_window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    help_window_->Open(help_file);
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
