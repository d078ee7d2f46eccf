#include "json_report_sink.h"

#include <cctype>
#include <filesystem>
#include <optional>
#include <utility>

#include "check_image.h"
#include "conversion_run.h"
#include "report_text.h"
#include "stream_report_sink.h"

namespace korvane {

namespace {

// A string as JSON; a byte that is no valid UTF-8 becomes U+FFFD.
std::string Quoted(const std::string& text) {
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20) {
            out += std::string("\\u00") + kHex[byte >> 4] + kHex[byte & 15];
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

bool ValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// "name", and for a name that is no valid UTF-8 also "name_bytes": its bytes with "%",
// "\\", every control byte and every byte from $7F up written as %XX, so that it can be
// turned back into the very bytes.
std::string NameFields(const std::string& name) {
    std::string fields = "\"name\":" + Quoted(name);
    if (!ValidUtf8(name)) {
        std::string bytes;
        for (const char c : name) {
            const unsigned char byte = static_cast<unsigned char>(c);
            if (byte == '%' || byte == '\\' || byte < 0x20 || byte >= 0x7F) {
                bytes += byte < 0x10 ? "%0" : "%";
                bytes += Hex(byte);
            } else {
                bytes += c;
            }
        }
        fields += ",\"name_bytes\":" + Quoted(bytes);
    }
    return fields;
}

// A report line without its indent, blanks run together and " :" as ":", for matching.
std::string Canonical(const std::string& line) {
    std::string out;
    for (const char c : line) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) {
            continue;
        }
        if (c == ':' && !out.empty() && out.back() == ' ') {
            out.back() = ':';
            continue;
        }
        out += c;
    }
    return out;
}

// The stable code of each kind of finding, by the start of its line (first match wins).
struct FindingKind {
    const char* start;
    const char* code;
};
const FindingKind kFindings[] = {
    {"Header: ATR-file identifier = Fail", "identifier-wrong"},
    {"ERROR: Filelength shall be more than 16 bytes", "file-too-short"},
    {"ERROR: Filelength shall be more than 127 bytes", "xex-too-short"},
    {"ERROR: Filelength shall be smaller than", "xex-too-long"},
    {"ERROR: Header image size is beyond", "header-size-beyond-largest"},
    {"ERROR: Expect $80 or $100", "sector-size-wrong"},
    {"ERROR: Physical file size is smaller than 1kB", "image-under-1k"},
    {"ERROR: Physical file size is", "length-differs-from-header"},
    {"ERROR: Header file size is", "layout-wrong"},
    {"Info: Long", "layout-long"},
    {"Info: Short", "layout-short"},
    {"Add ", "bytes-added"},
    {"Cut ", "bytes-cut"},
    {"Modify header", "header-modified"},
    {"Refused:", "repair-refused"},
    {"Skip repair selected by user", "skipped-by-user"},
    {"Skip repair - the run was interrupted", "interrupted"},
    {"Skip repair - ", "backup-exists"},
    {"Overwrite existing Backupfile", "backup-overwritten"},
    {"Skip", "skipped"},
    {"Disk: ", "fit-disk"},
    {"ERROR: Skipping conversion - file already exists", "output-exists"},
    {"ERROR: File already exists or empty filename", "output-exists"},
    {"ERROR: A file name can not", "name-refused"},
    {"ERROR: Image size shall be", "size-refused"},
    {"ERROR: Sector size shall be", "sector-size-refused"},
    {"ERROR: Physical filelength shall be", "template-length-wrong"},
    {"ERROR: Invalid VTOC", "template-vtoc-wrong"},
    {"ERROR: No free sectors found", "template-full"},
    {"ERROR: Template already holds", "template-has-autorun"},
    {"ERROR: The directory ", "directory-replaced"},
    {"ERROR: File can not be read", "read-failed"},
    {"ERROR: XEX file can not be read", "read-failed"},
    {"ERROR: Template can not be read", "read-failed"},
    {"ERROR: Can not rename", "rename-failed"},
    {"ERROR: Can not delete", "remove-failed"},
    {"ERROR: Can not", "write-failed"},
    {"ERROR", "error"},
};

const char* CodeOf(const std::string& canonical) {
    for (const FindingKind& kind : kFindings) {
        if (canonical.starts_with(kind.start)) {
            return kind.code;
        }
    }
    return nullptr;
}

// The number of a size line: "... (92176 byte)", "= 268 byte", "Ok ($80 byte)", "= $3E8",
// or a summary's "Valid    ATR-files:  3".
std::optional<std::int64_t> SizeOf(const std::string& canonical) {
    const std::size_t open = canonical.rfind('(');
    std::string number = canonical.substr(open == std::string::npos ? 0 : open + 1);
    number = number.substr(0, number.find(" byte"));
    number = number.substr(number.rfind(' ') + 1);
    const bool hex = number.starts_with('$');
    if (number.size() < (hex ? 2U : 1U) ||
        number.find_first_not_of(hex ? "0123456789ABCDEF" : "0123456789", hex ? 1 : 0) !=
            std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(number.substr(hex ? 1 : 0), nullptr, hex ? 16 : 10);
}

std::string Number(const std::optional<std::int64_t>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ",") + item;
    }
    return "[" + out + "]";
}

}  // namespace

JsonReportSink::JsonReportSink(StreamReportSink& out, std::string command,
                               const WindowControls& window)
    : out_(out), command_(std::move(command)), window_(window) {}

void JsonReportSink::Append(const std::string& line) {
    ++lines_;
    block_.push_back(line);
}

