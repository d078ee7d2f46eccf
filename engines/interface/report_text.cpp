#include "report_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korvane {

void AppendHex(std::string& text, std::int64_t value) {
    // Digits from the right; a negative value shows its 64-bit two's complement.
    auto rest = static_cast<std::uint64_t>(value);
    char buffer[16];
    char* first = buffer + sizeof buffer;
    do {
        *--first = "0123456789ABCDEF"[rest & 0xF];
        rest >>= 4;
    } while (rest != 0);
    text.append(first, buffer + sizeof buffer);
}

std::string Hex(std::int64_t value) {
    std::string text;
    AppendHex(text, value);
    return text;
}

void AppendDec(std::string& text, std::int64_t value) {
    char buffer[24];
    text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string Dec(std::int64_t value) {
    return std::to_string(value);
}

std::string SummaryCount(std::int64_t value) {
    std::string text = value >= 0 ? std::string(1, ' ') : std::string();
    text += std::to_string(value);
    return text;
}

std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    // C1 control characters are escaped like the C0 ones, and so are the line and
    // paragraph separators, which end a line on the screen, and the bidirectional
    // controls, which would reorder the rest of it.
    if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
        (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) {
        return 0;
    }
    return length;
}

namespace {

// Most names are printable ASCII without a backslash, shown as they are.
bool ShownAsItIs(const std::string& raw) {
    return std::all_of(raw.begin(), raw.end(),
                       [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
}

}  // namespace

void AppendDisplayName(std::string& text, const std::filesystem::path& path) {
    if (ShownAsItIs(path.native())) {
        text += path.native();
    } else {
        text += DisplayName(path);
    }
}

std::string DisplayName(const std::filesystem::path& path) {
    const std::string& raw = path.native();
    if (ShownAsItIs(raw)) {
        return raw;
    }
    std::string shown;
    shown.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const auto lead = static_cast<unsigned char>(raw[i]);
        const std::size_t length = Utf8SequenceLength(raw, i);
        // The backslash too, so that a name shown with "\xNN" can not be mistaken for one
        // that holds those four characters.
        if (length == 0 || lead < 0x20 || lead == 0x7F || lead == '\\') {
            // An escaped C1 control takes all its bytes with it, each as \xNN.
            const std::size_t take = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < take; ++k) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X",
                              static_cast<unsigned char>(raw[i + k]));
                shown += escaped;
            }
            i += take;
            continue;
        }
        shown.append(raw, i, length);
        i += length;
    }
    return shown;
}

std::filesystem::path JoinPath(const std::filesystem::path& directory,
                               const std::filesystem::path& name) {
    std::string joined = directory.native();
    if (joined.empty() || joined.back() != '/') {
        joined += '/';
    }
    joined += name.native();
    return joined;
}

std::int64_t LeadingNumber(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') {
        ++begin;
    }
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) {
        return 0;
    }
    const double rounded = std::nearbyint(value);
    if (rounded >= 9.2e18) {
        return INT64_MAX;
    }
    if (rounded <= -9.2e18) {
        return INT64_MIN;
    }
    return static_cast<std::int64_t>(rounded);
}

}  // namespace korvane
