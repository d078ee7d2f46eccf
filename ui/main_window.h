// The main window `back`: every control of the three tools at its fixed place, the tool
// modes, the source panel's chain of change handlers, the start buttons, the jump from a
// file name to its report block, and the help and About menus.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "drive_list.h"
#include "file_system.h"
#include "program_state.h"
#include "user_prompt.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSettings;

namespace korvane {

class AboutBox;
class DirectoryList;
class EngineAdapters;
class FileListView;
class HelpWindow;
class ReportList;
struct EngineContext;
struct ToolMode;

// The widgets, named as the controls they are.
struct MainControls {
    QLabel* lblname = nullptr;
    DriveList* source_drive = nullptr;
    DirectoryList* source_dir = nullptr;
    QLineEdit* source_path = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* source_count = nullptr;
    FileListView* source_file = nullptr;
    QGroupBox* Option_Frm = nullptr;
    QRadioButton* Opt_short = nullptr;
    QRadioButton* Opt_long = nullptr;
    QRadioButton* Opt_both = nullptr;
    QGroupBox* Frm_atr_gen = nullptr;
    QLineEdit* Text1 = nullptr;
    QComboBox* Combo_no_of_sectors = nullptr;
    QLineEdit* Text3 = nullptr;
    QComboBox* Combo_byte_per_sector = nullptr;
    QComboBox* Combo_format = nullptr;  // "Format for DOS", beside the file name
    QGroupBox* Frm_image_size = nullptr;
    QLineEdit* Txt_image_size = nullptr;
    QLineEdit* Text2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* chk_expand_images = nullptr;
    QCheckBox* chk_fit = nullptr;
    QLineEdit* Txt_filename = nullptr;
    QPushButton* cmd_start_test = nullptr;
    QPushButton* cmd_start_repair = nullptr;
    QPushButton* Cmd_start_conversion = nullptr;
    QPushButton* Cmd_generation = nullptr;
    QPushButton* Cmd_start_contents = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    ReportList* reportlst = nullptr;
    QLabel* lblRemark = nullptr;
};

class MainWindow final : public QMainWindow {
    Q_OBJECT

  public:
    // `settings`, when given, keeps the last folder, tool and window size between launches.
    // `start_folder`, when given, is listed instead of the remembered folder.
    MainWindow(ProgramState& state, FileSystem& fs, QSettings* settings = nullptr,
               QWidget* parent = nullptr, const std::filesystem::path& start_folder = {});
    ~MainWindow() override;

    const MainControls& controls() const { return controls_; }
    ProgramState& state() { return state_; }
    // The questions of the engines go here; by default to message boxes over the window.
    void SetPrompt(UserPrompt* prompt);

    // The size of the layout, the window's size at start.
    QSize sizeHint() const override { return default_size_; }

    // Tool modes: each sets its column of the mode table.
    void ShowCheckTool();
    void ShowConverterTool();
    void ShowGeneratorTool();
    void ShowContentsTool();

    // Load handler, run once after the window is created.
    void Form_Load();

    // Menu handlers.
    void ATRmenu_Click();
    void XEXmenu_Click();
    void Generatemenu_Click();
    void Contentsmenu_Click();
    void Exitmenu_Click();
    void Onlinehelp_Click();
    void Aboutmenu_Click();

    // The source panel's change handlers.
    void source_drive_Change();
    void source_dir_Change();
    void source_path_Change();
    void source_count_Change();

    // Start buttons.
    void cmd_start_test_Click();
    void cmd_start_repair_Click();
    void Cmd_start_conversion_Click();
    void Cmd_generation_Click();
    void Cmd_start_contents_Click();

    // Writes every file of the image `image` into `folder`, with a block of report lines;
    // "Extract Files..." asks for the folder first (through ChooseExtractFolder).
    void ExtractFiles(const std::filesystem::path& image, const std::filesystem::path& folder);
    void ExtractSelectedImage();
    // Asks for the folder the files go to; empty when the user cancels. Tests replace it.
    std::function<std::filesystem::path()> ChooseExtractFolder;

    // A pick in the file list: jumps to the picked file's report block.
    void source_file_Click();