// A block as the engines complete it may hold more than one file's lines (the template's
// and the first XEX file's): each "Read" line, and the summary's rules, begin an object.
void JsonReportSink::BlockComplete() {
    std::vector<std::string> lines;
    const auto emit = [&] {
        if (!lines.empty()) {
            const bool summary = lines.front().starts_with("=");
            out_.Append(summary ? SummaryObject(lines) : FileObject(lines));
            lines.clear();
        }
    };
    for (const std::string& line : block_) {
        if (line.starts_with("Read") ||
            (line.starts_with("=") && !lines.empty() && !lines.back().starts_with("="))) {
            emit();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    emit();
    block_.clear();
    out_.BlockComplete();
}

std::string JsonReportSink::FileObject(const std::vector<std::string>& lines) {
    // The file's name: the one of the file list that the block's first line shows, as
    // its bytes; a template or generated image is named by its path as shown.
    std::string shown = lines.front();
    const bool read_line = shown.starts_with("Read");
    if (read_line || shown.starts_with("Skip ")) {
        shown = shown.substr(shown.find(read_line ? ": " : " ") + (read_line ? 2 : 1));
    }
    std::optional<std::filesystem::path> name;
    for (std::int64_t i = next_file_; i < window_.FileCount() && !name; ++i) {
        if (DisplayName(window_.FileEntry(i)) == shown) {
            name = window_.FileEntry(i);
            next_file_ = i + 1;
        }
    }
    const bool named = name || read_line || (command_ == "generate" && !CodeOf(Canonical(shown)));
    const std::string type = !named                                              ? "message"
                             : shown.find('/') != std::string::npos && read_line ? "template"
                                                                                 : "file";

    std::optional<std::int64_t> file_size, header_size, sector_size;
    std::string layout = "null", result, backup;
    std::vector<std::string> findings, finding_texts, written, report;
    bool skipped = false;
    const auto write = [&](const char* what, const std::string& written_name) {
        written.push_back(std::string("{\"what\":\"") + what + "\"," + NameFields(written_name) +
                          "}");
    };
    for (const std::string& line : lines) {
        report.push_back(Quoted(line));
        const std::string text = Canonical(line);
        if (text.starts_with("Physical filelength")) {
            file_size = SizeOf(text);
        } else if (text.starts_with("Header: Image size")) {
            header_size = SizeOf(text);
        } else if (text.starts_with("Header: ATARI sector size")) {
            sector_size = SizeOf(text);
        } else if (text.starts_with("Result: PASS")) {
            result = "pass";
        } else if (text.starts_with("Result:")) {
            result = "fail";
        } else if (text.starts_with("Write: Backup image as")) {
            // The backup is made when the repaired image is written, not before.
            backup = name ? BackupName(*name).native() : text.substr(23);
        } else if (text.starts_with("Generate new ")) {
            write("backup", backup);
            write("image", name ? name->native() : text.substr(13, text.size() - 18));
            result = "repaired";
        } else if (text.starts_with("Generate: ")) {
            write("image", name ? OutputNameFor(*name).native() : text.substr(10));
            result = "converted";
        } else if (text == "successfully generated") {
            write("image", shown);
            result = "generated";
        } else if (const char* code = CodeOf(text)) {
            findings.push_back(code);
            finding_texts.push_back(text);
            layout =
                text.starts_with("Info: ") ? (text[6] == 'L' ? "\"long\"" : "\"short\"") : layout;
            skipped = skipped || text.starts_with("Skip");
        } else if (!finding_texts.empty() && line.starts_with("                ")) {
            finding_texts.back() += " " + text;  // the second line of a finding
        }
    }
    if (result.empty()) {
        result = skipped ? "skipped" : findings.empty() ? "none" : "fail";
    }
    std::vector<std::string> finding_objects;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        finding_objects.push_back("{\"code\":\"" + findings[i] +
                                  "\",\"text\":" + Quoted(finding_texts[i]) + "}");
    }
    std::string object = "{\"type\":\"" + type + "\",\"command\":\"" + command_ + "\"";
    if (named) {
        object += "," + NameFields(name ? name->native() : shown) +
                  ",\"sizes\":{\"file\":" + Number(file_size) +
                  ",\"header\":" + Number(header_size) + ",\"sector\":" + Number(sector_size) +
                  "},\"layout\":" + layout;
    }
    return object + ",\"findings\":" + Joined(finding_objects) + ",\"result\":\"" + result +
           "\",\"written\":" + Joined(written) + ",\"report\":" + Joined(report) + "}";
}

// The summary's counts by their labels ("Valid    ATR-files:  3" is "valid_atr_files": 3)
// and its other lines as messages.
std::string JsonReportSink::SummaryObject(const std::vector<std::string>& lines) const {
    std::vector<std::string> counts, messages;
    for (const std::string& line : lines) {
        const std::size_t colon = line.find(':');
        if (line.starts_with("=") || line.starts_with("Click on")) {
            continue;
        }
        if (colon == std::string::npos || !SizeOf(line)) {
            messages.push_back(Quoted(line));
            continue;
        }
        std::string key;
        for (const char c : line.substr(0, colon)) {
            const bool word = std::isalnum(static_cast<unsigned char>(c)) != 0;
            if (word || (!key.empty() && key.back() != '_')) {
                key += word ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : '_';
            }
        }
        while (key.ends_with('_')) {
            key.pop_back();
        }
        counts.push_back(Quoted(key) + ":" + Number(SizeOf(line)));
    }
    return "{\"type\":\"summary\",\"command\":\"" + command_ + "\",\"counts\":{" +
           Joined(counts).substr(1, Joined(counts).size() - 2) +
           "},\"messages\":" + Joined(messages) + "}";
}

}  // namespace korvane
