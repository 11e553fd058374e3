#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "AppError.h"
#include "RecordingToolkit.h"
#include "ScriptedRegistry.h"
#include "SysInfo.h"
#include "TempDir.h"
#include "frmAbout.h"

using halvarin::testing::TempDir;

namespace halvarin {
namespace {

const std::string kKey = gREGKEYSYSINFO;
const std::string kLocKey = gREGKEYSYSINFOLOC;
const std::string kUnavailable =
    "MsgBox(System Information Is Unavailable At This Time|0|Halvarin)";

// Puts a scripted registry in place for one test and the platform's back after.
class WithScriptedRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    auto scripted = std::make_unique<ScriptedRegistry>();
    reg = scripted.get();
    ReplaceRegistry(std::move(scripted));
  }
  void TearDown() override { ReplaceRegistry(nullptr); }

  ScriptedRegistry* reg = nullptr;
};

using GetKeyValueTest = WithScriptedRegistry;

TEST_F(GetKeyValueTest, TextLosesOneTerminatingZeroOnly) {
  struct Case {
    ScriptedRegistry::Value stored;
    std::string expected;
  };
  const Case cases[] = {
      {ScriptedRegistry::Text("C:\\msinfo32.exe"), "C:\\msinfo32.exe"},
      {ScriptedRegistry::Text("C:\\msinfo32.exe", false), "C:\\msinfo32.exe"},
      {ScriptedRegistry::Text(std::string("ab\0", 3)), std::string("ab\0", 3)},
      {ScriptedRegistry::Text(""), ""},  // one zero byte: an empty text, still read
  };
  for (const auto& c : cases) {
    reg->Set(kKey, "PATH", c.stored);
    std::string value = "before";
    EXPECT_TRUE(GetKeyValue(HKeyLocalMachine, kKey, "PATH", value));
    EXPECT_EQ(value, c.expected);
  }
  EXPECT_TRUE(reg->Open.empty());
}

TEST_F(GetKeyValueTest, ValueOf1024BytesIsReadAndOf1025IsMissing) {
  reg->Set(kKey, "PATH", ScriptedRegistry::Text(std::string(1024, 'x'), false));
  std::string value;
  EXPECT_TRUE(GetKeyValue(HKeyLocalMachine, kKey, "PATH", value));
  EXPECT_EQ(value, std::string(1024, 'x'));

  // 1023 characters and the zero fill the buffer exactly.
  reg->Set(kKey, "PATH", ScriptedRegistry::Text(std::string(1023, 'y')));
  EXPECT_TRUE(GetKeyValue(HKeyLocalMachine, kKey, "PATH", value));
  EXPECT_EQ(value, std::string(1023, 'y'));

  reg->Set(kKey, "PATH", ScriptedRegistry::Text(std::string(1024, 'z')));
  value = "caller's";
  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, kKey, "PATH", value));
  EXPECT_EQ(value, "");
  EXPECT_TRUE(reg->Open.empty());
}

TEST_F(GetKeyValueTest, FailuresEmptyTheTextAndCloseWhatWasOpened) {
  reg->Set(kKey, "OTHER", ScriptedRegistry::Text("x"));
  reg->Set(kLocKey, "MSINFO", ScriptedRegistry::Text("C:\\Tools"));
  reg->Deny(kLocKey);

  std::string value = "caller's";
  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, "SOFTWARE\\Nowhere", "PATH", value));
  EXPECT_EQ(value, "");

  value = "caller's";
  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, kLocKey, "MSINFO", value));  // access denied
  EXPECT_EQ(value, "");

  value = "caller's";
  EXPECT_FALSE(GetKeyValue(HKeyLocalMachine, kKey, "PATH", value));  // no such value
  EXPECT_EQ(value, "");
  EXPECT_TRUE(reg->Open.empty());
}

TEST_F(GetKeyValueTest, ZeroByteValueIsAnErrorAndTheKeyIsClosed) {
  reg->Set(kKey, "PATH", ScriptedRegistry::Value{RegTypeSz, {}});
  std::string value;
  try {
    GetKeyValue(HKeyLocalMachine, kKey, "PATH", value);
    FAIL() << "no error";
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), errInvalidArgument);
    EXPECT_NE(e.Description().find("PATH"), std::string::npos);
  }
  EXPECT_TRUE(reg->Open.empty());
}

TEST_F(GetKeyValueTest, NumbersBecomeDecimalAndOtherTypesKeepTheCallersText) {
  const std::pair<std::uint32_t, std::string> numbers[] = {
      {0, "0"}, {5, "5"}, {266, "266"}, {0x01000000, "16777216"}, {0xFFFFFFFF, "4294967295"}};
  for (const auto& [n, text] : numbers) {
    reg->Set(kKey, "N", ScriptedRegistry::Dword(n));
    std::string value = "caller's";
    EXPECT_TRUE(GetKeyValue(HKeyLocalMachine, kKey, "N", value));
    EXPECT_EQ(value, text);
  }

  for (std::uint32_t type : {RegTypeNone, RegTypeExpandSz, RegTypeBinary, 7u}) {
    reg->Set(kKey, "B", ScriptedRegistry::Value{type, {'a', 'b', 0}});
    std::string value = "caller's";
    EXPECT_TRUE(GetKeyValue(HKeyLocalMachine, kKey, "B", value)) << type;
    EXPECT_EQ(value, "caller's") << type;
  }
  EXPECT_TRUE(reg->Open.empty());
}

// --- StartSysInfo -----------------------------------------------------------

class StartSysInfoTest : public WithScriptedRegistry {
 protected:
  // The file test of the launcher, answering from a list of files.
  FileExistsFunction Files(std::vector<std::string> existing) {
    return [this, existing](const std::string& path) {
      asked.push_back(path);
      return std::find(existing.begin(), existing.end(), path) != existing.end();
    };
  }

