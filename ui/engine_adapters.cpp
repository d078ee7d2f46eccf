#include "engine_adapters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>
#include <algorithm>
#include <limits>

#include "directory_list.h"
#include "file_list_view.h"
#include "main_window.h"
#include "report_list.h"
#include "window_colours.h"

namespace korvane {

namespace {

int ClampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

QLineEdit* TextBox(const MainWindow& window, Control control) {
    switch (control) {
        case Control::Txt_image_size:
            return window.controls().Txt_image_size;
        case Control::Txt_filename:
            return window.controls().Txt_filename;
        default:
            return nullptr;
    }
}

bool IsUserInput(const QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

// Whether `receiver` lies within the modal box shown now (a question of the run).
bool InModalBox(const QObject* receiver) {
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return false;
    }
    if (const auto* widget = qobject_cast<const QWidget*>(receiver)) {
        return widget->window() == modal;
    }
    return receiver == static_cast<const QObject*>(modal->windowHandle());
}

// Swallows mouse and keyboard input, shortcuts included; during a run, all but what goes
// to the question box the run shows.
class InputSwallower final : public QObject {
  public:
    explicit InputSwallower(bool let_questions_through)
        : let_questions_through_(let_questions_through) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return IsUserInput(event) && !(let_questions_through_ && InModalBox(watched));
    }

  private:
    bool let_questions_through_;
};

// How many input guards are in place now.
int guards_in_place = 0;

}  // namespace

RunInputGuard::RunInputGuard() : swallower_(std::make_unique<InputSwallower>(true)) {
    QCoreApplication::instance()->installEventFilter(swallower_.get());
    ++guards_in_place;
}

RunInputGuard::~RunInputGuard() {
    --guards_in_place;
    QCoreApplication::instance()->removeEventFilter(swallower_.get());
}

void RepaintPump::Tick() {
    if (++ticks_ < kTicksPerLook && timer_.isValid()) {
        return;
    }
    ticks_ = 0;
    if (timer_.isValid() && timer_.elapsed() < kIntervalMs) {
        return;
    }
    Now();
}

void RepaintPump::FileReached() {
    // The first file, and each after one that took longer than the interval, is shown
    // before it is read: a slow file shows itself, not the one before it.
    const bool slow = !file_timer_.isValid() || file_timer_.elapsed() >= kIntervalMs;
    file_timer_.start();
    if (slow) {
        Now();
    } else {
        Tick();
    }
}

void RepaintPump::Now() {
    sync_();
    // Under a guard, input is taken from the platform now and thrown away as it arrives:
    // input that a platform held back would be delivered once the run is over.
    QCoreApplication::processEvents(guards_in_place > 0 ? QEventLoop::AllEvents
                                                        : QEventLoop::ExcludeUserInputEvents);
    timer_.start();
}

QWidget* ControlWidget(const MainWindow& window, Control control) {
    const MainControls& c = window.controls();
    switch (control) {
        case Control::cmd_start_test:
            return c.cmd_start_test;
        case Control::cmd_start_repair:
            return c.cmd_start_repair;
        case Control::Cmd_start_conversion:
            return c.Cmd_start_conversion;
        case Control::Cmd_generation:
            return c.Cmd_generation;
        case Control::Cmd_start_contents:
            return c.Cmd_start_contents;
        case Control::source_drive:
            return c.source_drive;
        case Control::source_dir:
            return c.source_dir;
        case Control::source_path:
            return c.source_path;
        case Control::source_file:
            return c.source_file;
        case Control::source_count:
            return c.source_count;
        case Control::chk_expand_images:
            return c.chk_expand_images;
        case Control::chk_fit:
            return c.chk_fit;
        case Control::Opt_both:
            return c.Opt_both;
        case Control::Opt_short:
            return c.Opt_short;
        case Control::Opt_long:
            return c.Opt_long;
        case Control::Combo_byte_per_sector:
            return c.Combo_byte_per_sector;
        case Control::Combo_no_of_sectors:
            return c.Combo_no_of_sectors;
        case Control::Combo_format:
            return c.Combo_format;
        case Control::Txt_image_size:
            return c.Txt_image_size;
        case Control::Txt_filename:
            return c.Txt_filename;
        case Control::ProgressBar1:
            return c.ProgressBar1;
    }
    return nullptr;
}

std::string WidgetWindowControls::Text(Control control) const {
    if (control == Control::source_path) {
        return window_.SourcePath().native();
    }
    const QLineEdit* box = TextBox(window_, control);
    return box == nullptr ? std::string() : box->text().toStdString();
}

void WidgetWindowControls::SetText(Control control, const std::string& text) {
    if (QLineEdit* box = TextBox(window_, control)) {
        box->setText(QString::fromStdString(text));
    }
}

