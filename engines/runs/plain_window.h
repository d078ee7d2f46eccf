// A "window" of plain data: WindowControls without widgets, for the command-line tool
// and the tests. It holds each control's value the way the real window would.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "file_system.h"
#include "window_controls.h"

namespace korvane {

class PlainWindow final : public WindowControls {
  public:
    explicit PlainWindow(FileSystem& fs) : fs_(fs) {}

    // What the start buttons do before an engine runs: point the file list and
    // source_path at `directory`, list it and set the count. False when unreadable.
    FsStatus ApplyDirectory(const std::filesystem::path& directory);
    // A file list of the one file `name` in `directory`, as a pick of that file alone.
    void ApplySingleFile(const std::filesystem::path& directory, const std::filesystem::path& name);

    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override { texts_[control] = text; }
    std::string Caption(Control control) const override;
    void SetCaption(Control control, const std::string& caption) override {
        texts_[control] = caption;
    }
    int CheckValue(Control control) const override;
    void SetCheckValue(Control control, int value) { checks_[control] = value; }
    bool OptionChosen(Control control) const override { return chosen_option_ == control; }
    void ChooseOption(Control control) { chosen_option_ = control; }
    std::string ComboText(Control control) const override { return Text(control); }
    void SetEnabled(Control control, bool enabled) override { enabled_[control] = enabled; }
    bool Enabled(Control control) const;

    std::filesystem::path SourcePath() const override { return source_path_; }
    std::filesystem::path DirectoryPath() const override { return directory_; }

    std::int64_t FileCount() const override { return static_cast<std::int64_t>(files_.size()); }
    std::filesystem::path FileEntry(std::int64_t index) const override;
    void SelectFileEntry(std::int64_t index) override { selected_file_ = index; }
    std::int64_t SelectedFileEntry() const { return selected_file_; }
    void RefreshFileList() override;
    // The command-line tool shows no file list: the end of a run lists the directory no more.
    void KeepListAfterRuns() { relist_ = false; }
    void SetPattern(const std::string& pattern) { pattern_ = pattern; }

    void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override {
        progress_minimum_ = minimum;
        progress_maximum_ = maximum;
    }
    void SetProgressValue(std::int64_t value) override { progress_value_ = value; }
    std::int64_t ProgressMaximum() const { return progress_maximum_; }
    std::int64_t ProgressValue() const { return progress_value_; }

  private:
    FileSystem& fs_;
    std::map<Control, std::string> texts_;
    std::map<Control, int> checks_;
    std::map<Control, bool> enabled_;
    Control chosen_option_ = Control::Opt_both;
    std::filesystem::path source_path_;
    std::filesystem::path directory_;
    std::string pattern_ = "*.atr";
    std::vector<std::filesystem::path> files_;
    std::int64_t selected_file_ = -1;
    bool relist_ = true;
    std::int64_t progress_minimum_ = 0;
    std::int64_t progress_maximum_ = 100;
    std::int64_t progress_value_ = 0;
};

}  // namespace korvane
