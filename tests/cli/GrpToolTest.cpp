// halvarin-grp as scripts use it: the built program run in a folder of its
// own, on archives these tests write byte by byte.

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ArchiveTestSupport.h"
#include "ProgramIdentity.h"
#include "RunProgram.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;  // stored name, data

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

class GrpToolTest : public ::testing::Test {
 protected:
  ProgramResult Run(const std::vector<std::string>& args, const std::string& input = "") {
    return RunProgram(HALVARIN_GRP, args, dir.Path(), input);
  }
  std::string Path(const std::string& name) const { return dir / name; }
  std::string Write(const std::string& name, const std::string& bytes) {
    fs::create_directories(fs::path(Path(name)).parent_path());
    WriteAll(Path(name), bytes);
    return Path(name);
  }

  // Every file under the folder with its content: what "nothing written or
  // changed" is checked against.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(dir.Path())) {
      const std::string name = fs::relative(e.path(), dir.Path()).generic_string();
      tree[name] = e.is_directory() ? "<folder>" : ReadAll(e.path().string());
    }
    return tree;
  }
  std::set<std::string> Files(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Path(folder)))
      names.insert(e.path().filename().string());
    return names;
  }

  Entries Read(const std::string& name) const {
    clsVarnGRP archive;
    EXPECT_TRUE(archive.LoadFile(Path(name)));
    const std::string bytes = ReadAll(Path(name));
    Entries entries;
    for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
      entries.emplace_back(archive.filename(i),
                           bytes.substr(static_cast<std::size_t>(archive.FilePosition(i) - 1),
                                        static_cast<std::size_t>(archive.FileSize(i))));
    }
    return entries;
  }
  // What the archive model itself says about loading the file.
  static std::string ModelError(const std::string& path) {
    std::string description;
    clsVarnGRP archive;
    ErrorOf([&] { archive.LoadFile(path); }, &description);
    return description;
  }

  TempDir dir;
};

const std::vector<Item> kThree = {
    {Padded("LEVEL1.MAP"), "map data"}, {Padded("TILES.ART", '\0'), "art"}, {"ABCDEFGH.WAV", ""}};

