// libFuzzer target: every input is an archive file. The archive code must
// agree with an independent reading of the bytes (GrpOracle.h) on whether it
// is an archive at all, damaged or valid, and so must the layout checker,
// whose first error is the reason loading gives. It must answer every query
// as the bytes say; extract every entry byte for byte; and save it to a new file and back in place
// after an edit, writing exactly the bytes the format prescribes, with no temporary file left over.
// A salvage of any input must keep exactly the entries before the first fault, in an archive that
// loads and checks clean.
// Any disagreement aborts, which libFuzzer reports with the input that
// caused it.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "AppError.h"
#include "ArchiveBytes.h"
#include "GrpCheck.h"
#include "GrpOracle.h"
#include "GrpSalvage.h"
#include "clsVarnGRP.h"

namespace {

namespace fs = std::filesystem;
using halvarin::AppError;
using halvarin::clsVarnGRP;
using namespace halvarin::testing;

[[noreturn]] void Fail(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}
#define FUZZ_CHECK(condition) ((condition) ? void() : Fail(__FILE__, __LINE__, #condition))

fs::path g_work;

std::string Work(const std::string& name) {
  return (g_work / name).string();
}

// The object must describe exactly the archive file `file`; returns its entries.
std::vector<Item> ExpectDescribes(const clsVarnGRP& grp, std::string_view file) {
  const OracleArchive a = OracleRead(file);
  FUZZ_CHECK(a.Verdict == OracleArchive::Valid && !grp.Changed());
  FUZZ_CHECK(grp.NumberOfFiles() == static_cast<int64_t>(a.Entries.size()));
  std::vector<Item> entries;
  for (std::size_t i = 0; i < a.Entries.size(); ++i) {
    const auto index = static_cast<int16_t>(i + 1);
    FUZZ_CHECK(grp.filename(index) == a.Entries[i].Name &&
               grp.FileSize(index) == a.Entries[i].Size &&
               grp.FilePosition(index) == a.Entries[i].Position);
    entries.push_back({a.Entries[i].Name, std::string(OracleData(file, a.Entries[i]))});
  }
  return entries;
}

// Exactly these files in the work folder: no temporary file left over.
void ExpectOnlyFiles(std::set<std::string> names) {
  for (const auto& e : fs::directory_iterator(g_work)) {
    names.erase(e.path().filename().string()) == 1
        ? void()
        : Fail(e.path().c_str(), 0, "a file left behind");
  }
  FUZZ_CHECK(names.empty());
}

// A small archive loaded before each input, so that a refused input can be
// seen to leave the object as it was.
const std::string kBase = ArchiveBytes({{std::string("base.dat\0\0\0\0", 12), "base"}});

void RunValid(clsVarnGRP& grp, std::string_view input) {
  const std::vector<Item> entries = ExpectDescribes(grp, input);
  // All at once, as the command line extracts; the last one by itself.
  std::vector<std::pair<int16_t, std::string>> targets;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    targets.emplace_back(static_cast<int16_t>(i + 1), Work("b" + std::to_string(i)));
  }
  grp.extractFiles(targets);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    FUZZ_CHECK(ReadAll(targets[i].second) == entries[i].Data);
    ::unlink(targets[i].second.c_str());
  }

  // Save to a new file: exactly the format's bytes, trailing junk dropped,
  // and the object (and a fresh one) now describes that file.
  grp.saveFile(Work("out.grp"));
  const std::string saved = ReadAll(Work("out.grp"));
  FUZZ_CHECK(saved == ArchiveBytes(entries) && ReadAll(Work("in.grp")) == input);
  ExpectDescribes(grp, saved);
  clsVarnGRP reloaded;
  FUZZ_CHECK(reloaded.LoadFile(Work("out.grp")));
  ExpectDescribes(reloaded, saved);

  // An edit saved in place: drop an entry chosen by the input, queue a file
  // cut from the input, and write the archive over itself.
  std::vector<Item> edited = entries;
  if (!edited.empty()) {
    const std::size_t drop = static_cast<unsigned char>(input.back()) % edited.size();
    grp.deleteFile(static_cast<int16_t>(drop + 1));
    edited.erase(edited.begin() + static_cast<std::ptrdiff_t>(drop));
  }
  const std::string queued(input.substr(0, input.size() % 97));
  WriteAll(Work("queued.bin"), queued);
  FUZZ_CHECK(grp.addFile(Work("queued.bin")) == "queued.bin" && grp.Changed());
  edited.push_back({"queued.bin  ", queued});
  grp.saveFile("");
  const std::string resaved = ReadAll(Work("out.grp"));
  FUZZ_CHECK(resaved == ArchiveBytes(edited));
  ExpectDescribes(grp, resaved);
  grp.extractFile(static_cast<int16_t>(edited.size()), Work("x.out"));
  FUZZ_CHECK(ReadAll(Work("x.out")) == queued);
  ExpectOnlyFiles({"base.grp", "in.grp", "out.grp", "queued.bin", "x.out"});
}

