#pragma once

#include <string>
#include <string_view>

namespace halvarin::cli {

// `text` as a JSON string, quotes included. Bytes that are not UTF-8 (file
// names on some systems) become U+FFFD; control characters, C1 ones too, are
// escaped, so that the output is always valid JSON and safe on a terminal.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace halvarin::cli
