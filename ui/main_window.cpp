#include "main_window.h"

#include <QStatusBar>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>

#include "about_box.h"
#include "app_icon.h"
#include "directory_list.h"
#include "engine_adapters.h"
#include "engine_context.h"
#include "file_list_view.h"
#include "help_window.h"
#include "program_facts.h"
#include "report_list.h"
#include "stop_signals.h"
#include "window_colours.h"
#include "window_fonts.h"

namespace korvane {

namespace {

// The window's client area, in pixels at 96 dots per inch.
constexpr int kClientWidth = 798;
constexpr int kClientHeight = 549;

// Background of the source path, the file list and the report, and their text: both
// fixed, so that a dark colour scheme does not put light text on the light grey.
const QColor kListGrey(224, 224, 224);
const QColor kListText(0, 0, 0);
const QColor kListDisabledText(96, 96, 96);
// The selected row, also in a list disabled during a run: the file being read.
const QColor kListHighlight(0, 60, 140);
const QColor kListDisabledHighlight(88, 88, 88);

// The report list shows at least this many rows, whatever the fixed-pitch font; its
// height in the layout, and the top of the hint below it.
constexpr int kReportRows = 10;
constexpr int kReportHeight = 147;
constexpr int kRemarkTop = 528;
// In a window smaller than the layout the report keeps at least this many rows; below
// that the client area scrolls.
constexpr int kReportFewestRows = 3;
// The smallest window: room for it beside a desktop's panel and the window's frame on a
// 1366x768 screen, and on 1920x1080 at twice the scale (960x540).
constexpr QSize kSmallestWindow(640, 400);

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

template <typename Widget>
Widget* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    return Place(new Widget(parent), name, left, top, width, height);
}

void SetBase(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    widget->setPalette(palette);
}

void SetListColours(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, kListGrey);
    palette.setColor(QPalette::Text, kListText);
    palette.setColor(QPalette::Disabled, QPalette::Text, kListDisabledText);
    palette.setColor(QPalette::Highlight, kListHighlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, kListDisabledHighlight);
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, Qt::white);
    widget->setPalette(palette);
}

// A check box or option button wide enough for its caption beside the indicator.
void FitIndicatorButton(QAbstractButton* button, QStyle::PixelMetric indicator) {
    const QStyle* style = button->style();
    GrowToFit(button, button->text(),
              style->pixelMetric(indicator, nullptr, button) +
                  style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button) + 2);
}

// A text box that only shows a fixed caption: read-only, without frame, on the
// background of the window's menus.
QLineEdit* CaptionBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                      const QString& text) {
    auto* box = Place<QLineEdit>(parent, name, left, top, width, height);
    box->setText(text);
    box->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    SetBase(box, Qt::transparent);
    box->setFont(SansFont(kPixels12pt));
    GrowToFit(box, text, 6);
    return box;
}

QPushButton* StartButton(QWidget* parent, const char* name, int left, int top, int width,
                         int height, const QString& caption) {
    auto* button = Place<QPushButton>(parent, name, left, top, width, height);
    button->setText(caption);
    button->setFont(SansFont(kPixels12pt, true, true));
    GrowToFit(button, caption, 10, true);
    return button;
}

}  // namespace