// Where the count leaves the reader nothing: the most records, trying every
// count from the largest down, whose directory and data fill the input
// exactly. Taken only where the stored count cannot be right.
std::vector<Item> ExactFitEntries(std::string_view input) {
  const auto size = static_cast<int64_t>(input.size());
  if (size < 16) {
    return {};
  }
  const auto* p = reinterpret_cast<const unsigned char*>(input.data());
  const int32_t count = OracleInt32(p + 12);
  if (count >= 0 && count <= 32766 && 16 + 16 * int64_t{count} <= size) {
    return {};
  }
  for (int64_t n = std::min<int64_t>(32766, (size - 16) / 16); n > 0; --n) {
    int64_t position = 16 + 16 * n + 1;
    std::vector<Item> entries;
    for (int64_t i = 0; i < n; ++i) {
      const int32_t length = OracleInt32(p + 16 + 16 * i + 12);
      if (length < 0 || position > INT32_MAX || position - 1 + length > size) {
        break;
      }
      entries.push_back({std::string(input.substr(16 + 16 * i, 12)),
                         std::string(input.substr(position - 1, length))});
      position += length;
    }
    if (std::ssize(entries) == n && position - 1 == size && size <= INT32_MAX) {
      return entries;
    }
  }
  return {};
}

// Salvaged: the entries the reader finds before the first fault, byte for
// byte, so a valid input comes out as it is up to the end of its data.
void RunSalvage(std::string_view input, const OracleArchive& want) {
  clsVarnGRP salvaged;
  halvarin::grp::Salvage found;
  const bool archive = salvaged.LoadRecoverable(Work("in.grp"), &found);
  FUZZ_CHECK(archive == (want.Verdict != OracleArchive::NotAnArchive));
  if (!archive) {
    return;
  }
  salvaged.saveFile(Work("salvaged.grp"));
  const std::string out = ReadAll(Work("salvaged.grp"));
  std::vector<Item> kept;
  for (const OracleEntry& e : want.Entries) {
    kept.push_back({e.Name, std::string(OracleData(input, e))});
  }
  if (kept.empty()) {
    kept = ExactFitEntries(input);
  }
  FUZZ_CHECK(out == ArchiveBytes(kept));
  FUZZ_CHECK(found.Whole == static_cast<int32_t>(kept.size()));
  FUZZ_CHECK(want.Verdict != OracleArchive::Valid || input.starts_with(out));
  const auto length = static_cast<int64_t>(out.size());
  FUZZ_CHECK(halvarin::grp::CheckLayout(out.data(), length, length).Sound());
  FUZZ_CHECK(clsVarnGRP().LoadFile(Work("salvaged.grp")));
  ::unlink(Work("salvaged.grp").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Files are written and flushed for every input: a memory-backed folder
  // keeps that from dominating the run.
  const char* env = std::getenv("HALVARIN_FUZZ_TMP");
  const bool shm = ::access("/dev/shm", W_OK) == 0;
  std::string pattern = env != nullptr && *env != '\0' ? env : shm ? "/dev/shm" : "/tmp";
  pattern += "/halvarin-fuzz-XXXXXX";
  FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
  g_work = pattern;
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(g_work, ec);
  });
  WriteAll(Work("base.grp"), kBase);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Files from the previous input go, so that leftovers can be told apart.
  for (const char* name : {"out.grp", "queued.bin", "x.out"}) {
    ::unlink(Work(name).c_str());
  }
  WriteAll(Work("in.grp"), std::string(input));
  const OracleArchive want = OracleRead(input);
  // The checker reaches the same verdict from the bytes alone.
  const auto length = static_cast<int64_t>(input.size());
  const halvarin::grp::CheckResult check = halvarin::grp::CheckLayout(input.data(), length, length);
  FUZZ_CHECK(check.IsArchive == (want.Verdict != OracleArchive::NotAnArchive));
  FUZZ_CHECK(check.Sound() == (want.Verdict == OracleArchive::Valid));
  RunSalvage(input, want);

  clsVarnGRP grp;
  FUZZ_CHECK(grp.LoadFile(Work("base.grp")));
  grp.deleteFile(1);
  bool loaded = false;
  int32_t error = 0;
  try {
    loaded = grp.LoadFile(Work("in.grp"));
  } catch (const AppError& e) {
    error = e.Number();
    // The reason names the file, and is the checker's first error.
    FUZZ_CHECK(e.Description().find(Work("in.grp")) != std::string::npos);
    FUZZ_CHECK(check.FirstError() != nullptr &&
               std::string_view(e.Description()).ends_with(check.FirstError()->Text));
  }
  if (want.Verdict == OracleArchive::Valid) {
    FUZZ_CHECK(loaded && error == 0);
    RunValid(grp, input);  // an error escaping it aborts the run with its description
    return 0;
  }
  using namespace halvarin;
  const bool damaged =
      error == errPathFileAccess || error == errOverflow || error == errSubscriptOutOfRange;
  FUZZ_CHECK(!loaded && (want.Verdict == OracleArchive::NotAnArchive ? error == 0 : damaged));
  // Refused: the object still holds the base archive with its edit, and
  // that edit still saves to the base archive's file.
  FUZZ_CHECK(grp.NumberOfFiles() == 0 && grp.Changed());
  grp.saveFile("");
  FUZZ_CHECK(ReadAll(Work("base.grp")) == ArchiveBytes({}));
  WriteAll(Work("base.grp"), kBase);
  ExpectOnlyFiles({"base.grp", "in.grp"});
  return 0;
}
