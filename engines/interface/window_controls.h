// WindowControls: the named controls of the main window as the engines see them.
// The Qt window implements it over its widgets, the command-line tool over plain data,
// so both run the very same engine code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvane {

// Control names are those of the main window; the enumerators keep them verbatim.
enum class Control {
    cmd_start_test,
    cmd_start_repair,
    Cmd_start_conversion,
    Cmd_generation,
    Cmd_start_contents,
    source_drive,
    source_dir,
    source_path,
    source_file,
    source_count,
    chk_expand_images,
    chk_fit,
    Opt_both,
    Opt_short,
    Opt_long,
    Combo_byte_per_sector,
    Combo_no_of_sectors,
    Combo_format,
    Txt_image_size,
    Txt_filename,
    ProgressBar1,
};

class WindowControls {
  public:
    virtual ~WindowControls() = default;

    // Text of a text box (Txt_image_size, Txt_filename).
    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    // Caption of a label (source_count).
    virtual std::string Caption(Control control) const = 0;
    virtual void SetCaption(Control control, const std::string& caption) = 0;
    // Value of a check box: 0 clear, 1 ticked, 2 greyed.
    virtual int CheckValue(Control control) const = 0;
    // Whether an option button is chosen.
    virtual bool OptionChosen(Control control) const = 0;
    // The text of the chosen item of a combo box.
    virtual std::string ComboText(Control control) const = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;

    // The directory the engines work in (the text of source_path), kept as a path so
    // that names that are not valid UTF-8 survive.
    virtual std::filesystem::path SourcePath() const = 0;
    // The path of the directory list source_dir.
    virtual std::filesystem::path DirectoryPath() const = 0;

    // The file list source_file: its entries in list order, and the selection.
    virtual std::int64_t FileCount() const = 0;
    virtual std::filesystem::path FileEntry(std::int64_t index) const = 0;
    virtual void SelectFileEntry(std::int64_t index) = 0;
    // Lists the file list's directory anew with its current pattern, where it changed.
    virtual void RefreshFileList() = 0;

    // The progress bar ProgressBar1.
    virtual void SetProgressRange(std::int64_t minimum, std::int64_t maximum) = 0;
    virtual void SetProgressValue(std::int64_t value) = 0;
};

}  // namespace korvane
