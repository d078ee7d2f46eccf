// A plain-data window that also records what an engine did to it over a run: every
// progress value, every range and every change of a control's enabled state, in order.
#pragma once

#include <utility>
#include <vector>

#include "plain_window.h"

namespace korvane::testing {

class TrackingWindow final : public WindowControls {
  public:
    explicit TrackingWindow(FileSystem& fs) : plain(fs) {}

    std::string Text(Control c) const override { return plain.Text(c); }
    void SetText(Control c, const std::string& text) override { plain.SetText(c, text); }
    std::string Caption(Control c) const override { return plain.Caption(c); }
    void SetCaption(Control c, const std::string& caption) override {
        plain.SetCaption(c, caption);
    }
    int CheckValue(Control c) const override { return plain.CheckValue(c); }
    bool OptionChosen(Control c) const override { return plain.OptionChosen(c); }
    std::string ComboText(Control c) const override { return plain.ComboText(c); }
    void SetEnabled(Control c, bool enabled) override {
        enabled_changes.emplace_back(c, enabled);
        plain.SetEnabled(c, enabled);
    }
    std::filesystem::path SourcePath() const override { return plain.SourcePath(); }
    std::filesystem::path DirectoryPath() const override { return plain.DirectoryPath(); }
    std::int64_t FileCount() const override { return plain.FileCount(); }
    std::filesystem::path FileEntry(std::int64_t i) const override { return plain.FileEntry(i); }
    void SelectFileEntry(std::int64_t i) override {
        selections.push_back(i);
        plain.SelectFileEntry(i);
    }
    void RefreshFileList() override { plain.RefreshFileList(); }
    void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override {
        ranges.emplace_back(minimum, maximum);
        plain.SetProgressRange(minimum, maximum);
    }
    void SetProgressValue(std::int64_t value) override {
        values.push_back(value);
        plain.SetProgressValue(value);
    }

    PlainWindow plain;
    std::vector<std::pair<Control, bool>> enabled_changes;
    std::vector<std::int64_t> selections;
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    std::vector<std::int64_t> values;
};

}  // namespace korvane::testing