MainWindow::MainWindow(ProgramState& state, FileSystem& fs, QSettings* settings, QWidget* parent,
                       const std::filesystem::path& start_folder)
    : QMainWindow(parent),
      state_(state),
      fs_(fs),
      settings_(settings),
      start_folder_(start_folder) {
    setObjectName(QStringLiteral("back"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setWindowIcon(AppIcon());
    KeepReadable(*this);
    CreateControls();
    WidenLayout();
    CreateMenus();
    CreateReportActions();
    CreateExtractAction();
    adapters_ = std::make_unique<EngineAdapters>(*this);
    ShowStartDirectory();
    ConnectHandlers();
    // What a run could not read or write is told here, outside the report.
    statusBar()->setObjectName(QStringLiteral("run_status"));
    setAcceptDrops(true);
    // The layout is the window's size at start. The window may grow, and the lists grow
    // with it; or shrink, the report and the file list giving up room first, then the
    // client area scrolls.
    client_->installEventFilter(this);
    centralWidget()->setMinimumSize(layout_size_);
    default_size_ = minimumSizeHint();
    resize(default_size_);
    centralWidget()->setMinimumSize(0, 0);
    setMinimumSize(kSmallestWindow);
}

MainWindow::~MainWindow() = default;

AboutBox* MainWindow::about_box() const {
    return about_box_.data();
}

void MainWindow::SetPrompt(UserPrompt* prompt) {
    adapters_->prompt = prompt != nullptr ? prompt : &adapters_->message_boxes;
}

void MainWindow::CreateControls() {
    auto* client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->resize(kClientWidth, kClientHeight);
    client->setFont(SansFont(kPixels8pt));
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("client_scroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    // Tabbing to a control brings it into view; the area itself is no tab stop.
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidgetResizable(true);
    scroller->setWidget(client);
    setCentralWidget(scroller);
    client_ = client;
    MainControls& c = controls_;

    c.lblname = Place<QLabel>(client, "lblname", 8, 8, 785, 33);
    c.lblname->setAlignment(Qt::AlignCenter);
    c.lblname->setAutoFillBackground(true);
    c.lblname->setFont(SerifFont(kPixels18pt, true, true));

    c.source_drive = Place<DriveList>(client, "source_drive", 8, 48, 385, 21);
    c.source_dir = Place<DirectoryList>(client, "source_dir", 8, 80, 385, 96);
    // source_path lies within the directory list's rectangle and is never seen: it holds
    // the path applied for the engines, while the list's own top line shows where it is.
    c.source_path = Place<QLineEdit>(client, "source_path", 8, 144, 385, 19);
    c.source_path->setReadOnly(true);
    c.source_path->setFocusPolicy(Qt::NoFocus);
    c.source_path->hide();

    c.Label1 = Place<QLabel>(client, "Label1", 400, 48, 233, 17);
    c.Label1->setFont(SansFont(kPixels12pt, true));
    c.source_count = Place<QLabel>(client, "source_count", 624, 48, 73, 17);
    c.source_count->setFont(SansFont(kPixels12pt, true));
    c.source_file = Place(new FileListView(fs_, client), "source_file", 400, 80, 393, 279);
    SetListColours(c.source_file);

    c.Option_Frm = Place<QGroupBox>(client, "Option_Frm", 8, 184, 385, 73);
    c.Option_Frm->setTitle(QStringLiteral("256 bytes / sector options (x = number of sectors)"));
    c.Opt_short = Place<QRadioButton>(c.Option_Frm, "Opt_short", 8, 16, 353, 17);
    c.Opt_short->setText(
        QStringLiteral("physical length = [16 + (x - 3) * 256 + 384] byte (named short)"));
    c.Opt_long = Place<QRadioButton>(c.Option_Frm, "Opt_long", 8, 32, 345, 17);
    c.Opt_long->setText(
        QStringLiteral("physical length = [16 + x * 256] byte (384 byte unused; named long)"));
    c.Opt_both = Place<QRadioButton>(c.Option_Frm, "Opt_both", 8, 48, 361, 17);
    c.Opt_both->setText(
        QStringLiteral("physical length = [16 + x * 256] byte or [16 + (x - 3) * 256 + 384] byte"));
    c.Opt_both->setChecked(true);
    for (QRadioButton* option : {c.Opt_short, c.Opt_long, c.Opt_both}) {
        FitIndicatorButton(option, QStyle::PM_ExclusiveIndicatorWidth);
    }

    c.Frm_atr_gen = Place<QGroupBox>(client, "Frm_atr_gen", 8, 184, 273, 73);
    c.Frm_atr_gen->setTitle(QStringLiteral("ATR parameters"));
    c.Text1 =
        CaptionBox(c.Frm_atr_gen, "Text1", 8, 16, 193, 19, QStringLiteral("Number of sectors"));
    c.Combo_no_of_sectors = Place<QComboBox>(c.Frm_atr_gen, "Combo_no_of_sectors", 208, 16, 57, 21);
    c.Text3 = CaptionBox(c.Frm_atr_gen, "Text3", 8, 40, 193, 25,
                         QStringLiteral("Number of bytes per sector"));
    c.Combo_byte_per_sector =
        Place<QComboBox>(c.Frm_atr_gen, "Combo_byte_per_sector", 208, 40, 57, 21);

    c.Frm_image_size = Place<QGroupBox>(client, "Frm_image_size", 280, 184, 113, 73);
    c.Frm_image_size->setTitle(QStringLiteral("Image size"));
    c.Txt_image_size = Place<QLineEdit>(c.Frm_image_size, "Txt_image_size", 8, 16, 97, 25);
    c.Txt_image_size->setReadOnly(true);
    c.Txt_image_size->setFont(SansFont(kPixels12pt, true));
    c.Text2 = CaptionBox(c.Frm_image_size, "Text2", 8, 40, 97, 25, QStringLiteral("bytes"));

    c.Frame1 = Place<QGroupBox>(client, "Frame1", 8, 256, 385, 41);
    c.chk_expand_images = Place<QCheckBox>(c.Frame1, "chk_expand_images", 8, 16, 369, 17);
    c.chk_expand_images->setText(
        QStringLiteral("Expand small images to 1kB / Check that images have at least 1kB"));
    c.chk_expand_images->setChecked(true);
    FitIndicatorButton(c.chk_expand_images, QStyle::PM_IndicatorWidth);
    c.Txt_filename = Place<QLineEdit>(c.Frame1, "Txt_filename", 8, 16, 273, 19);
    // The DOS the new image is formatted for, beside its name; none at start-up.
    c.Combo_format = Place<QComboBox>(c.Frame1, "Combo_format", 285, 15, 92, 21);
    c.Combo_format->setToolTip(QStringLiteral("Format for DOS"));
    c.Combo_format->setAccessibleName(QStringLiteral("Format for DOS"));
    // The converter's fit mode, off at start-up; shown below its directory list.
    c.chk_fit = Place<QCheckBox>(client, "chk_fit", 8, 280, 385, 17);
    c.chk_fit->setText(
        QStringLiteral("Fit: larger disks for large files, also files under 128 bytes"));
    FitIndicatorButton(c.chk_fit, QStyle::PM_IndicatorWidth);
    c.Txt_filename->setText(QStringLiteral("NEWFILE"));

    c.cmd_start_test =
        StartButton(client, "cmd_start_test", 64, 304, 113, 25, QStringLiteral("Start Test"));
    c.cmd_start_repair =
        StartButton(client, "cmd_start_repair", 224, 304, 121, 25, QStringLiteral("Start Repair"));
    c.Cmd_start_conversion = StartButton(client, "Cmd_start_conversion", 120, 304, 169, 25,
                                         QStringLiteral("Start Conversion"));
    c.Cmd_generation = StartButton(client, "Cmd_generation", 120, 304, 169, 25,
                                   QStringLiteral("Start Generation"));
    c.Cmd_start_contents = StartButton(client, "Cmd_start_contents", 120, 304, 169, 25,
                                       QStringLiteral("Start Listing"));

    c.ProgressBar1 = Place<QProgressBar>(client, "ProgressBar1", 8, 336, 385, 17);
    c.ProgressBar1->setTextVisible(false);
    c.ProgressBar1->setRange(0, 100);
    c.ProgressBar1->setValue(0);

    c.reportlst = Place<ReportList>(client, "reportlst", 8, 368, 785, kReportHeight);
    c.reportlst->setFont(FixedFont(kPixels10pt));
    SetListColours(c.reportlst);
    // A fixed-pitch font with a wider line spacing gets a taller list, never fewer rows;
    // the hint below it and the window move down by as much.
    const int growth = std::max(0, c.reportlst->HeightForRows(kReportRows) - kReportHeight);
    c.reportlst->resize(c.reportlst->width(), kReportHeight + growth);

    // Down to the bottom of the client area, no further.
    c.lblRemark = Place<QLabel>(client, "lblRemark", 88, kRemarkTop + growth, 657,
                                kClientHeight - kRemarkTop);
    c.lblRemark->setText(QStringLiteral("Use the tool menu to switch between the tools"));
    c.lblRemark->setFont(SansFont(kPixels8pt, true));
    c.lblRemark->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

void MainWindow::WidenLayout() {
    // The option and check box captions are the longest texts in the narrowest boxes. Where
    // the desktop's font needs more room for them than the layout drawn at 96 dpi gives,
    // every place and width grows by the same factor; heights and font sizes stay.
    const MainControls& c = controls_;
    double factor = 1.0;
    for (QAbstractButton* box : std::initializer_list<QAbstractButton*>{
             c.Opt_short, c.Opt_long, c.Opt_both, c.chk_expand_images}) {
        const QStyle::PixelMetric indicator = box == c.chk_expand_images
                                                  ? QStyle::PM_IndicatorWidth
                                                  : QStyle::PM_ExclusiveIndicatorWidth;
        const int needed = box->fontMetrics().horizontalAdvance(box->text()) +
                           box->style()->pixelMetric(indicator, nullptr, box) +
                           box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 4;
        // The room up to the right edge of the frame that holds the box.
        const int room = box->parentWidget()->width() - box->x() - 4;
        factor = std::max(factor, static_cast<double>(needed) / room);
    }
    const auto widen = [factor](int x) { return static_cast<int>(std::ceil(x * factor)); };
    for (QWidget* control : std::initializer_list<QWidget*>{c.lblname,
                                                            c.source_drive,
                                                            c.source_dir,
                                                            c.source_path,
                                                            c.Label1,
                                                            c.source_count,
                                                            c.source_file,
                                                            c.Option_Frm,
                                                            c.Opt_short,
                                                            c.Opt_long,
                                                            c.Opt_both,
                                                            c.Frm_atr_gen,
                                                            c.Text1,
                                                            c.Combo_no_of_sectors,
                                                            c.Combo_format,
                                                            c.Text3,
                                                            c.Combo_byte_per_sector,
                                                            c.Frm_image_size,
                                                            c.Txt_image_size,
                                                            c.Text2,
                                                            c.Frame1,
                                                            c.chk_expand_images,
                                                            c.chk_fit,
                                                            c.Txt_filename,
                                                            c.cmd_start_test,
                                                            c.cmd_start_repair,
                                                            c.Cmd_start_conversion,
                                                            c.Cmd_generation,
                                                            c.Cmd_start_contents,
                                                            c.ProgressBar1,
                                                            c.reportlst,
                                                            c.lblRemark}) {
        const QRect place = control->geometry();
        control->setGeometry(widen(place.left()), place.top(),
                             widen(place.right() + 1) - widen(place.left()), place.height());
    }
    layout_size_ = QSize(widen(kClientWidth), c.lblRemark->y() + kClientHeight - kRemarkTop);
    client_->resize(layout_size_);
    count_left_ = c.source_count->x();
    title_place_ = c.lblname->geometry();
    files_place_ = c.source_file->geometry();
    report_place_ = c.reportlst->geometry();
    remark_place_ = c.lblRemark->geometry();
    FitClientMinimum();
}

void MainWindow::FitClientMinimum() {
    // The file list narrows down to the end of the count above it, the report down to its
    // fewest rows.
    const MainControls& c = controls_;
    shrink_ =
        QSize(std::max(0, files_place_.right() - c.source_count->geometry().right()),
              std::max(0, report_place_.height() - c.reportlst->HeightForRows(kReportFewestRows)));
    client_->setMinimumSize(layout_size_ - shrink_);
}

void MainWindow::FollowClientSize() {
    const QSize growth = client_->size() - layout_size_;
    const int wider = std::max(-shrink_.width(), growth.width());
    const int taller = std::max(-shrink_.height(), growth.height());
    const MainControls& c = controls_;
    c.lblname->setGeometry(title_place_.adjusted(0, 0, wider, 0));
    c.source_file->setGeometry(files_place_.adjusted(0, 0, wider, 0));
    c.reportlst->setGeometry(report_place_.adjusted(0, 0, wider, taller));
    c.lblRemark->setGeometry(remark_place_.translated(0, taller).adjusted(0, 0, wider, 0));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) {
        FollowClientSize();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::CreateMenus() {
    auto add_action = [this](QMenu* menu, const char* name, const QString& caption,
                             const QKeySequence& shortcut, void (MainWindow::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };

    QMenu* tool = menuBar()->addMenu(QStringLiteral("&Tool"));
    tool->setObjectName(QStringLiteral("toolmenu"));
    tool->menuAction()->setObjectName(QStringLiteral("toolmenu"));
    TakeParentColours(*tool);
    add_action(tool, "ATRmenu", QStringLiteral("&ATR Check and Repair"),
               QKeySequence(Qt::CTRL | Qt::Key_A), &MainWindow::ATRmenu_Click);
    add_action(tool, "XEXmenu", QStringLiteral("&XEX to ATR File Converter"),
               QKeySequence(Qt::CTRL | Qt::Key_X), &MainWindow::XEXmenu_Click);
    add_action(tool, "Generatemenu", QStringLiteral("ATR File &Generator "),
               QKeySequence(Qt::CTRL | Qt::Key_G), &MainWindow::Generatemenu_Click);
    add_action(tool, "Contentsmenu", QStringLiteral("&Disk Contents"),
               QKeySequence(Qt::CTRL | Qt::Key_D), &MainWindow::Contentsmenu_Click);
    tool->addSeparator();
    add_action(tool, "ExtractFilesmenu", QStringLiteral("Extract &Files..."), QKeySequence(),
               &MainWindow::ExtractSelectedImage);
    add_action(tool, "OpenFoldermenu", QStringLiteral("&Open Folder..."),
               QKeySequence(Qt::CTRL | Qt::Key_O), &MainWindow::ChooseFolder);
    add_action(tool, "SaveReportmenu", QStringLiteral("&Save Report..."),
               QKeySequence(Qt::CTRL | Qt::Key_S), &MainWindow::SaveReportAs);
    tool->addSeparator();
    QAction* exit = add_action(tool, "Exitmenu", QStringLiteral("&Exit"),
                               QKeySequence(Qt::CTRL | Qt::Key_E), &MainWindow::Exitmenu_Click);
    // Ctrl+Q, which quits on every Linux desktop, does what Exit does.
    exit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_E), QKeySequence(Qt::CTRL | Qt::Key_Q)});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HELPmenu"));
    help->menuAction()->setObjectName(QStringLiteral("HELPmenu"));
    TakeParentColours(*help);
    add_action(help, "Onlinehelp", QStringLiteral("Offline Help"), QKeySequence(Qt::Key_F1),
               &MainWindow::Onlinehelp_Click);
    add_action(help, "Aboutmenu", QStringLiteral("A&bout"), QKeySequence(Qt::CTRL | Qt::Key_B),
               &MainWindow::Aboutmenu_Click);
}

void MainWindow::ConnectHandlers() {
    const MainControls& c = controls_;
    DriveList* drives = c.source_drive;
    connect(drives, &QComboBox::currentIndexChanged, this, [this] { source_drive_Change(); });
    connect(drives, &DriveList::popupAboutToShow, this, [this] { FillDriveList(); });
    connect(c.source_dir, &DirectoryList::pathEntered, this,
            [this](const std::filesystem::path& directory) { GoToFolder(directory); });
    connect(c.source_dir, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        OpenDirectory(controls_.source_dir->EntryPath(controls_.source_dir->row(item)));
    });
    connect(c.source_file->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { source_file_Click(); });
    connect(c.source_file, &QAbstractItemView::clicked, this, [this] { source_file_Click(); });

    // The size shown follows each choice, also the ones the load handler makes.
    for (QComboBox* combo : {c.Combo_no_of_sectors, c.Combo_byte_per_sector}) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { UpdateGeneratorSize(); });
    }

    connect(c.cmd_start_test, &QPushButton::clicked, this, [this] { cmd_start_test_Click(); });
    connect(c.cmd_start_repair, &QPushButton::clicked, this, [this] { cmd_start_repair_Click(); });
    connect(c.Cmd_start_conversion, &QPushButton::clicked, this,
            [this] { Cmd_start_conversion_Click(); });
    connect(c.Cmd_generation, &QPushButton::clicked, this, [this] { Cmd_generation_Click(); });
    connect(c.Cmd_start_contents, &QPushButton::clicked, this,
            [this] { Cmd_start_contents_Click(); });
}