  RecordingToolkit toolkit;
  std::vector<std::string> asked;
};

TEST_F(StartSysInfoTest, FirstValueWinsOverTheSecondKeyAndIsNotCheckedForExistence) {
  reg->Set(kKey, "PATH", ScriptedRegistry::Text("C:\\Program Files\\Info\\msinfo32.exe"));
  reg->Set(kLocKey, "MSINFO", ScriptedRegistry::Text("C:\\Other"));
  StartSysInfo(toolkit, Files({"C:\\Other\\MSINFO32.EXE"}));
  EXPECT_EQ(toolkit.Calls,
            std::vector<std::string>{"StartProgram(C:\\Program Files\\Info\\msinfo32.exe)"});
  EXPECT_TRUE(asked.empty());
}

TEST_F(StartSysInfoTest, SecondKeyNamesTheFolderOfMsinfo32) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Tools", "C:\\Tools\\MSINFO32.EXE"},
      {"C:\\Tools\\", "C:\\Tools\\\\MSINFO32.EXE"},  // taken as stored
  };
  for (const auto& [folder, started] : cases) {
    reg->Set(kLocKey, "MSINFO", ScriptedRegistry::Text(folder));
    toolkit.Calls.clear();
    asked.clear();
    StartSysInfo(toolkit, Files({started}));
    EXPECT_EQ(asked, std::vector<std::string>{started});
    EXPECT_EQ(toolkit.Calls, std::vector<std::string>{"StartProgram(" + started + ")"});
  }
}

TEST_F(StartSysInfoTest, EveryFailureEndsInTheOneMessage) {
  struct Case {
    const char* what;
    std::function<void(ScriptedRegistry&, RecordingToolkit&)> arrange;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"nothing registered", [](ScriptedRegistry&, RecordingToolkit&) {}, {kUnavailable}},
      {"folder without MSINFO32.EXE",
       [](ScriptedRegistry& r, RecordingToolkit&) {
         r.Set(kLocKey, "MSINFO", ScriptedRegistry::Text("C:\\Empty"));
       },
       {kUnavailable}},
      {"start fails",
       [](ScriptedRegistry& r, RecordingToolkit& t) {
         r.Set(kKey, "PATH", ScriptedRegistry::Text("C:\\gone.exe"));
         t.StartProgramFails = true;
       },
       {"StartProgram(C:\\gone.exe)", kUnavailable}},
      {"first key denied, second key empty-valued",
       [](ScriptedRegistry& r, RecordingToolkit&) {
         r.Set(kKey, "PATH", ScriptedRegistry::Text("C:\\x.exe"));
         r.Deny(kKey);
         r.Set(kLocKey, "MSINFO", ScriptedRegistry::Value{RegTypeSz, {}});
       },
       {kUnavailable}},
      // An empty first value is an error of the routine: the second key is
      // not consulted even though it would lead to a tool.
      {"zero-byte first value",
       [](ScriptedRegistry& r, RecordingToolkit&) {
         r.Set(kKey, "PATH", ScriptedRegistry::Value{RegTypeSz, {}});
         r.Set(kLocKey, "MSINFO", ScriptedRegistry::Text("C:\\Tools"));
       },
       {kUnavailable}},
  };
  for (const auto& c : cases) {
    SetUp();
    RecordingToolkit t;
    c.arrange(*reg, t);
    StartSysInfo(t, Files({"C:\\Tools\\MSINFO32.EXE"}));
    EXPECT_EQ(t.Calls, c.calls) << c.what;
    EXPECT_TRUE(reg->Open.empty()) << c.what;
  }
}

TEST_F(StartSysInfoTest, TooLongFirstValueCountsAsMissing) {
  reg->Set(kKey, "PATH", ScriptedRegistry::Text(std::string(1100, 'p')));
  reg->Set(kLocKey, "MSINFO", ScriptedRegistry::Text("C:\\Tools"));
  StartSysInfo(toolkit, Files({"C:\\Tools\\MSINFO32.EXE"}));
  EXPECT_EQ(toolkit.Calls, std::vector<std::string>{"StartProgram(C:\\Tools\\MSINFO32.EXE)"});
}

TEST(VersionLineTest, ThreePlainNumbers) {
  EXPECT_EQ(VersionLine(1, 0, 0), "Version 1.0.0");
  EXPECT_EQ(VersionLine(2, 15, 7), "Version 2.15.7");
  EXPECT_EQ(VersionLine(), "Version 1.0.0");

  // Loading reads the numbers from the toolkit's program facts.
  struct Version2157 : RecordingToolkit {
    int32_t AppMajor() const override { return 2; }
    int32_t AppMinor() const override { return 15; }
    int32_t AppRevision() const override { return 7; }
  } toolkit;
  frmAbout about(toolkit);
  about.Form_Load();
  EXPECT_EQ(toolkit.Caption(frmAbout::FormName, "lblVersion"), "Version 2.15.7");
}

TEST(FileExistsTest, OrdinaryFilesOnly) {
  TempDir temp;
  const auto& dir = temp.Path();
  std::filesystem::create_directories(dir / "folder");
  std::ofstream(dir / "MSINFO32.EXE") << "x";
  EXPECT_TRUE(FileExists((dir / "MSINFO32.EXE").string()));
  EXPECT_FALSE(FileExists((dir / "folder").string()));
  EXPECT_FALSE(FileExists((dir / "MSINFO*.EXE").string()));  // no wildcards
  EXPECT_FALSE(FileExists((dir / "missing.exe").string()));
  EXPECT_FALSE(FileExists(""));
}

}  // namespace
}  // namespace halvarin
