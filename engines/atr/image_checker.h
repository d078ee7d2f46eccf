// Internal to the check engine: one image's test steps and the repair steps that a
// repair run inserts between them. The test steps live in check_image.cpp, the repair
// steps in image_repair.cpp.
#pragma once

#include <string>

#include "check_image.h"

namespace korvane {

// Puts a repaired image, complete under its temporary name, in place of the old file and
// keeps the old file as its backup; appends the outcome line. It holds copies of all it
// needs, so that a batch can do it after the image's turn, when its group is synced.
struct RepairedImagePlacing {
    FileSystem& fs;
    ReportSink& report;
    ImageLocation image;
    std::filesystem::path backup_path;
    std::filesystem::path temporary;
    bool replace_backup = false;
    std::shared_ptr<std::set<FileIdentity>> written_files;
    bool sync_directories = false;  // alone, not in a group: sync the names at once

    void operator()(const FsStatus& synced) const;
    // The failure for the report, empty on success.
    std::string Place() const;
};

class ImageChecker {
  public:
    ImageChecker(const ImageLocation& image, const CheckSettings& settings, ReportSink& report,
                 UserPrompt& prompt, FileSystem& fs)
        : image_(image), settings_(settings), report_(report), prompt_(prompt), fs_(fs) {}

    CheckResult Run();

  private:
    // Repair steps, each run only after the check that found its fault.
    void RepairSectorSize();   // after the sector size check
    void RepairLength();       // after the length-against-header check
    void RepairMinimumSize();  // after the 1 kB check
    void RepairLayout();       // after the layout error lines
    // Keeps the old file as a backup and writes the mended image; false when the image
    // is itself a backup and must not be counted.
    bool WriteRepairedImage();
    // Writes the mended image: header, the original's kept data, zeros.
    FsStatus StreamImage(OutputFile& file);

    // Asks the user; when a stop is requested before the answer comes, the answer is
    // the one that changes nothing and the image is marked interrupted.
    PromptAnswer Ask(const Prompt& prompt);
    // Ends the block of an image whose question was cut short by a stop request.
    CheckResult Interrupted();

    void Append(const std::string& line) { report_.Append(line); }
    void AppendAddedArea(std::int64_t bytes);  // "Add n bytes empty area"
    void Resize(std::int64_t new_length);
    void WriteImageSizeField();
    std::string ShownName() const;

    const ImageLocation& image_;
    const CheckSettings& settings_;
    ReportSink& report_;
    UserPrompt& prompt_;
    FileSystem& fs_;
    ImageCheck check_;
};

}  // namespace korvane
