#include "check_image.h"

#include <cstdlib>

#include "atr_header.h"
#include "image_checker.h"
#include "report_text.h"

namespace korvane {

namespace {

constexpr char kIndent[] = "        ";
constexpr std::int64_t kMinimumData = 1024;

const std::string& FailLine() {
    static const std::string line = std::string("Result: ") + kFailRule + kFailWord + kFailRule;
    return line;
}

}  // namespace

std::string ImageChecker::ShownName() const {
    return DisplayName(image_.name);
}

CheckResult ImageChecker::Run() {
    CheckResult result;

    // Only the header and the length are read; a length beyond the signed 32-bit lengths
    // is refused.
    // A repair takes the old file's owner and mode too.
    OpenResult opened = settings_.repair_mode ? fs_.OpenRead(image_.path)
                        : settings_.directory.empty()
                            ? fs_.OpenToCheck(image_.path)
                            : fs_.OpenToCheckIn(settings_.directory, image_.name);
    AppendLine("Read  : ", NameOf{image_.name});
    std::size_t got = 0;
    FsStatus status = opened.status;
    if (status.ok() && opened.file->info().length > atr::kMaxLength) {
        // Counted as a file that could not be read, as the other reasons are.
        status =
            fs_.Counted(FsStatus::Fail("file is larger than " + Dec(atr::kMaxLength) + " bytes"));
    } else if (status.ok()) {
        status = fs_.Counted(opened.file->ReadAt(0, check_.header, got));
    }
    if (!status.ok()) {
        Append(std::string(kIndent) + "ERROR: File can not be read - " + status.reason());
        Append(FailLine());
        Append("");
        return {Verdict::Fail, CountClass::Invalid};
    }
    check_.source = std::move(opened.file);
    check_.physical_length = check_.source->info().length;
    check_.kept_length = check_.physical_length;
    AppendLine(kIndent, "Physical filelength         = $", HexOf{check_.physical_length},
               " bytes (", DecOf{check_.physical_length}, " byte)");
    check_.image_invalid = false;

    // Too short to hold a header: fails at once, and no empty line follows.
    if (check_.physical_length < static_cast<std::int64_t>(atr::kHeaderSize) ||
        got < atr::kHeaderSize) {
        Append(std::string(kIndent) + "ERROR: Filelength shall be more than 16 bytes");
        Append(FailLine());
        return {Verdict::Fail, CountClass::Invalid};
    }

    const AtrHeader header = DecodeAtrHeader(check_.header);

    // Identifier: corrected in memory at once; only a repair run writes it.
    if (header.identifier_matches) {
        AppendLine(kIndent, "Header: ATR-file identifier = Ok");
    } else {
        Append(std::string(kIndent) +
               "Header: ATR-file identifier = Fail - Expect $96,$02 - Read $" +
               Hex(header.identifier_byte0) + " $" + Hex(header.identifier_byte1));
        check_.image_invalid = true;
        SetAtrIdentifier(check_.header);
    }

    // Image size as the header states it.
    check_.stated_length = header.stated_length;
    AppendLine(kIndent, "Header: Image size          = $", HexOf{check_.stated_length}, " bytes (",
               DecOf{check_.stated_length}, " byte)");
    if (check_.stated_length + static_cast<std::int64_t>(atr::kHeaderSize) > atr::kMaxLength) {
        check_.image_invalid = true;
        Append(std::string(kIndent) +
               "ERROR : Header image size is beyond the largest length an image can have");
    }

    // Sector size: 128 or 256 only.
    check_.sector_size = header.sector_size;
    if (check_.sector_size == atr::kSingleSectorSize ||
        check_.sector_size == atr::kDoubleSectorSize) {
        AppendLine(kIndent, "Header: ATARI sector size   = Ok ($", HexOf{check_.sector_size},
                   " byte)");
    } else {
        check_.image_invalid = true;
        Append(std::string(kIndent) + "Header: ATARI sector size   = $" + Hex(check_.sector_size));
        Append("ERROR : Expect $80 or $100 ATARI sector size");
        report_.SelectLast();
        if (settings_.repair_mode) {
            RepairSectorSize();
            if (check_.interrupted) {
                return Interrupted();
            }
        }
    }

    // Physical length against the header's length.
    const std::int64_t expected =
        check_.stated_length + static_cast<std::int64_t>(atr::kHeaderSize);
    if (check_.physical_length != expected) {
        check_.image_invalid = true;
        const std::int64_t difference = std::llabs(check_.physical_length - expected);
        Append(std::string(kIndent) + "ERROR : Physical file size is " + Dec(difference) +
               (check_.physical_length < expected
                    ? " bytes too small according to header information"
                    : " bytes too large according to header information"));
        if (settings_.repair_mode) {
            RepairLength();
            if (check_.interrupted) {
                return Interrupted();
            }
        }
    }

    // The 1 kB rule, when the user asked for it.
    if (settings_.expand_small &&
        check_.physical_length - static_cast<std::int64_t>(atr::kHeaderSize) < kMinimumData) {
        check_.image_invalid = true;
        Append(std::string(kIndent) + "ERROR : Physical file size is smaller than 1kB");
        if (settings_.repair_mode) {
            RepairMinimumSize();
        }
    }

    if (check_.sector_size == atr::kDoubleSectorSize) {
        // The layout found, from the physical data length.
        switch (ClassifyAtrLayout(check_.physical_length -
                                  static_cast<std::int64_t>(atr::kHeaderSize))) {
            case AtrLayout::Long:
                Append(std::string(kIndent) +
                       "Info  : Long 256 bytes / sector implementation detected according to "
                       "header information");
                break;
            case AtrLayout::Short:
                Append(std::string(kIndent) +
                       "Info  : Short 256 bytes / sector implementation detected according to "
                       "header information");
                break;
            case AtrLayout::Neither:
                break;
        }

        const std::int64_t c = LayoutCorrection(check_.stated_length, settings_.layout);
        if (c != 0) {
            check_.image_invalid = true;
            if (c == atr::kShortBootArea) {
                Append(std::string(kIndent) +
                       "ERROR : Header file size is 384 bytes too small for 256 bytes / sector "
                       "implementation");
            } else if (c == -atr::kShortBootArea) {
                Append(std::string(kIndent) +
                       "ERROR : Header file size is 384 bytes too large for 256 bytes / sector "
                       "implementation");
            } else {
                Append(std::string(kIndent) + "ERROR : Header file size is " + Dec(c) +
                       " bytes too small or ");
                Append(std::string(kIndent) + kIndent + Dec(std::llabs(c - 256)) +
                       " bytes too larger for 256 bytes / sector implementation");
            }
            if (settings_.repair_mode) {
                RepairLayout();
                if (check_.interrupted) {
                    return Interrupted();
                }
            }
        }
    }

    report_.SelectLast();

    if (check_.image_invalid) {
        Append(FailLine());
        result.verdict = Verdict::Fail;
        if (settings_.repair_mode && !WriteRepairedImage()) {
            return {Verdict::Fail, CountClass::NotCounted};
        }
    } else {
        Append("Result: PASS");
    }
    Append("");
    result.count = check_.image_invalid ? CountClass::Invalid : CountClass::Valid;
    return result;
}

CheckResult CheckImage(const ImageLocation& image, const CheckSettings& settings,
                       ReportSink& report, UserPrompt& prompt, FileSystem& fs) {
    return ImageChecker(image, settings, report, prompt, fs).Run();
}

}  // namespace korvane
