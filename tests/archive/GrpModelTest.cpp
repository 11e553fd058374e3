// Long random sequences of loads, additions, deletions, saves (in place and
// elsewhere), extractions, files changing behind the program's back and
// injected I/O failures, checked after every step against a small model of
// what the object and every file in the folder must hold, byte for byte.
// Every save is compared with the archive as it was loaded, which must show
// the edits made in between.
//
// HALVARIN_MODEL_SEEDS=N runs N seeds (from HALVARIN_MODEL_SEED, else 1),
// HALVARIN_MODEL_STEPS=N makes each sequence N steps long. A failure names
// its seed, its step and the steps before it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "FaultyFileSystem.h"
#include "GrpDiff.h"
#include "GrpOracle.h"
#include "TempDir.h"

namespace halvarin::testing {
namespace {

// The entry name of a path, worked out independently: the last component; a
// name over 12 characters with a dot keeps its first 8 and all from the dot.
std::string ModelName(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  const auto dot = name.find('.');
  return name.size() > 12 && dot != std::string::npos ? name.substr(0, 8) + name.substr(dot) : name;
}

// What a comparison of two archive files must find, worked out the slow
// way: an entry goes with the first one not taken yet of the same name in
// the other, names compared up to their first NUL and padding spaces, a to
// z as capitals.
std::vector<EntryChange> ModelChanges(const std::string& olderFile, const std::string& newerFile) {
  const auto key = [](std::string name) {
    name.resize(std::min(name.find('\0'), name.size()));
    name.erase(name.find_last_not_of(' ') + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
    return name;
  };
  const std::vector<OracleEntry> older = OracleRead(olderFile).Entries;
  const std::vector<OracleEntry> newer = OracleRead(newerFile).Entries;
  std::vector<EntryChange> changes;
  std::vector<bool> taken(newer.size());
  for (int16_t i = 0; i < std::ssize(older); ++i) {
    int16_t j = 0;
    while (j < std::ssize(newer) && (taken[j] || key(newer[j].Name) != key(older[i].Name))) {
      ++j;
    }
    if (j == std::ssize(newer)) {
      changes.push_back({EntryChange::Removed, older[i].Name, int16_t(i + 1), 0, older[i].Size, 0});
    } else if (taken[j] = true;
               OracleData(olderFile, older[i]) != OracleData(newerFile, newer[j])) {
      changes.push_back({EntryChange::Changed, newer[j].Name, int16_t(i + 1), int16_t(j + 1),
                         older[i].Size, newer[j].Size});
    }
  }
  for (int16_t j = 0; j < std::ssize(newer); ++j) {
    if (!taken[j]) {
      changes.push_back({EntryChange::Added, newer[j].Name, 0, int16_t(j + 1), 0, newer[j].Size});
    }
  }
  return changes;
}

// Name: 12 bytes as stored.
struct ModelEntry {
  std::string Name, Data;
  int64_t Position = 0;
};

class Model {
 public:
  explicit Model(uint32_t seed) : rng_(seed) {
    std::filesystem::create_directories(dir / "src/sub");
    // A dot in a folder's name says nothing about the file's ending.
    std::filesystem::create_directories(dir / "out.d");
    // Targets that are no files: refused, and left as they are.
    std::filesystem::create_directory(dir / "folder.grp");
#ifdef _WIN32  // no named pipes in folders there: another folder stands in
    std::filesystem::create_directory(dir / "pipe.grp");
#else
    ::mkfifo((dir / "pipe.grp").c_str(), 0644);
#endif
    for (const char* name : {"a.grp", "b.grp", "c.grp"}) {
      Put(name, RandomArchive());
    }
    Put("junk.bin", "not an archive at all");
    Put("bad.grp", "Quorindavell" + Int32(3) + Padded("x") + Int32(5));
    for (const std::string& source : sources_) {
      if (source != "src/never-there.dat") {
        Put(source, source == "src/empty.dat" ? "" : RandomBytes(300));
      }
    }
  }

  // Returns what the step did, for the failure message.
  std::string Step() {
    const int pick = Uniform(0, 99);
    pick < 12   ? Load()
    : pick < 34 ? Add()
    : pick < 50 ? Delete()
    : pick < 66 ? Save()
    : pick < 80 ? Extract()
    : pick < 90 ? ChangeBehindItsBack()
                : FailOneCall();
    SCOPED_TRACE(log_);
    Check();
    return log_;
  }

  TempDir dir, elsewhere;
  FaultyFileSystem faulty;
  clsVarnGRP grp{faulty};

 private:
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  const std::string& Any(const std::vector<std::string>& from) {
    return from[Uniform(0, int(from.size()) - 1)];
  }

  std::string RandomBytes(int most) {
    std::string bytes(static_cast<std::size_t>(Uniform(0, most)), '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(Uniform(0, 255)); });
    return bytes;
  }

  std::string RandomArchive() {
    std::vector<Item> items(static_cast<std::size_t>(Uniform(0, 8)));
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string names[] = {Padded("e" + std::to_string(i) + ".art", '\0'),
                                   Padded("snd" + std::to_string(i) + ".voc"),
                                   "TWELVECHARS" + std::to_string(i),
                                   std::string(12, static_cast<char>(Uniform(0, 255)))};
      items[i] = {names[Uniform(0, 3)], RandomBytes(std::array{0, 2, 200}[Uniform(0, 2)])};
    }
    // Bytes after the last entry belong to none: a save drops them.
    return ArchiveBytes(items) + (Uniform(0, 3) == 0 ? "tail" : "");
  }

  // A file written by the test, not by the object.
  void Put(const std::string& name, const std::string& bytes) {
    WriteAll(dir / name, bytes);
    disk_[name] = bytes, ++version_[name];
  }

  void Log(const std::string& line, int32_t error = 0) {
    log_ = line + " -> " + std::to_string(error), error_ = error;
  }

  // What a successful load of `name` turns the object into.
  void Loaded(const std::string& name) {
    const std::string& bytes = disk_.at(name);
    const OracleArchive a = OracleRead(bytes);
    table_.clear();
    for (const OracleEntry& e : a.Entries) {
      table_.push_back({e.Name, std::string(OracleData(bytes, e)), e.Position});
    }
    queue_.clear();
    changed_ = false;
    path_ = name;
    loadedVersion_ = version_[name];
    loadedHead_ = bytes.substr(0, 16 + 16 * a.Entries.size());
    loadedBytes_ = bytes;
  }

  // Two archives compared through buffers of a random size: the changes
  // found are those worked out the slow way.
  void ExpectChanges(const std::string& older, const std::string& newer) {
    WriteAll(elsewhere / "old.grp", older), WriteAll(elsewhere / "new.grp", newer);
    clsVarnGRP a, b;
    ASSERT_TRUE(a.LoadFile(elsewhere / "old.grp") && b.LoadFile(elsewhere / "new.grp"));
    EXPECT_TRUE(CompareArchives(a, b, Uniform(0, 1) ? Uniform(1, 40) : 1 << 20) ==
                ModelChanges(older, newer))
        << log_;
  }

  // Whether the object may still read its archive: still the version it
  // loaded (or wrote), or one with the very same header and directory, whose
  // data it then takes as it is now.
  bool ArchiveIntact() {
    if (disk_.count(path_) == 0 || version_[path_] == loadedVersion_) {
      return disk_.count(path_) != 0;
    }
    const std::string& bytes = disk_.at(path_);
    if (bytes.compare(0, loadedHead_.size(), loadedHead_) != 0) {
      return false;
    }
    for (const ModelEntry& e : table_) {
      if (e.Position - 1 + std::ssize(e.Data) > std::ssize(bytes)) {
        return false;
      }
    }
    for (ModelEntry& e : table_) {
      e.Data = bytes.substr(static_cast<std::size_t>(e.Position - 1), e.Data.size());
    }
    loadedVersion_ = version_[path_];
    return true;
  }

  void Load() {
    const std::string name = Any(
        {"a.grp", "b.grp", "c.grp", "d.grp", "junk.bin", "bad.grp", "out.d/e.grp", "missing.grp"});
    bool result = false;
    const int32_t error = ErrorOf([&] { result = grp.LoadFile(dir / name); });
    Log("LoadFile " + name, error);
    const bool missing = disk_.count(name) == 0;
    const auto verdict = missing ? OracleArchive::NotAnArchive : OracleRead(disk_.at(name)).Verdict;
    EXPECT_EQ(error, missing ? errFileNotFound : verdict == OracleArchive::Damaged ? error : 0);
    EXPECT_EQ(error != 0, missing || verdict == OracleArchive::Damaged);
    EXPECT_EQ(result, verdict == OracleArchive::Valid);
    if (result) {
      Loaded(name);
    }
  }

  void Add() {
    // A file that never exists blocks every save until it is deleted again:
    // rarely, so that most sequences get to save.
    std::string source = Any(sources_);
    while (source == "src/never-there.dat" && Uniform(0, 9) != 0) {
      source = Any(sources_);
    }
    Log("addFile " + source);
    EXPECT_EQ(grp.addFile(dir / source), ModelName(source));
    queue_.push_back(source);
    changed_ = true;
  }

  void Delete() {
    const int total = static_cast<int>(table_.size() + queue_.size());
    const int index = Uniform(0, total + 1);
    const int32_t error = ErrorOf([&] { grp.deleteFile(static_cast<int16_t>(index)); });
    Log("deleteFile " + std::to_string(index), error);
    const bool outside = index < 1 || index > total;
    EXPECT_EQ(error, outside ? errSubscriptOutOfRange : 0);
    const int rows = static_cast<int>(table_.size());
    outside         ? void()
    : index <= rows ? void(table_.erase(table_.begin() + (index - 1)))
                    : void(queue_.erase(queue_.begin() + (index - 1 - rows)));
    changed_ = changed_ || !outside;
  }

  // The bytes a save to `given` must write, to `target`; nullopt when it
  // must fail.
  std::optional<std::string> SaveOutcome(const std::string& given, std::string& target) {
    target = given.empty() ? path_ : given;
    if (target.find('.', target.rfind('/') + 1) == std::string::npos) {
      target += ".grp";
    }
    // Over its own file, the save must also find there what it loaded.
    const bool inPlace = target == path_ && disk_.count(path_) != 0;
    if (target == ".grp" || target == "folder.grp" || target == "pipe.grp" ||
        ((!table_.empty() || inPlace) && !ArchiveIntact())) {
      return std::nullopt;
    }
    std::vector<Item> items;
    for (const ModelEntry& e : table_) {
      items.push_back({e.Name, e.Data});
    }
    for (const std::string& source : queue_) {
      if (disk_.count(source) == 0) {
        return std::nullopt;
      }
      items.push_back({Padded(ModelName(source)).substr(0, 12), disk_.at(source)});
    }
    return ArchiveBytes(items);
  }

  // Checks a failure: an injected one comes through with its own number,
  // and every one of a file operation names its file.
  void ExpectFailure(int32_t error, const std::string& why, const std::string& file) {
    EXPECT_NE(error, 0);
    EXPECT_TRUE(why.find("Injected failure") == std::string::npos || error == injected_) << why;
    // ".grp": nowhere to save a new archive.
    EXPECT_TRUE(file == ".grp" ? error == errInvalidArgument : why.find(file) != std::string::npos)
        << why;
  }

  void Save() {
    const std::string given = Uniform(0, 2) == 0 ? std::string() : Any(targets_);
    std::string target, why;
    const std::optional<std::string> expected = SaveOutcome(given, target);
    const int32_t error = ErrorOf([&] { grp.saveFile(given.empty() ? "" : dir / given); }, &why);
    Log("saveFile \"" + given + "\"", error);
    if (!expected || why.find("Injected failure") != std::string::npos) {
      return ExpectFailure(error, why, target);
    }
    ASSERT_EQ(error, 0) << why;
    disk_[target] = *expected, ++version_[target];
    // Against the archive loaded before the edits, either way round, and
    // against a copy with a bit turned in a few entries, often at their ends.
    Uniform(0, 1) ? ExpectChanges(loadedBytes_, *expected) : ExpectChanges(*expected, loadedBytes_);
    std::string turned = *expected;
    std::vector<OracleEntry> entries = OracleRead(turned).Entries;
    std::erase_if(entries, [](const OracleEntry& e) { return e.Size == 0; });
    for (int n = Uniform(0, 3); n > 0 && !entries.empty(); --n) {
      const OracleEntry& e = entries[static_cast<std::size_t>(Uniform(0, int(entries.size()) - 1))];
      const int at = std::array{0, e.Size - 1, Uniform(0, e.Size - 1)}[Uniform(0, 2)];
      turned[static_cast<std::size_t>(e.Position - 1 + at)] ^=
          static_cast<char>(1 << Uniform(0, 7));
    }
    ExpectChanges(*expected, turned);
    Loaded(target);
  }

  void Extract() {
    const int index = Uniform(0, static_cast<int>(table_.size()) + 1);
    const std::string& out = Any(outputs_);
    std::string why;
    const int32_t error =
        ErrorOf([&] { grp.extractFile(static_cast<int16_t>(index), dir / out); }, &why);
    Log("extractFile " + std::to_string(index) + " " + out, error);
    if (index < 1 || index > static_cast<int>(table_.size())) {
      EXPECT_EQ(error, errSubscriptOutOfRange);
      return;
    }
    if (out == path_ || out == "folder.grp" || out == "pipe.grp" || !ArchiveIntact() ||
        why.find("Injected failure") != std::string::npos) {
      return ExpectFailure(error, why, out);
    }
    ASSERT_EQ(error, 0) << why;
    disk_[out] = table_[static_cast<std::size_t>(index - 1)].Data, ++version_[out];
  }

  void ChangeBehindItsBack() {
    const int what = Uniform(0, 4);
    std::string name = what < 2    ? Any(sources_)
                       : what == 2 ? Any({"a.grp", "b.grp", "c.grp", path_})
                                   : path_;
    if (name.empty() || disk_.count(name) == 0) {
      name = "c.grp";
    }
    Log("change " + std::to_string(what) + " of " + name);
    if (what == 1) {
      std::filesystem::remove(dir / name);
      disk_.erase(name);
      ++version_[name];
      return;
    }
    std::string bytes = disk_.count(name) != 0 ? disk_.at(name) : "";
    // One byte written in place: in the data the object reads on, in the
    // header or directory it must refuse the file.
    if (what == 4 && !bytes.empty()) {
      bytes[static_cast<std::size_t>(Uniform(0, static_cast<int>(bytes.size()) - 1))] ^= 0x20;
    }
    if (what != 3) {
      Put(name, what == 0 ? RandomBytes(300) : what == 2 ? RandomArchive() : bytes);
    }
    // A time stamp of its own: two writes within one tick of a coarse file
    // system clock are told apart only by length or identity.
    const std::chrono::sys_seconds when{std::chrono::seconds(1000000000 + ++clock_)};
    if (disk_.count(name) != 0) {  // a source removed earlier falls back on c.grp, removed in turn
      std::filesystem::last_write_time(dir / name, std::chrono::file_clock::from_sys(when));
    }
  }

  // One call of the next save or extraction fails, or none if the operation
  // makes fewer calls: either way the result must be all or nothing.
  void FailOneCall() {
    // Not the folder's flush: it comes after the rename, when the new file is in place.
    int pick = Uniform(0, static_cast<int>(Op::Count) - 2);
    const auto op = static_cast<Op>(pick >= static_cast<int>(Op::SyncFolder) ? pick + 1 : pick);
    const int nth = Uniform(1, 4);
    const bool native = Uniform(0, 1) == 1;
    injected_ = Uniform(0, 1) ? errPermissionDenied : errPathFileAccess;
    faulty.CopyNatively(native);
    faulty.FailAt(op, nth, injected_);
    const int reached = faulty.Calls(op) + nth;
    Uniform(0, 1) == 0 ? Save() : Extract();
    // A failure that was injected must come through, never be passed over.
    EXPECT_TRUE(faulty.Calls(op) < reached || error_ == injected_) << log_;
    log_ += " with call " + std::to_string(nth) + " of op " + std::to_string(int(op)) +
            (native ? " (kernel copy)" : "");
    faulty.FailAt(op, 0);
    faulty.CopyNatively(false);
  }

  void Check() {
    EXPECT_EQ(faulty.OpenFiles(), 0);
    std::vector<std::string> rows{std::to_string(table_.size()) + (changed_ ? "*" : "")};
    for (const ModelEntry& e : table_) {
      rows.push_back(e.Name + "|" + std::to_string(e.Data.size()) + "|" +
                     std::to_string(e.Position));
    }
    EXPECT_EQ(Snapshot(grp), rows);
    const auto past = static_cast<int16_t>(table_.size() + 1);
    EXPECT_EQ(ErrorOf([&] { grp.filename(past); }) + ErrorOf([&] { grp.FilePosition(past); }) +
                  ErrorOf([&] { grp.FileSize(0); }),
              3 * errSubscriptOutOfRange);
    // Every file in the folder, and nothing else: no temporary file either.
    std::map<std::string, std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
      if (e.is_regular_file()) {
        found[std::filesystem::relative(e.path(), dir.Path()).generic_string()] =
            ReadAll(e.path().string());
      }
    }
    EXPECT_TRUE(found == disk_) << "the folder differs from the model";
#ifndef _WIN32
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.grp"));
#endif
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.grp"));
  }

  std::mt19937 rng_;
  const std::vector<std::string> sources_ = {"src/f1.dat",
                                             "src/f2.dat",
                                             "src/sub/f3.dat",
                                             "src/empty.dat",
                                             "src/a very long name.text",
                                             "src/my.long.file.dat",
                                             "src/noextensionatallhere",
                                             "src/never-there.dat"};
  const std::vector<std::string> targets_ = {"a.grp", "b.grp",      "d.grp",   "out.d/e",
                                             "d",     "folder.grp", "pipe.grp"};
  const std::vector<std::string> outputs_ = {"out.d/x1.dat", "out.d/x2.dat", "src/x3.dat",
                                             "a.grp",        "folder.grp",   "pipe.grp"};
  std::map<std::string, std::string> disk_;  // every ordinary file in the folder
  std::map<std::string, int> version_;       // bumped by every write
  std::vector<ModelEntry> table_;
  std::vector<std::string> queue_;
  bool changed_ = false;
  std::string path_;
  int loadedVersion_ = 0, clock_ = 0;
  std::string loadedHead_;  // header and directory as loaded
  std::string loadedBytes_ = ArchiveBytes({});
  int32_t injected_ = 0, error_ = 0;
  std::string log_;
};

TEST(GrpModel, RandomSequencesAgreeWithTheModel) {
  const int seeds = EnvOr("HALVARIN_MODEL_SEEDS", 3), first = EnvOr("HALVARIN_MODEL_SEED", 1);
  for (int seed = first; seed < first + seeds; ++seed) {
    SCOPED_TRACE("HALVARIN_MODEL_SEED=" + std::to_string(seed));
    Model model(static_cast<uint32_t>(seed));
    for (int step = 1; step <= EnvOr("HALVARIN_MODEL_STEPS", 400); ++step) {
      const std::string did = model.Step();
      ASSERT_FALSE(::testing::Test::HasFailure())
          << "seed " << seed << ", step " << step << ": " << did;
    }
  }
}

}  // namespace
}  // namespace halvarin::testing
