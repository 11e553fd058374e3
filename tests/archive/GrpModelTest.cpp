// Long random sequences of loads, additions, deletions, saves (in place and
// elsewhere), extractions, files changing behind the program's back and
// injected I/O failures, checked after every step against a small model of
// what the object and every file in the folder must hold, byte for byte.
//
// The seeds are fixed; HALVARIN_MODEL_SEEDS=N runs N seeds (from 1, or from
// HALVARIN_MODEL_SEED), HALVARIN_MODEL_STEPS=N makes each sequence N steps
// long. A failure names its seed and step.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

#include "ArchiveBytes.h"
#include "ArchiveChecks.h"
#include "FaultyFileSystem.h"
#include "GrpOracle.h"
#include "TempDir.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

int EnvOr(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

// The entry name a path is stored under, worked out independently: the last
// component, and a name over 12 characters with a dot shortened to its first
// 8 characters and everything from the first dot.
std::string ModelName(const std::string& path) {
  const auto cut = path.find_last_of("/\\");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  const auto dot = name.find('.');
  if (name.size() > 12 && dot != std::string::npos)
    name = name.substr(0, 8) + name.substr(dot);
  return name;
}

struct ModelEntry {
  std::string Name;  // 12 bytes as stored
  std::string Data;
  int64_t Position = 0;
};

class Model {
 public:
  explicit Model(uint32_t seed) : rng_(seed) {
    if (dir.Path().string().find('.') != std::string::npos)
      targets_.pop_back();  // the no-dot case needs a folder without one
    std::filesystem::create_directories(dir / "src/sub");
    std::filesystem::create_directories(dir / "out");
    for (const char* name : {"a.grp", "b.grp", "c.grp"})
      Put(name, RandomArchive());
    Put("junk.bin", "not an archive at all");
    Put("bad.grp", "Quorindavell" + Int32(3) + Padded("x") + Int32(5));
    for (const std::string& source : sources_) {
      if (source != "src/never-there.dat")
        Put(source, RandomBytes(300));
    }
    Put("src/empty.dat", "");
  }

  void Step(int step) {
    const int pick = Uniform(0, 99);
    if (pick < 12)
      Load();
    else if (pick < 34)
      Add();
    else if (pick < 50)
      Delete();
    else if (pick < 66)
      Save();
    else if (pick < 80)
      Extract();
    else if (pick < 90)
      ChangeBehindItsBack();
    else
      FailOneCall();
    SCOPED_TRACE("step " + std::to_string(step) + ": " + log_.back());
    Check();
    if (log_.size() > 40)
      log_.pop_front();
  }

  std::string History() const {
    std::string text;
    for (const std::string& line : log_)
      text += "  " + line + "\n";
    return text;
  }

 private:
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  template <typename T>
  const T& Any(const std::vector<T>& from) {
    return from[static_cast<std::size_t>(Uniform(0, static_cast<int>(from.size()) - 1))];
  }

  std::string RandomBytes(int most) {
    std::string bytes(static_cast<std::size_t>(Uniform(0, most)), '\0');
    for (char& c : bytes)
      c = static_cast<char>(Uniform(0, 255));
    return bytes;
  }

  std::string RandomArchive() {
    std::vector<Item> items;
    const int count = Uniform(0, 8);
    for (int i = 0; i < count; ++i) {
      const std::string names[] = {Padded("e" + std::to_string(i) + ".art", '\0'),
                                   Padded("snd" + std::to_string(i) + ".voc"),
                                   "TWELVECHARS" + std::to_string(i % 10),
                                   std::string(12, static_cast<char>(Uniform(0, 255)))};
      items.push_back({names[Uniform(0, 3)], RandomBytes(Uniform(0, 1) ? 0 : 200)});
    }
    // Bytes after the last entry belong to none: a save drops them.
    return ArchiveBytes(items) + (Uniform(0, 3) == 0 ? "tail" : "");
  }

  // A file written by the test, not by the object.
  void Put(const std::string& name, const std::string& bytes) {
    WriteAll(dir / name, bytes);
    disk_[name] = bytes;
    ++version_[name];
  }

  // What a successful load of `name` turns the object into.
  void Loaded(const std::string& name) {
    const std::string& bytes = disk_.at(name);
    const OracleArchive a = OracleRead(bytes);
    table_.clear();
    for (const OracleEntry& e : a.Entries)
      table_.push_back({e.Name, std::string(OracleData(bytes, e)), e.Position});
    queue_.clear();
    changed_ = false;
    path_ = name;
    loadedVersion_ = version_[name];
    loadedHead_ = bytes.substr(0, 16 + 16 * a.Entries.size());
  }

  // Whether the object may still read its archive: still there, still the
  // version it loaded (or wrote itself), or one with the very same header
  // and directory, whose data it then takes as it is now.
  bool ArchiveIntact() {
    if (disk_.count(path_) == 0)
      return false;
    if (version_[path_] == loadedVersion_)
      return true;
    const std::string& bytes = disk_.at(path_);
    if (bytes.compare(0, loadedHead_.size(), loadedHead_) != 0)
      return false;
    for (const ModelEntry& e : table_) {
      if (e.Position - 1 + static_cast<int64_t>(e.Data.size()) > static_cast<int64_t>(bytes.size()))
        return false;
    }
    for (ModelEntry& e : table_)
      e.Data = bytes.substr(static_cast<std::size_t>(e.Position - 1), e.Data.size());
    loadedVersion_ = version_[path_];
    return true;
  }

  void Load() {
    const std::string name = Any(std::vector<std::string>{
        "a.grp", "b.grp", "c.grp", "d.grp", "junk.bin", "bad.grp", "out/e.grp", "missing.grp"});
    log_.push_back("LoadFile " + name);
    bool result = false;
    const int32_t error = ErrorOf([&] { result = grp.LoadFile(dir / name); });
    log_.back() += Outcome(error);
    if (disk_.count(name) == 0) {
      EXPECT_EQ(error, errFileNotFound);
      return;
    }
    const OracleArchive::Kind verdict = OracleRead(disk_.at(name)).Verdict;
    EXPECT_EQ(error != 0, verdict == OracleArchive::Damaged);
    EXPECT_EQ(result, verdict == OracleArchive::Valid);
    if (result) {
      Loaded(name);
    }
  }

  void Add() {
    // A file that never exists blocks every save until it is deleted again:
    // rarely, so that most sequences get to save.
    std::string source = Any(sources_);
    while (source == "src/never-there.dat" && Uniform(0, 9) != 0)
      source = Any(sources_);
    log_.push_back("addFile " + source);
    EXPECT_EQ(grp.addFile(dir / source), ModelName(source));
    queue_.push_back(source);
    changed_ = true;
  }

  void Delete() {
    const int total = static_cast<int>(table_.size() + queue_.size());
    const int index = Uniform(0, total + 1);
    log_.push_back("deleteFile " + std::to_string(index));
    const int32_t error = ErrorOf([&] { grp.deleteFile(static_cast<int16_t>(index)); });
    log_.back() += Outcome(error);
    if (index < 1 || index > total) {
      EXPECT_EQ(error, errSubscriptOutOfRange);
      return;
    }
    EXPECT_EQ(error, 0);
    if (index <= static_cast<int>(table_.size()))
      table_.erase(table_.begin() + (index - 1));
    else
      queue_.erase(queue_.begin() + (index - 1 - static_cast<int>(table_.size())));
    changed_ = true;
  }

  // What a save to `given` must do; nullopt when it must fail.
  std::optional<std::string> SaveOutcome(const std::string& given, std::string& target) {
    target = given.empty() ? path_ : given;
    if (target.empty())
      return std::nullopt;
    if (target.find('.') == std::string::npos)
      target += ".grp";
    // Over its own file, the save must also find there what it loaded.
    const bool inPlace = target == path_ && disk_.count(path_) != 0;
    if ((!table_.empty() || inPlace) && !ArchiveIntact())
      return std::nullopt;
    std::vector<Item> items;
    for (const ModelEntry& e : table_)
      items.push_back({e.Name, e.Data});
    for (const std::string& source : queue_) {
      if (disk_.count(source) == 0)
        return std::nullopt;
      items.push_back({Padded(ModelName(source)).substr(0, 12), disk_.at(source)});
    }
    return ArchiveBytes(items);
  }

  static std::string Outcome(int32_t error) {
    return error == 0 ? " -> done" : " -> error " + std::to_string(error);
  }

  static bool Injected(const std::string& why) {
    return why.find("Injected failure") != std::string::npos;
  }

  void Save() {
    const std::string given = Uniform(0, 2) == 0 ? std::string() : Any(targets_);
    log_.push_back("saveFile \"" + given + "\"");
    std::string target;
    const std::optional<std::string> expected = SaveOutcome(given, target);
    std::string why;
    const int32_t error = ErrorOf([&] { grp.saveFile(given.empty() ? "" : dir / given); }, &why);
    log_.back() += Outcome(error);
    if (!expected || Injected(why)) {
      EXPECT_NE(error, 0);
      return;
    }
    ASSERT_EQ(error, 0);
    disk_[target] = *expected;
    ++version_[target];
    Loaded(target);
  }

  void Extract() {
    const int index = Uniform(0, static_cast<int>(table_.size()) + 1);
    const std::string& out = Any(outputs_);
    log_.push_back("extractFile " + std::to_string(index) + " " + out);
    std::string why;
    const int32_t error =
        ErrorOf([&] { grp.extractFile(static_cast<int16_t>(index), dir / out); }, &why);
    log_.back() += Outcome(error);
    if (index < 1 || index > static_cast<int>(table_.size())) {
      EXPECT_EQ(error, errSubscriptOutOfRange);
      return;
    }
    if (!ArchiveIntact() || Injected(why)) {
      EXPECT_NE(error, 0);
      return;
    }
    ASSERT_EQ(error, 0);
    disk_[out] = table_[static_cast<std::size_t>(index - 1)].Data;
    ++version_[out];
  }

  void ChangeBehindItsBack() {
    const int what = Uniform(0, 3);
    const std::string name =
        what < 2 ? Any(sources_) : Any(std::vector<std::string>{"a.grp", "b.grp", "c.grp"});
    log_.push_back((what == 0 ? "rewrite " : what == 1 ? "remove " : "another program writes ") + name);
    if (what == 1) {
      std::filesystem::remove(dir / name);
      disk_.erase(name);
      ++version_[name];
      return;
    }
    Put(name, what == 0 ? RandomBytes(300) : RandomArchive());
    // A time stamp of its own: two writes within one tick of a coarse file
    // system clock are told apart only by length or identity.
    const std::chrono::sys_seconds when{std::chrono::seconds(1000000000 + ++clock_)};
    std::filesystem::last_write_time(dir / name, std::chrono::file_clock::from_sys(when));
  }

  // One call of the next save or extraction fails, or none if the operation
  // makes fewer calls: either way the result must be all or nothing.
  void FailOneCall() {
    const Op op =
        Any(std::vector<Op>{Op::OpenRead, Op::CreateNew, Op::Read, Op::Write, Op::Sync, Op::Close,
                            Op::CopyPermissions, Op::Rename, Op::Stat, Op::CopyRange,
                            Op::CopyAttributes});
    const int nth = Uniform(1, 4);
    const bool native = Uniform(0, 1) == 1;
    faulty.CopyNatively(native);
    faulty.FailAt(op, nth);
    // An injected failure must leave everything as it was, which is what
    // Save and Extract then expect and Check() sees.
    if (Uniform(0, 1) == 0)
      Save();
    else
      Extract();
    log_.back() += " with call " + std::to_string(nth) + " of op " +
                   std::to_string(static_cast<int>(op)) + (native ? " (kernel copy)" : "");
    faulty.FailAt(op, 0);
    faulty.CopyNatively(false);
  }

  void Check() {
    EXPECT_EQ(faulty.OpenFiles(), 0);
    EXPECT_EQ(grp.Changed(), changed_);
    ASSERT_EQ(grp.NumberOfFiles(), static_cast<int16_t>(table_.size()));
    for (std::size_t i = 0; i < table_.size(); ++i) {
      const auto index = static_cast<int16_t>(i + 1);
      EXPECT_EQ(grp.filename(index), table_[i].Name) << "entry " << index;
      EXPECT_EQ(grp.FileSize(index), static_cast<int32_t>(table_[i].Data.size())) << index;
      EXPECT_EQ(grp.FilePosition(index), table_[i].Position) << "entry " << index;
    }
    // Every file in the folder, and nothing else: no temporary file either.
    std::map<std::string, std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
      if (e.is_regular_file())
        found[std::filesystem::relative(e.path(), dir.Path()).generic_string()] =
            ReadAll(e.path().string());
    }
    EXPECT_TRUE(found == disk_) << "the folder differs from the model";
  }

 public:
  TempDir dir;
  FaultyFileSystem faulty;
  clsVarnGRP grp{faulty};

 private:
  std::mt19937 rng_;
  std::vector<std::string> sources_ = {"src/f1.dat",
                                       "src/f2.dat",
                                       "src/sub/f3.dat",
                                       "src/empty.dat",
                                       "src/a very long name.text",
                                       "src/my.long.file.dat",
                                       "src/noextensionatallhere",
                                       "src/never-there.dat"};
  std::vector<std::string> targets_ = {"a.grp", "b.grp", "d.grp", "out/e.grp", "d"};
  std::vector<std::string> outputs_ = {"out/x1.dat", "out/x2.dat", "src/x3.dat"};
  std::map<std::string, std::string> disk_;  // every file in the folder
  std::map<std::string, int> version_;       // bumped by every write
  std::vector<ModelEntry> table_;
  std::vector<std::string> queue_;
  bool changed_ = false;
  std::string path_;
  int loadedVersion_ = 0;
  std::string loadedHead_;  // header and directory as loaded
  int clock_ = 0;
  std::deque<std::string> log_;
};

TEST(GrpModel, RandomSequencesAgreeWithTheModel) {
  const int seeds = EnvOr("HALVARIN_MODEL_SEEDS", 3);
  const int first = EnvOr("HALVARIN_MODEL_SEED", 1);
  const int steps = EnvOr("HALVARIN_MODEL_STEPS", 400);
  for (int seed = first; seed < first + seeds; ++seed) {
    SCOPED_TRACE("HALVARIN_MODEL_SEED=" + std::to_string(seed));
    Model model(static_cast<uint32_t>(seed));
    for (int step = 1; step <= steps; ++step) {
      model.Step(step);
      if (::testing::Test::HasFailure()) {
        FAIL() << "seed " << seed << " failed at step " << step << " after:\n" << model.History();
      }
    }
  }
}

}  // namespace
}  // namespace halvarin::testing
