// Number and name formatting shared by every report line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace korvane {

// Upper-case hexadecimal without leading zeros and without prefix; zero is "0".
std::string Hex(std::int64_t value);
// Plain decimal digits.
std::string Dec(std::int64_t value);
// Hex and Dec written at the end of `text`, without a string of their own.
void AppendHex(std::string& text, std::int64_t value);
void AppendDec(std::string& text, std::int64_t value);
// A summary count: one leading blank in the place of the sign for 0 and above.
std::string SummaryCount(std::int64_t value);

// Length of the valid UTF-8 sequence starting at `text[i]`, or 0 if it is not one or
// encodes a C1 control or a bidirectional control (which a report line shows escaped).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i);

// A file name or path as one report line shows it: UTF-8 as it is, every byte that is
// not part of valid UTF-8 and every control character written as \xNN.
std::string DisplayName(const std::filesystem::path& path);
// DisplayName written at the end of `text`.
void AppendDisplayName(std::string& text, const std::filesystem::path& path);

// Joins a directory and a name with one "/", none when the directory ends in "/".
std::filesystem::path JoinPath(const std::filesystem::path& directory,
                               const std::filesystem::path& name);

// The framed head of every summary: "", 61 "=", the spaced word, 61 "=", "".
inline constexpr const char* kSummaryRule =
    "=============================================================";
inline constexpr const char* kSummaryTitle =
    "=====================   S U M M A R Y   =====================";
// The equals-sign run on either side of " F A I L " in a failing verdict.
inline constexpr const char* kFailRule = "=======================================";
inline constexpr const char* kFailWord = " F A I L ";

// Reads the leading number of a control's text the way the window does: an empty or
// non-numeric text reads as 0; the value is rounded to a whole number.
std::int64_t LeadingNumber(const std::string& text);

}  // namespace korvane
