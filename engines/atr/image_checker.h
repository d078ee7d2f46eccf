// Internal to the check engine: one image's test steps and the repair steps that a
// repair run inserts between them. The test steps live in check_image.cpp, the repair
// steps in image_repair.cpp.
#pragma once

#include <string>
#include <string_view>

#include "check_image.h"
#include "report_text.h"
#include "write_group.h"

namespace korvane {

// Puts a repaired image, complete under its temporary name, in place of the old file and
// keeps the old file as its backup; appends the outcome line. It holds copies of all it
// needs, so that a batch can do it after the image's turn, in its group's steps.
class RepairedImagePlacing final : public WriteGroup::Placing {
  public:
    RepairedImagePlacing(FileSystem& fs, ReportSink& report, ImageLocation image,
                         std::filesystem::path backup_path, std::filesystem::path temporary,
                         std::optional<FileStamp> replaced_backup,
                         std::shared_ptr<WrittenFiles> written_files)
        : fs_(fs),
          report_(report),
          image_(std::move(image)),
          backup_path_(std::move(backup_path)),
          temporary_(std::move(temporary)),
          replaced_backup_(std::move(replaced_backup)),
          written_files_(std::move(written_files)) {}
    // Gives the untouched file its backup name as a second name, where there is no backup
    // to replace and the file system has hard links.
    bool KeepEarly() override;
    // Takes the early name back if the files' sync failed; otherwise, unless named early,
    // removes the backup to be replaced, then keeps the untouched file under its backup
    // name: as a second name, or, without hard links, renamed.
    bool Keep(const FsStatus& files_synced) override;
    // Puts the repaired image under the image's name; undoes the keeping on failure.
    void Name(const FsStatus& kept_synced) override;
    void Report(const FsStatus& names_synced) override;
    // The identities of the untouched file as it was opened and of the repaired one as it
    // was written, where known.
    void KnowIdentities(std::optional<FileIdentity> source, std::optional<FileIdentity> written) {
        source_identity_ = source;
        written_identity_ = written;
    }

  private:
    // Records the failure for the report, with the removal of the temporary file.
    void Failed(const std::string& failure);
    // Records that the untouched file can not get its backup name.
    void CannotKeep(const FsStatus& failed);
    // Takes the backup name back, so that the untouched file is under its own name alone;
    // what could not be undone, to append to the failure.
    std::string Unkeep();
    FileSystem& fs_;
    ReportSink& report_;
    ImageLocation image_;
    std::filesystem::path backup_path_;
    std::filesystem::path temporary_;
    // The backup the user agreed to replace, as it was when asked; none: no backup.
    std::optional<FileStamp> replaced_backup_;
    std::shared_ptr<WrittenFiles> written_files_;
    // Unlinkable: no hard links on its volume, found before the sync.
    enum class Kept { Nothing, Unlinkable, Linked, Renamed } kept_ = Kept::Nothing;
    std::filesystem::path record_;  // the restore record, while the image's name is free
    std::string failure_;           // empty while all goes well
    std::optional<FileIdentity> source_identity_;
    std::optional<FileIdentity> written_identity_;
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
    // Pieces of a line that are written straight into it: a number, a file name.
    struct HexOf {
        std::int64_t value;
    };
    struct DecOf {
        std::int64_t value;
    };
    struct NameOf {
        const std::filesystem::path& name;
    };
    // Appends the line made of `pieces` (string literals, strings, numbers, names), built
    // in a buffer kept from line to line.
    template <typename... Pieces>
    void AppendLine(const Pieces&... pieces) {
        thread_local std::string line;
        line.clear();
        (Put(line, pieces), ...);
        report_.Append(line);
    }
    template <std::size_t N>
    static void Put(std::string& line, const char (&literal)[N]) {
        line.append(literal, N - 1);  // the length known without looking for its end
    }
    static void Put(std::string& line, std::string_view text) { line.append(text); }
    static void Put(std::string& line, HexOf number) { AppendHex(line, number.value); }
    static void Put(std::string& line, DecOf number) { AppendDec(line, number.value); }
    static void Put(std::string& line, const NameOf& shown) { AppendDisplayName(line, shown.name); }
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