TEST_F(GrpToolTest, ListsInColumnsAndAsJson) {
  Write("three.grp", ArchiveBytes(kThree));
  ProgramResult r = Run({"list", "three.grp"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(r.Out,
            "    1  LEVEL1.MAP             8          65\n"
            "    2  TILES.ART              3          73\n"
            "    3  ABCDEFGH.WAV           0          76\n");

  r = Run({"list", "--json", "three.grp"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "{\"archive\":\"three.grp\",\"entries\":[\n"
            "{\"index\":1,\"name\":\"LEVEL1.MAP\",\"stored\":\"LEVEL1.MAP  \",\"size\":8,"
            "\"position\":65},\n"
            "{\"index\":2,\"name\":\"TILES.ART\",\"stored\":\"TILES.ART\\u0000\\u0000\\u0000\","
            "\"size\":3,\"position\":73},\n"
            "{\"index\":3,\"name\":\"ABCDEFGH.WAV\",\"stored\":\"ABCDEFGH.WAV\",\"size\":0,"
            "\"position\":76}\n"
            "]}\n");

  Write("empty.grp", ArchiveBytes({}));
  EXPECT_EQ(Run({"list", "empty.grp"}).Out, "");
  EXPECT_EQ(Run({"list", "empty.grp", "--json"}).Out,
            "{\"archive\":\"empty.grp\",\"entries\":[]}\n");
}

TEST_F(GrpToolTest, CreateListExtractRoundTripByteForByte) {
  std::string allBytes;
  for (int i = 0; i < 1000; ++i)
    allBytes.push_back(static_cast<char>(i * 7));
  const std::map<std::string, std::string> sources = {{"one.bin", allBytes},
                                                      {"empty.dat", ""},
                                                      {"averyverylongname.dat", "xyz"},
                                                      {"caf\xC3\xA9.txt", "coffee"}};
  for (const auto& [name, data] : sources)
    Write("src/" + name, data);

  ProgramResult r = Run({"create", "pak", "src/one.bin", "src/empty.dat",
                         "src/averyverylongname.dat", "src/caf\xC3\xA9.txt"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "halvarin-grp: \"src/averyverylongname.dat\" is stored as \"averyver.dat\".\n");
  EXPECT_FALSE(fs::exists(Path("pak")));  // a name without a dot gets ".grp"

  r = Run({"list", "pak.grp"});
  EXPECT_EQ(r.Out,
            "    1  one.bin             1000          81\n"
            "    2  empty.dat              0        1081\n"
            "    3  averyver.dat           3        1081\n"
            "    4  caf\xC3\xA9.txt               6        1084\n");

  // All, into a folder that does not exist yet.
  r = Run({"extract", "pak.grp", "-C", "out/deeper"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(Files("out/deeper"),
            (std::set<std::string>{"one.bin", "empty.dat", "averyver.dat", "caf\xC3\xA9.txt"}));
  EXPECT_EQ(ReadAll(Path("out/deeper/one.bin")), allBytes);
  EXPECT_EQ(ReadAll(Path("out/deeper/empty.dat")), "");
  EXPECT_EQ(ReadAll(Path("out/deeper/averyver.dat")), "xyz");
  EXPECT_EQ(ReadAll(Path("out/deeper/caf\xC3\xA9.txt")), "coffee");

  // By name (letters in either case) and by index; the same entry twice is one file.
  r = Run({"extract", "pak.grp", "ONE.BIN", "3", "--directory=sel", "1"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Files("sel"), (std::set<std::string>{"one.bin", "averyver.dat"}));
  EXPECT_EQ(ReadAll(Path("sel/averyver.dat")), "xyz");

  // Without -C: the current folder.
  r = Run({"extract", "pak.grp", "caf\xC3\xA9.txt"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadAll(Path("caf\xC3\xA9.txt")), "coffee");

  const auto tree = Tree();
  EXPECT_EQ(Run({"extract", "pak.grp", "one.bin", "5", "-C", "new"}).Err,
            "halvarin-grp: There is no entry 5; the archive has 4 entries.\n");
  EXPECT_EQ(Tree(), tree);
}

TEST_F(GrpToolTest, CreateRefusesAnExistingFileUnlessForced) {
  Write("a.txt", "aaa");
  Write("b.txt", "bbbb");
  ASSERT_EQ(Run({"create", "pak.grp", "a.txt"}).Status, 0);
  const std::string before = ReadAll(Path("pak.grp"));

  const ProgramResult r = Run({"create", "pak", "b.txt"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "halvarin-grp: \"pak.grp\" already exists; give --force to replace it.\n");
  EXPECT_EQ(ReadAll(Path("pak.grp")), before);
  EXPECT_EQ(Run({"create", "-f", "pak", "b.txt"}).Status, 0);
  EXPECT_EQ(Read("pak.grp"), (Entries{{"b.txt       ", "bbbb"}}));

  // A file that cannot be read: no archive at all, not half of one.
  const auto tree = Tree();
  EXPECT_EQ(Run({"create", "new.grp", "a.txt", "missing.txt"}).Status, 1);
  EXPECT_EQ(Tree(), tree);

  // Nothing to put in it: an empty archive, header only.
  EXPECT_EQ(Run({"create", "none.grp"}).Status, 0);
  EXPECT_EQ(ReadAll(Path("none.grp")), ArchiveBytes({}));
}

TEST_F(GrpToolTest, AddTakesFilesAndListsFromStandardInput) {
  for (const char* name : {"one", "two", "three", "four dat.txt", "five", "six"})
    Write(name, std::string("data of ") + name);
  ASSERT_EQ(Run({"create", "pak.grp", "one"}).Status, 0);

  // Lines may end in CRLF; empty lines are no files.
  ProgramResult r = Run({"add", "pak.grp", "two", "-"}, "three\r\n\nfour dat.txt\n");
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  r = Run({"add", "-0", "pak.grp", "-"}, std::string("five\0six\0", 9));
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Read("pak.grp"), (Entries{{"one         ", "data of one"},
                                      {"two         ", "data of two"},
                                      {"three       ", "data of three"},
                                      {"four dat.txt", "data of four dat.txt"},
                                      {"five        ", "data of five"},
                                      {"six         ", "data of six"}}));

  // An empty list changes nothing; a missing file leaves the archive as it was.
  const auto tree = Tree();
  EXPECT_EQ(Run({"add", "pak.grp", "-"}, "").Status, 0);
  r = Run({"add", "pak.grp", "one", "missing"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("\"missing\""), std::string::npos) << r.Err;
  EXPECT_EQ(Tree(), tree);
}

TEST_F(GrpToolTest, DeleteByNameAndIndexButNeverByASharedName) {
  std::vector<Item> five;
  for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat", "e.dat"})
    five.push_back({Padded(name), std::string(name) + "!"});
  Write("five.grp", ArchiveBytes(five));
  ProgramResult r = Run({"delete", "five.grp", "B.DAT", "4", "2"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Read("five.grp"), (Entries{{Padded("a.dat"), "a.dat!"},
                                       {Padded("c.dat"), "c.dat!"},
                                       {Padded("e.dat"), "e.dat!"}}));

  Write("dup.grp",
        ArchiveBytes({{Padded("a.dat"), "1"}, {Padded("x"), "2"}, {Padded("A.DAT"), "3"}}));
  const auto tree = Tree();
  r = Run({"delete", "dup.grp", "a.dat"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err,
            "halvarin-grp: Entries 1, 3 are all named \"a.dat\"; give the index of the one you "
            "mean.\n");
  for (const char* wrong : {"4", "0", "nothing", "99999999999999999999"})
    EXPECT_EQ(Run({"delete", "dup.grp", "2", wrong}).Status, 1) << wrong;
  EXPECT_EQ(Tree(), tree);

  EXPECT_EQ(Run({"delete", "dup.grp", "3", "1", "2"}).Status, 0);
  EXPECT_EQ(ReadAll(Path("dup.grp")), ArchiveBytes({}));
}

// A script names the archive as it was given; writing the edit to another
// file ("pak.grp" beside "pak") would lose it and replace that file.
TEST_F(GrpToolTest, AddAndDeleteWriteBackToAnArchiveNamedWithoutADot) {
  Write("pak", ArchiveBytes({{Padded("one"), "1"}}));
  Write("pak.grp", ArchiveBytes({{Padded("other"), "other"}}));
  Write("two", "2");
  EXPECT_EQ(Run({"add", "pak", "two"}).Status, 0);
  EXPECT_EQ(Read("pak"), (Entries{{Padded("one"), "1"}, {Padded("two"), "2"}}));
  EXPECT_EQ(Run({"delete", "pak", "1"}).Status, 0);
  EXPECT_EQ(Read("pak"), (Entries{{Padded("two"), "2"}}));
  EXPECT_EQ(Read("pak.grp"), (Entries{{Padded("other"), "other"}}));
}

TEST_F(GrpToolTest, CheckReportsEveryProblemAndFailsOnlyOnErrors) {
  const std::vector<Item> items = {{Padded("a.art"), std::string(10, 'a')},
                                   {Padded("b.map"), std::string(20, 'b')},
                                   {Padded("c.voc"), std::string(30, 'c')}};
  const std::string sound = ArchiveBytes(items);
  const auto withSize = [&](int entry, int32_t size) {
    std::string bytes = sound;
    bytes.replace(16 + 16 * (entry - 1) + 12, 4, Int32(size));
    return bytes;
  };
  const auto check = [&](const std::string& bytes) {
    WriteAll(Path("x.grp"), bytes);
    return Run({"check", "x.grp"});
  };

  ProgramResult r = check(sound);
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "x.grp: sound: 3 entries, 60 bytes of data\n");

  std::vector<Item> odd = items;
  odd[2].Name = Padded("A.ART", '\0');
  r = check(ArchiveBytes(odd) + "tail");
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "x.grp: warning: entry 3 (\"A.ART\") has the same name as entry 1; looking entries "
            "up by name finds only the first.\n"
            "x.grp: warning: 4 bytes after the last entry's data belong to no entry; a save "
            "drops them.\n"
            "x.grp: sound: 3 entries, 60 bytes of data, 2 warnings\n");

  // Each kind of damage, and how many errors it makes.
  const std::vector<std::pair<std::string, int>> damaged = {
      {sound.substr(0, 14), 1},
      {sound.substr(0, 12) + Int32(-1) + sound.substr(16), 1},
      {sound.substr(0, 12) + Int32(40000) + sound.substr(16), 1},
      {sound.substr(0, 40), 1},
      {withSize(2, -5), 1},
      {sound.substr(0, sound.size() - 1), 1},
      {withSize(1, 0x7FFFFFF0), 1},
      {withSize(1, -1).substr(0, sound.size() - 11), 2},
  };
  for (const auto& [bytes, errors] : damaged) {
    r = check(bytes);
    EXPECT_EQ(r.Status, 1) << r.Out;
    EXPECT_EQ(Count(r.Out, "x.grp: error: "), errors) << r.Out;
    EXPECT_NE(r.Out.find("\nx.grp: damaged: "), std::string::npos) << r.Out;
    // The first error is what loading reports.
    const std::string model = ModelError(Path("x.grp"));
    EXPECT_TRUE(
        r.Out.starts_with("x.grp: error: " + model.substr(model.find(" is damaged: ") + 13) + "\n"))
        << r.Out;
  }

  r = check("just words, not an archive");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out,
            "x.grp: error: it is not a group archive: it does not begin with the signature of "
            "one.\nx.grp: not a group archive\n");
}

TEST_F(GrpToolTest, MissingNotAnArchiveAndDamagedFailWithTheModelsWords) {
  Write("words.txt", "just words, not an archive");
  Write("damaged.grp", ArchiveBytes(kThree).substr(0, 70));
  Write("file", "data");
  const std::string missing = Path("missing.grp");
  const auto tree = Tree();
  const std::vector<std::vector<std::string>> commands = {
      {"list"}, {"list", "--json"}, {"extract", "-C", "out"}, {"add", "file"}, {"delete", "1"}};
  for (std::vector<std::string> args : commands) {
    args.insert(args.begin() + 1, "");
    args[1] = missing;
    ProgramResult r = Run(args);
    EXPECT_EQ(r.Status, 1) << args[0];
    EXPECT_EQ(r.Err, "halvarin-grp: " + ModelError(missing) + "\n");
    EXPECT_EQ(r.Out, "");

    args[1] = Path("damaged.grp");
    r = Run(args);
    EXPECT_EQ(r.Status, 1) << args[0];
    EXPECT_EQ(r.Err, "halvarin-grp: " + ModelError(args[1]) + "\n");

    args[1] = "words.txt";
    r = Run(args);
    EXPECT_EQ(r.Status, 1) << args[0];
    EXPECT_EQ(r.Err, "halvarin-grp: \"words.txt\" is not a Varn GRP archive.\n");
  }
  const ProgramResult r = Run({"check", missing});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "halvarin-grp: " + ModelError(missing) + "\n");
  EXPECT_EQ(Tree(), tree);
}

TEST_F(GrpToolTest, BadUsageExitsWithTwoAndWritesNothing) {
  Write("three.grp", ArchiveBytes(kThree));
  const auto tree = Tree();
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no command given."},
      {{"lst", "three.grp"}, "unknown command \"lst\"."},
      {{"extract", "-C", "out"}, "\"extract\" needs an archive."},
      {{"list", "three.grp", "-f"}, "\"list\" does not take the option \"-f\"."},
      {{"extract", "three.grp", "--json"}, "\"extract\" does not take the option \"--json\"."},
      {{"extract", "three.grp", "-C"}, "\"-C\" needs a folder after it."},
      {{"delete", "three.grp"}, "\"delete\" needs at least one entry name or index."},
      {{"create", "-", "x"}, "the archive must be a file, not standard input."},
  };
  for (const auto& [args, message] : cases) {
    const ProgramResult r = Run(args);
    EXPECT_EQ(r.Status, 2) << message;
    EXPECT_EQ(r.Err, "halvarin-grp: " + message + "\nTry \"halvarin-grp --help\".\n");
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_EQ(Tree(), tree);

  // Asking for help or the version is never bad usage, wherever it stands.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"list", "-h"}, {"lst", "three.grp", "--help"}}) {
    const ProgramResult r = Run(args);
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(r.Out.starts_with("Usage: halvarin-grp COMMAND ARCHIVE")) << r.Out;
  }
  const std::string version = "halvarin-grp " + std::to_string(ProgramIdentity::Major) + "." +
                              std::to_string(ProgramIdentity::Minor) + "." +
                              std::to_string(ProgramIdentity::Revision) + "\n";
  EXPECT_EQ(version, "halvarin-grp 1.0.0\n");
  EXPECT_EQ(Run({"--version"}).Out, version);
  EXPECT_EQ(Run({"delete", "--version"}).Out, version);
}

// A full disk or a closed pipe must not look like success to a script.
TEST_F(GrpToolTest, OutputThatCannotBeWrittenIsAFailure) {
#ifdef _WIN32
  GTEST_SKIP() << "no device like /dev/full on Windows";
#endif
  Write("three.grp", ArchiveBytes(kThree));
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"list", "three.grp"}, {"check", "three.grp"}, {"--version"}}) {
    const ProgramResult r = RunProgram(HALVARIN_GRP, args, dir.Path(), "", "/dev/full");
    EXPECT_EQ(r.Status, 1) << args[0];
    EXPECT_TRUE(r.Err.starts_with("halvarin-grp: ")) << args[0] << ": " << r.Err;
  }
}

TEST_F(GrpToolTest, DuplicateNamesAreExtractedToDistinctFiles) {
  const std::vector<Item> items = {{Padded("a.txt"), "first"},   {Padded("A.TXT"), "second"},
                                   {Padded("a~2.txt"), "third"}, {Padded("a.txt"), "fourth"},
                                   {Padded("noext"), "fifth"},   {Padded("NOEXT", '\0'), "sixth"}};
  Write("dup.grp", ArchiveBytes(items));
  const ProgramResult r = Run({"extract", "dup.grp", "-C", "out"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Count(r.Err, "\n"), 3) << r.Err;
  EXPECT_NE(r.Err.find("entry 2 (\"A.TXT\") is extracted as \""), std::string::npos) << r.Err;

  // One file per entry, distinct even where letter case is ignored, and the
  // entry really called "a~2.txt" keeps its own name.
  const std::map<std::string, std::string> files = {{"a.txt", "first"},   {"A~3.TXT", "second"},
                                                    {"a~2.txt", "third"}, {"a~4.txt", "fourth"},
                                                    {"noext", "fifth"},   {"NOEXT~2", "sixth"}};
  EXPECT_EQ(Files("out").size(), files.size());
  for (const auto& [file, data] : files)
    EXPECT_EQ(ReadAll(Path("out/" + file)), data) << file;
}

// Names are bytes from whoever made the archive: nothing in them may drive
// the terminal, break a line of output or lead a file out of the folder.
TEST_F(GrpToolTest, HostileNamesAreShownEscapedAndExtractedSafely) {
  const std::vector<Item> items = {{Padded("a\tb\x1b[1m\x7f", '\0'), "1"},
                                   {std::string("AB\0CD.TXT   ", 12), "2"},
                                   {Padded("\x81\xE9t\xE9.txt"), "3"},
                                   {"../../etc/pw", "4"},
                                   {Padded(".."), "5"},
                                   {Padded("x\ny", '\0'), "6"},
                                   {Padded("x\ny", '\0'), "7"}};
  Write("work/bad.grp", ArchiveBytes(items));
  ProgramResult r = RunProgram(HALVARIN_GRP, {"list", "bad.grp"}, Path("work"));
  EXPECT_EQ(r.Out,
            "    1  a?b?[1m?               1         129\n"
            "    2  AB                     1         130\n"
            "    3  ?\xC3\xA9t\xC3\xA9.txt               1         131\n"
            "    4  ../../etc/pw           1         132\n"
            "    5  ..                     1         133\n"
            "    6  x?y                    1         134\n"
            "    7  x?y                    1         135\n");
  r = RunProgram(HALVARIN_GRP, {"list", "--json", "bad.grp"}, Path("work"));
  EXPECT_NE(r.Out.find("{\"index\":1,\"name\":\"a\\u0009b\\u001b[1m\\u007f\",\"stored\":"),
            std::string::npos)
      << r.Out;

  const auto outside = Tree();
  r = RunProgram(HALVARIN_GRP, {"extract", "bad.grp", "-C", "out"}, Path("work"));
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Files("work/out"), (std::set<std::string>{"a_b_[1m_", "AB", "_\xC3\xA9t\xC3\xA9.txt",
                                                      ".._.._etc_pw", "entry", "x_y", "x_y~2"}));
  auto after = Tree();
  std::erase_if(after, [](const auto& file) { return file.first.starts_with("work/out"); });
  EXPECT_EQ(after, outside);

  // The notes and findings that name entries stay one line each, free of
  // control characters.
  r = RunProgram(HALVARIN_GRP, {"check", "bad.grp"}, Path("work"));
  const auto clean = [](const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
      return c != '\n' && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F);
    });
  };
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(Count(r.Out, "\n"), 2) << r.Out;
  EXPECT_TRUE(clean(r.Out)) << r.Out;
  r = RunProgram(HALVARIN_GRP, {"extract", "bad.grp", "-C", "again"}, Path("work"));
  EXPECT_EQ(Count(r.Err, "\n"), 1) << r.Err;
  EXPECT_TRUE(clean(r.Err)) << r.Err;
}

}  // namespace
}  // namespace halvarin::testing