    // The caption of source_count; a real change runs source_count_Change.
    void SetSourceCount(const QString& caption);
    // The directory the engines work in, whose name source_path shows.
    const std::filesystem::path& SourcePath() const { return source_path_; }
    // Moves the directory list to `directory`, as opening it there does; false when the
    // directory cannot be read, with the panel left on the previous directory.
    bool OpenDirectory(const std::filesystem::path& directory);

    // Shows `volumes` in the drive list (normally the mounted volumes, listed anew each
    // time the list opens).
    void SetVolumes(std::vector<Volume> volumes);

    // The help window, once opened; closing it only hides it.
    HelpWindow* help_window() const { return help_window_.get(); }
    AboutBox* about_box() const;

    // Brings the report and the progress bar up to date during an engine run.
    void SyncRunDisplay();

    // Writes the report into `file`, one line per report line, UTF-8; false with the
    // reason in `error` when it cannot.
    bool SaveReport(const QString& file, QString* error) const;
    // Selects the next (or previous) block whose verdict is a fail, as a pick does.
    void JumpToFailure(bool forward);
    // Opens the folder a user named, dropped or chose (relative to the current directory);
    // false, with the reason in the directory list's path line, when it cannot be opened.
    bool GoToFolder(const std::filesystem::path& folder);

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls();
    // Widens the places of the layout where the desktop's font needs more room.
    void WidenLayout();
    void CreateMenus();
    void ConnectHandlers();
    // The drive, directory and file lists open on the process's current directory.
    void ShowTool(const ToolMode& mode);
    void ShowStartDirectory();
    void SetSourcePathText(const std::filesystem::path& path);
    // What every start button does first: the directory list's path applied again. False,
    // with one report line that says so, when the directory cannot be listed; the panel
    // then shows the nearest ancestor that can.
    bool ApplySourceDirectory();
    void ShowNearestAncestor(const std::filesystem::path& directory);
    // The four start buttons of the file tools follow the count: usable when it is not 0.
    void FollowCount();
    void FillDriveList();
    void ShowDriveOf(const std::filesystem::path& directory);
    // Runs an engine with the window's adapters, taking no user input until it returns,
    // and gives the keyboard focus back to `button` afterwards.
    void RunEngine(std::int64_t (*engine)(EngineContext&), QWidget* button);
    // The report list grows with the window, and the file list and title widen with it;
    // in a smaller window they shrink, down to the client area's smallest size.
    void FollowClientSize();
    void FitClientMinimum();
    // The report's context menu and keys, and "Save Report..." and "Open Folder...".
    void CreateReportActions();
    // "Extract Files..." in the file list's context menu, with the folder chooser.
    void CreateExtractAction();
    void SaveReportAs();
    void ChooseFolder();
    // Remembers the folder, the tool and the window size; restores them at start.
    void RememberChoices() const;
    void RestoreChoices();
    std::filesystem::path RememberedFolder() const;
    // The generator's two lists, filled at load, and the size shown for their choice.
    void FillGeneratorLists();
    void UpdateGeneratorSize();
    // Sets the mode table's properties that the three modes share in their order.
    void SetToolTitle(const QString& caption, const QColor& background);

    ProgramState& state_;
    FileSystem& fs_;
    MainControls controls_;
    std::unique_ptr<EngineAdapters> adapters_;
    std::filesystem::path source_path_;
    std::vector<Volume> volumes_;
    bool engine_busy_ = false;
    // Where source_count stands when the count caption leaves it room.
    int count_left_ = 0;
    QSettings* settings_ = nullptr;
    std::filesystem::path start_folder_;
    // The client area, scrolled in a window too small for it.
    QWidget* client_ = nullptr;
    // The places of the layout, the window's size at start, for the controls that grow;
    // how much narrower and shorter than the layout the client area may be.
    QSize layout_size_;
    QSize shrink_;
    QSize default_size_;
    QRect title_place_, files_place_, report_place_, remark_place_;
    bool applying_engine_selection_ = false;
    std::unique_ptr<HelpWindow> help_window_;
    QPointer<AboutBox> about_box_;
};

}  // namespace korvane
