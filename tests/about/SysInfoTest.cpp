#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "AppError.h"
#include "RecordingToolkit.h"
#include "SysInfo.h"
#include "TempDir.h"
#include "frmAbout.h"

namespace halvarin {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using U32 = std::uint32_t;

// A registry whose values the test sets; a denied key exists but cannot be
// opened. `open` counts keys not closed yet. As Windows answers a standard
// user, any right beyond reading is refused.
struct ScriptedRegistry : Registry {
  std::map<std::string, std::map<std::string, std::pair<U32, std::string>>> keys;
  std::string denied;
  std::vector<std::string> handles;
  int open = 0;

  long OpenKeyEx(HKey root, const char* sub, U32, U32 rights, HKey* out) override {
    *out = 0;
    if (root != HKeyLocalMachine || !keys.count(sub) || denied == sub || (rights & ~RegKeyRead)) {
      return keys.count(sub) ? RegAccessDenied : RegFileNotFound;
    }
    handles.push_back(sub);
    *out = handles.size();
    return ++open, RegSuccess;
  }
  long QueryValueEx(HKey key, const char* name, U32* type, std::uint8_t* data, U32* size) override {
    const auto& values = keys[handles.at(key - 1)];
    const auto v = values.find(name);
    return v == values.end() ? RegFileNotFound
                             : CopyRegistryValue(v->second.first,
                                                 {v->second.second.begin(), v->second.second.end()},
                                                 type, data, size);
  }
  long CloseKey(HKey) override { return --open, RegSuccess; }
};

TEST(GetKeyValueTest, TextAndNumbersAreReadAsTextAndAnythingElseLeavesTheTextAlone) {
  const std::string x1024(1024, 'x'), y1023(1023, 'y');
  ScriptedRegistry reg;
  reg.keys["D"]["V"] = {RegTypeSz, "x\0"s};
  reg.denied = "D";
  // The key and value asked for (K\V holds what is stored), the type and bytes
  // stored, whether the value is read, and the text the caller then holds.
  for (const auto& [key, name, type, stored, read, text] :
       std::vector<std::tuple<const char*, const char*, U32, std::string, bool, std::string>>{
           {"K", "V", RegTypeSz, "C:\\m.exe", true, "C:\\m.exe"},
           {"K", "V", RegTypeSz, "ab\0\0"s, true, "ab\0"s} /* one zero only */,
           {"K", "V", RegTypeSz, "\0"s, true, ""},
           {"K", "V", RegTypeSz, x1024, true, x1024},
           {"K", "V", RegTypeSz, y1023 + '\0', true, y1023},
           {"K", "V", RegTypeSz, x1024 + '\0', false, ""},  // too long for the buffer
           {"K", "V", RegTypeDword, "\x0A\x01\0\0"s, true, "266"},
           {"K", "V", RegTypeDword, "\0\0\0\x01"s, true, "16777216"},
           {"K", "V", RegTypeDword, "\xFF\xFF\xFF\xFF", true, "4294967295"},
           // other types leave the text alone
           {"K", "V", RegTypeBinary, "ab\0"s, true, "caller's"},
           {"K", "V", RegTypeExpandSz, "ab\0"s, true, "caller's"},
           {"K", "V", RegTypeNone, "ab\0"s, true, "caller's"},
           // what is not there, or not to be opened, is read as nothing
           {"K", "W", RegTypeSz, "x\0"s, false, ""},
           {"Nowhere", "V", RegTypeSz, "x\0"s, false, ""},
           {"D", "V", RegTypeSz, "x\0"s, false, ""},
       }) {
    reg.keys["K"]["V"] = {type, stored};
    std::string value = "caller's";
    EXPECT_EQ(GetKeyValue(reg, HKeyLocalMachine, key, name, value), read) << key << name << text;
    EXPECT_EQ(value, text);
    EXPECT_EQ(reg.open, 0);
  }
  // A value of no bytes at all names nothing: an error, the key still closed.
  reg.keys["K"]["V"] = {RegTypeSz, ""};
  std::string value;
  try {
    GetKeyValue(reg, HKeyLocalMachine, "K", "V", value);
    ADD_FAILURE() << "no error";
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), errInvalidArgument);
    EXPECT_NE(e.Description().find("\"V\""), std::string::npos);
  }
  EXPECT_EQ(reg.open, 0);
}

