#include "JsonText.h"

#include <charconv>
#include <cstdint>

#include "Cp1252.h"
#include "GrpFormat.h"
#include "TerminalText.h"

namespace halvarin::cli {

namespace {

void AppendEscape(std::string& out, uint32_t code) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out.push_back(kHex[(code >> 4) & 0xF]);
  out.push_back(kHex[code & 0xF]);
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text.front());
    const std::size_t length = Utf8Length(text);
    if (length == 0) {
      out += "\\ufffd";
      text.remove_prefix(1);
      continue;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      AppendEscape(out, c);
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
      AppendEscape(out, static_cast<unsigned char>(text[1]));  // a C1 control
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  out.push_back('"');
}

void AppendNumber(std::string& out, int64_t value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void AppendJsonField(std::string& out, const char* key, int64_t value) {
  out += ",\"";
  out += key;
  out += "\":";
  AppendNumber(out, value);
}

void AppendJsonNames(std::string& out, std::string_view stored) {
  out += "\"name\":";
  AppendJsonString(out, Cp1252ToUtf8(grp::TrimmedName(stored)));
  out += ",\"stored\":";
  AppendJsonString(out, Cp1252ToUtf8(stored));
}

}  // namespace halvarin::cli