void MainWindow::SetToolTitle(const QString& caption, const QColor& background) {
    controls_.lblname->setText(caption);
    QPalette palette = controls_.lblname->palette();
    palette.setColor(QPalette::Window, background);
    // White on blue, black on red and on green: whichever reads better.
    palette.setColor(QPalette::WindowText,
                     Contrast(Qt::white, background) >= Contrast(Qt::black, background)
                         ? QColor(Qt::white)
                         : QColor(Qt::black));
    controls_.lblname->setPalette(palette);
}

void MainWindow::SyncRunDisplay() {
    controls_.reportlst->Sync();
    adapters_->controls.ApplyProgress();
    // The engine's own selection of the file it works on is no pick of the user's.
    applying_engine_selection_ = true;
    controls_.source_file->ApplyPendingSelection();
    applying_engine_selection_ = false;
}

void MainWindow::RunEngine(std::int64_t (*engine)(EngineContext&), QWidget* button) {
    engine_busy_ = true;
    statusBar()->clearMessage();
    adapters_->pump.Start();
    std::int64_t failed = 0;
    {
        // Keyboard and mouse input that reaches the window during the run is dropped, and
        // so is what the platform held back until its end: none of it acts afterwards on
        // controls that have changed meanwhile.
        const RunInputGuard guard;
        // A stop signal ends the run after the file in hand, as it ends korvane-cli's.
        EngineContext context{
            adapters_->controls, adapters_->report, *adapters_->prompt, fs_, state_,
            StopSignalRequest()};
        // Notes about the directory go to the status line, never into the report list.
        context.notice = [this](const std::string& line) {
            statusBar()->showMessage(QString::fromStdString(line));
        };
        failed = engine(context);
        SyncRunDisplay();
        DiscardPendingInput();
    }
    engine_busy_ = false;
    if (failed > 0) {
        statusBar()->showMessage(
            QStringLiteral("Files that could not be read or written in this run: %1").arg(failed));
    }
    // The engines enable the start buttons again whatever the count; the count decides.
    FollowCount();
    if (button->isVisible() && button->isEnabled()) {
        button->setFocus(Qt::OtherFocusReason);
    }
    // The summary comes into view, whichever line the run left selected, and the file the
    // run selected last stays in view in the file list.
    controls_.reportlst->scrollToBottom();
    controls_.source_file->scrollTo(controls_.source_file->currentIndex());
    if (*StopSignalRequest() != 0) {
        close();
    }
}

bool MainWindow::event(QEvent* event) {
    // The status line holds what a run could not do: hovering a menu leaves it alone.
    if (event->type() == QEvent::StatusTip) {
        return true;
    }
    return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A run is never cut short: it may be between renaming an image and writing it. A close
    // request meanwhile is refused with a word why, and does not come back after the run.
    if (engine_busy_) {
        statusBar()->showMessage(
            QStringLiteral("The window stays open while a run is in progress"));
        event->ignore();
        return;
    }
    RememberChoices();
    if (about_box_) {
        about_box_->close();
    }
    if (help_window_) {
        help_window_->close();
    }
    event->accept();
}

}  // namespace korvane