// Loaded with numbers that the program's own version could not tell apart
// when swapped; System Info tries the path first, then the folder, else it
// shows one message.
TEST(AboutBoxTest, ShowsTheToolkitsVersionAndStartsSystemInformation) {
  struct Version2157 : RecordingToolkit {
    int32_t AppMajor() const override { return 2; }
    int32_t AppMinor() const override { return 15; }
    int32_t AppRevision() const override { return 7; }
  };
  using Calls = std::vector<std::string>;
  using Text = std::optional<std::string>;
  const std::string unavailable =
      "MsgBox(System Information Is Unavailable At This Time|0|Halvarin)";
  // The path stored, the folder stored, what the user meets (C:\Tools holds every file).
  for (const auto& [path, folder, calls] : std::vector<std::tuple<Text, Text, Calls>>{
           {"C:\\P\\m.exe\0"s, "C:\\Tools", {"StartProgram(C:\\P\\m.exe)"}},  // unchecked
           {{}, "C:\\Tools\0"s, {"StartProgram(C:\\Tools\\MSINFO32.EXE)"}},
           {{}, "C:\\Tools\\", {"StartProgram(C:\\Tools\\\\MSINFO32.EXE)"}},  // as stored
           {{}, {}, {unavailable}},
           {{}, "C:\\Empty", {unavailable}},  // no MSINFO32.EXE there
           {"C:\\gone.exe", {}, {"StartProgram(C:\\gone.exe)", unavailable}},  // fails to start
           {""s, "C:\\Tools", {unavailable}},  // an empty path is an error: no fallback
       }) {
    ScriptedRegistry reg;
    if (path) {
      reg.keys[gREGKEYSYSINFO][gREGVALSYSINFO] = {RegTypeSz, *path};
    }
    if (folder) {
      reg.keys[gREGKEYSYSINFOLOC][gREGVALSYSINFOLOC] = {RegTypeSz, *folder};
    }
    Version2157 toolkit;
    toolkit.StartProgramFails = path == "C:\\gone.exe";
    frmAbout about(toolkit, reg, [](const std::string& f) { return f.starts_with("C:\\Tools\\"); });
    about.Load();
    EXPECT_EQ(toolkit.Caption(frmAbout::FormName, "lblVersion"), "Version 2.15.7");
    about.Click("cmdSysInfo");
    EXPECT_EQ(toolkit.Calls, calls) << path.value_or("-") << " " << folder.value_or("-");
    EXPECT_EQ(reg.open, 0);
  }
}

void MakeProgram(const fs::path& path, bool executable = true) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n";
  fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read);
}

// The registry of systems without one: the first executable of the list,
// searched folder by folder, looked up again at every query.
TEST(SysInfoRegistryTest, NamesTheFirstExecutableFoundAndNothingElse) {
  testing::TempDir temp;
  const fs::path a = temp.Path() / "a", b = temp.Path() / "b";
  SysInfoRegistry reg({"first", "second"}, {a, b});
  std::string value = "x";
  EXPECT_FALSE(GetKeyValue(reg, HKeyLocalMachine, gREGKEYSYSINFO, gREGVALSYSINFO, value));
  MakeProgram(b / "second");
  MakeProgram(a / "second");
  MakeProgram(b / "first");
  MakeProgram(a / "first", false);  // not executable
  fs::create_directories(temp.Path() / "c" / "first");
  EXPECT_TRUE(GetKeyValue(reg, HKeyLocalMachine, "software\\microsoft\\shared tools\\msinfo",
                          "Path", value));
  EXPECT_EQ(value, (b / "first").string());
  EXPECT_EQ(SysInfoRegistry({"first"}, {temp.Path() / "c"}).FindProgram(), "");  // a folder
  EXPECT_FALSE(GetKeyValue(reg, HKeyLocalMachine, gREGKEYSYSINFOLOC, gREGVALSYSINFOLOC, value));
  EXPECT_FALSE(GetKeyValue(reg, HKeyLocalMachine, gREGKEYSYSINFO, "Other", value));

  for (const auto& folder : SysInfoRegistry::ProgramFolders()) {
    EXPECT_TRUE(folder.is_absolute()) << folder;  // no search path from the environment
  }

  // The fallback's look for the program in its folder: ordinary files only.
  EXPECT_TRUE(FileExists((b / "first").string()));
  for (const fs::path& no : {a, temp.Path() / "c" / "firs?", temp.Path() / "missing", fs::path()}) {
    EXPECT_FALSE(FileExists(no.string())) << no;
  }
}

}  // namespace
}  // namespace halvarin
