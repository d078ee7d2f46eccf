// The adapters that give the engines the window: WindowControls over the widgets,
// ReportSink over the report list, UserPrompt over message boxes. While an engine runs,
// the window is repainted now and then so that the progress bar and the report move; the
// mouse and keyboard input that arrives meanwhile is thrown away, never handed to a handler.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "report_sink.h"
#include "user_prompt.h"
#include "window_controls.h"

class QWidget;

namespace korvane {

class MainWindow;
class ReportList;

// Repaints the window during a run, at most once per interval, consuming the input that
// arrived (which a RunInputGuard throws away).
class RepaintPump {
  public:
    static constexpr int kIntervalMs = 50;
    static constexpr int kTicksPerLook = 16;

    explicit RepaintPump(std::function<void()> sync) : sync_(std::move(sync)) {}
    // Starts the interval anew at the beginning of a run.
    void Start() {
        timer_.start();
        file_timer_.invalidate();
    }
    // Repaints if the interval has passed. Called for every line and file, so only every
    // kTicksPerLook-th call reads the clock.
    void Tick();
    // Repaints now.
    void Now();
    // The run has reached its next file and is about to read it.
    void FileReached();

  private:
    std::function<void()> sync_;
    QElapsedTimer timer_;
    QElapsedTimer file_timer_;
    int ticks_ = 0;
};

// The widget for a control name.
QWidget* ControlWidget(const MainWindow& window, Control control);

class WidgetWindowControls final : public WindowControls {
  public:
    WidgetWindowControls(MainWindow& window, RepaintPump& pump) : window_(window), pump_(pump) {}

    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    std::string Caption(Control control) const override;
    void SetCaption(Control control, const std::string& caption) override;
    int CheckValue(Control control) const override;
    bool OptionChosen(Control control) const override;
    std::string ComboText(Control control) const override;
    void SetEnabled(Control control, bool enabled) override;
    std::filesystem::path SourcePath() const override;
    std::filesystem::path DirectoryPath() const override;
    std::int64_t FileCount() const override;
    std::filesystem::path FileEntry(std::int64_t index) const override;
    void SelectFileEntry(std::int64_t index) override;
    void RefreshFileList() override;
    void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override;
    void SetProgressValue(std::int64_t value) override;

    // Shows the progress value set last; values are kept back between repaints.
    void ApplyProgress();

  private:
    MainWindow& window_;
    RepaintPump& pump_;
    std::optional<std::int64_t> pending_progress_;
};

class ReportListSink final : public ReportSink {
  public:
    ReportListSink(ReportList& list, RepaintPump& pump) : list_(list), pump_(pump) {}

    void Clear() override;
    void Append(const std::string& line) override;
    std::int64_t LineCount() const override;
    void SelectLast() override;

  private:
    ReportList& list_;
    RepaintPump& pump_;
};

// Modal message boxes over the main window: the icon, the buttons, the first button as
// the default; closing a three-button box answers Cancel.
class MessageBoxPrompt final : public UserPrompt {
  public:
    MessageBoxPrompt(QWidget* parent, RepaintPump& pump) : parent_(parent), pump_(pump) {}
    PromptAnswer Ask(const Prompt& prompt) override;

  private:
    QWidget* parent_;
    RepaintPump& pump_;
};

// Everything one engine run is handed, owned by the window.
class EngineAdapters {
  public:
    explicit EngineAdapters(MainWindow& window);

    RepaintPump pump;
    WidgetWindowControls controls;
    ReportListSink report;
    MessageBoxPrompt message_boxes;
    // Where the questions go: the message boxes unless a test or tool set another.
    UserPrompt* prompt = nullptr;
};

// Drops the mouse and keyboard input that came in while an engine ran.
void DiscardPendingInput();

// While it lives, mouse and keyboard input reaches only a question box of the run; all
// other input is thrown away as the window takes it from the platform.
class RunInputGuard {
  public:
    RunInputGuard();
    ~RunInputGuard();
    RunInputGuard(const RunInputGuard&) = delete;
    RunInputGuard& operator=(const RunInputGuard&) = delete;

  private:
    std::unique_ptr<QObject> swallower_;
};

}  // namespace korvane