std::string WidgetWindowControls::Caption(Control control) const {
    return control == Control::source_count ? window_.controls().source_count->text().toStdString()
                                            : std::string();
}

void WidgetWindowControls::SetCaption(Control control, const std::string& caption) {
    if (control == Control::source_count) {
        window_.SetSourceCount(QString::fromStdString(caption));
    }
}

int WidgetWindowControls::CheckValue(Control control) const {
    const auto* box = qobject_cast<const QCheckBox*>(ControlWidget(window_, control));
    if (box == nullptr) {
        return 0;
    }
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        case Qt::Unchecked:
            break;
    }
    return 0;
}

bool WidgetWindowControls::OptionChosen(Control control) const {
    const auto* option = qobject_cast<const QRadioButton*>(ControlWidget(window_, control));
    return option != nullptr && option->isChecked();
}

std::string WidgetWindowControls::ComboText(Control control) const {
    const auto* combo = qobject_cast<const QComboBox*>(ControlWidget(window_, control));
    return combo == nullptr ? std::string() : combo->currentText().toStdString();
}

void WidgetWindowControls::SetEnabled(Control control, bool enabled) {
    if (QWidget* widget = ControlWidget(window_, control)) {
        widget->setEnabled(enabled);
    }
}

std::filesystem::path WidgetWindowControls::SourcePath() const {
    return window_.SourcePath();
}

std::filesystem::path WidgetWindowControls::DirectoryPath() const {
    return window_.controls().source_dir->path();
}

std::int64_t WidgetWindowControls::FileCount() const {
    return window_.controls().source_file->Count();
}

std::filesystem::path WidgetWindowControls::FileEntry(std::int64_t index) const {
    return window_.controls().source_file->Entry(index);
}

void WidgetWindowControls::SelectFileEntry(std::int64_t index) {
    window_.controls().source_file->SelectLater(index);
    pump_.FileReached();
}

void WidgetWindowControls::RefreshFileList() {
    window_.controls().source_file->RefreshIfChanged();
}

void WidgetWindowControls::SetProgressRange(std::int64_t minimum, std::int64_t maximum) {
    // An empty range would show the bar as busy: a run with nothing to do stays empty.
    const int low = ClampToInt(minimum);
    const int high = std::max(ClampToInt(maximum), low + 1);
    window_.controls().ProgressBar1->setRange(low, high);
    window_.controls().ProgressBar1->setValue(low);
    // The controls are locked by now: show that at once, not only at the first file.
    pump_.Now();
}

void WidgetWindowControls::SetProgressValue(std::int64_t value) {
    pending_progress_ = value;
    pump_.Tick();
}

void WidgetWindowControls::ApplyProgress() {
    if (pending_progress_) {
        // The bar would paint itself at once; it is painted with the rest of the window.
        QProgressBar* bar = window_.controls().ProgressBar1;
        bar->setUpdatesEnabled(false);
        bar->setValue(ClampToInt(*pending_progress_));
        bar->setUpdatesEnabled(true);
        pending_progress_.reset();
    }
}

void ReportListSink::Clear() {
    list_.Clear();
}

void ReportListSink::Append(const std::string& line) {
    list_.Append(line);
    pump_.Tick();
}

std::int64_t ReportListSink::LineCount() const {
    return list_.LineCount();
}

void ReportListSink::SelectLast() {
    list_.SelectLast();
}

PromptAnswer MessageBoxPrompt::Ask(const Prompt& prompt) {
    // The user sees the report up to the question before answering it.
    pump_.Now();
    QMessageBox box(
        prompt.icon == PromptIcon::Critical ? QMessageBox::Critical : QMessageBox::Question,
        QString::fromStdString(prompt.title), QString::fromStdString(prompt.text),
        QMessageBox::NoButton, parent_);
    TakeParentColours(box);
    box.setDetailedText(QString::fromStdString(prompt.detail));
    switch (prompt.buttons) {
        case PromptButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case PromptButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case PromptButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        case QMessageBox::Ok:
            return PromptAnswer::Ok;
        default:
            break;
    }
    return prompt.buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
}

EngineAdapters::EngineAdapters(MainWindow& window)
    : pump([&window] { window.SyncRunDisplay(); }),
      controls(window, pump),
      report(*window.controls().reportlst, pump),
      message_boxes(&window, pump),
      prompt(&message_boxes) {}

void DiscardPendingInput() {
    InputSwallower swallower(false);
    QCoreApplication::instance()->installEventFilter(&swallower);
    // What the window system has sent until now is fetched, then dropped.
    QGuiApplication::sync();
    QCoreApplication::processEvents(QEventLoop::AllEvents, RepaintPump::kIntervalMs);
    QCoreApplication::instance()->removeEventFilter(&swallower);
}

}  // namespace korvane
