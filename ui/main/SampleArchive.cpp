#include "SampleArchive.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>

#include "AppError.h"
#include "GrpFormat.h"

namespace halvarin {

namespace {

void PutInt32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

}  // namespace

void WriteGroupArchive(const std::string& path, const std::vector<ArchiveEntry>& entries) {
  if (entries.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw AppError(errOverflow, "WriteGroupArchive", "Too many entries for " + path);
  }
  std::string header(grp::kMagic);
  PutInt32(header, static_cast<uint32_t>(entries.size()));
  for (const ArchiveEntry& entry : entries) {
    if (entry.Name.size() > grp::kNameSize ||
        entry.Data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      throw AppError(errInvalidArgument, "WriteGroupArchive",
                     "Entry " + entry.Name + " does not fit the archive format");
    }
    header += entry.Name;
    header.append(12 - entry.Name.size(), ' ');
    PutInt32(header, static_cast<uint32_t>(entry.Data.size()));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw AppError(errPathFileAccess, "WriteGroupArchive",
                   "Cannot create " + path + ": " + std::strerror(errno));
  }
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  for (const ArchiveEntry& entry : entries) {
    out.write(entry.Data.data(), static_cast<std::streamsize>(entry.Data.size()));
  }
  out.close();
  if (!out) {
    throw AppError(errPathFileAccess, "WriteGroupArchive", "Cannot write " + path);
  }
}

std::vector<ArchiveEntry> SampleEntries() {
  return {
      {"LEVEL1.MAP", "Halvarin sample map: a small room with one door.\n"},
      {"TILES.ART", std::string("ART\0\x01\x02\x03\x04 sample tiles", 21)},
      {"THEME.MID", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14)},
      {"BLAST.VOC", "Sample sound effect, made up for Halvarin.\n"},
      {"INTRO.ANM", "Sample animation, made up for Halvarin.\n"},
      {"SETUP.CFG", "[Setup]\nScreenMode=1\nSoundCard=1\n"},
  };
}

}  // namespace halvarin
