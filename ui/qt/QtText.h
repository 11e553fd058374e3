#pragma once

// Text crosses between the program, which keeps it as UTF-8 in std::string,
// and Qt here, in one spelling for every window. Paths that must keep the
// file system's own bytes go through QFile::encodeName/decodeName instead.

#include <QString>
#include <string>
#include <string_view>

namespace halvarin {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace halvarin
