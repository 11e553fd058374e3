#include "TerminalText.h"

#include <cstdint>

namespace halvarin::cli {

std::size_t Utf8Length(std::string_view s) {
  const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  uint32_t code = 0;
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    code = code << 6 | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

namespace {

// The marks that reorder the text around them on a terminal that follows
// the bidirectional rules (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066
// to U+2069): a name holding one could show itself, or what follows it on
// the line, backwards.
bool IsBidiControl(std::string_view c) {
  if (c == "\xD8\x9C") {
    return true;
  }
  if (c.size() != 3 || static_cast<unsigned char>(c[0]) != 0xE2) {
    return false;
  }
  const auto b1 = static_cast<unsigned char>(c[1]), b2 = static_cast<unsigned char>(c[2]);
  return (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) ||
         (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9);
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text.front());
    const std::size_t length = Utf8Length(text);
    const bool control = c < 0x20 || c == 0x7F ||
                         (c == 0xC2 && length == 2 && static_cast<unsigned char>(text[1]) < 0xA0) ||
                         IsBidiControl(text.substr(0, length));
    if (length == 0 || control) {
      out += '?';
      text.remove_prefix(length == 0 ? 1 : length);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace halvarin::cli
