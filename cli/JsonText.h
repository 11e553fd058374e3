#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace halvarin::cli {

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 (file
// names on some systems) become U+FFFD; control characters, C1 ones too, are
// escaped, so that the output is always valid JSON and safe on a terminal.
void AppendJsonString(std::string& out, std::string_view text);

// `value` in decimal digits.
void AppendNumber(std::string& out, int64_t value);

// ,"key":value
void AppendJsonField(std::string& out, const char* key, int64_t value);

// An entry's name as every JSON output gives it: "name", without its
// padding and up to its first NUL, and "stored", all 12 bytes as they are.
void AppendJsonNames(std::string& out, std::string_view stored);

}  // namespace halvarin::cli
