#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvarin::cli {

// Length of the well-formed UTF-8 sequence at the start of `s` (not empty),
// 0 if there is none there.
std::size_t Utf8Length(std::string_view s);

// `text` as it may reach a terminal: every control character, C0 (newlines
// included), DEL, C1 and the bidirectional controls (U+202E and its kind),
// as "?", and so is every byte that is not part of
// well-formed UTF-8. A raw 0x9B is the 8-bit escape that starts a control
// sequence on terminals that take 8-bit codes; in any other encoding it is
// not a character this program ever prints. Everything printed that comes
// from outside (names of files and entries, arguments, the system's words)
// goes through here.
std::string Printable(std::string_view text);

}  // namespace halvarin::cli
