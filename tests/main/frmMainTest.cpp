#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AppError.h"
#include "RecordingToolkit.h"
#include "SampleArchive.h"
#include "frmMain.h"

namespace halvarin {
namespace {

using Item = RecordingToolkit::Item;

class frmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tk.Heights[RecordingToolkit::Key("frmMain", "StatusBar1")] = 255;
    dir = std::filesystem::temp_directory_path() /
          ("halvarin-main-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::vector<Item>& List() { return tk.Items("frmMain", "ListView1"); }
  float ListWidth() { return tk.ControlWidth("frmMain", "ListView1"); }
  float ListHeight() { return tk.ControlHeight("frmMain", "ListView1"); }

  // Loads an archive with these entries into the window's archive.
  void Load(const std::vector<ArchiveEntry>& entries) {
    const std::string path = (dir / "test.grp").string();
    WriteGroupArchive(path, entries);
    form.Archive = std::make_unique<clsVarnGRP>();
    ASSERT_TRUE(form.Archive->LoadFile(path));
  }

  RecordingToolkit tk;
  frmMain form{tk};
  std::filesystem::path dir;
};

TEST(frmMainIconTest, ExtensionPicksTheImage) {
  struct Case {
    const char* name;
    int16_t icon;
  };
  const Case cases[] = {
      {"LEVEL1.MAP", 5},  {"SETUP.CFG", 1},    {"INTRO.ANM", 2}, {"PLAY1.DMO", 2},
      {"BLAST.VOC", 3},   {"THEME.MID", 3},    {"TILES.ART", 4}, {"a.Voc", 3},
      {"a.VOC", 3},       {"mapfile", 5},      {"readme", 1},    {"ARTWORK", 4},
      {"name.", 1},       {"notes.mapx", 5},   {"file.ar", 1},   {"", 1},
      {"x.tar.art", 4},   {"demo.v.mid", 3},   {".map", 5},      {"MA", 1},
      {"AB.MA      ", 1}, {"LEVEL1.MAP  ", 5}, {"A.MI\0", 1},    {"\xC9T\xC9.ART", 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(frmMain::IconIndex(c.name), c.icon) << c.name;
  }
  // A NUL inside the three characters is part of the extension, as stored.
  EXPECT_EQ(frmMain::IconIndex(std::string("A.MI\0\0\0\0\0\0\0\0", 12)), 1);
}

TEST_F(frmMainTest, ItemsShowTheNameUpToItsFirstNulConvertedFromWindows1252) {
  form.AddListItem(std::string("LEVEL1.MAP\0\0", 12));
  form.AddListItem("SETUP.CFG   ");
  form.AddListItem(std::string("A.MA\0\0\0\0\0\0\0\0", 12));
  form.AddListItem(std::string("\xC9T\xC9.VOC\0junk", 12));
  form.AddListItem("a queued file with a long name.art");
  form.AddListItem("");
  const std::vector<Item> expected = {
      {"LEVEL1.MAP", 5, 5},
      {"SETUP.CFG   ", 1, 1},
      {"A.MA", 1, 1},
      {"\xC3\x89T\xC3\x89.VOC", 3, 3},
      {"a queued file with a long name.art", 4, 4},
      {"", 1, 1},
  };
  EXPECT_EQ(List(), expected);
}

TEST_F(frmMainTest, ListPositionsFollowTheArchive) {
  Load({{"LEVEL1.MAP", "m"},
        {std::string("TILES.ART\0\0\0", 12), "tt"},
        {"THEME.MID", ""},
        {"README", "r"}});
  form.RefreshList();
  form.RefreshList();  // a second refill replaces, never doubles
  const std::vector<Item> expected = {
      {"LEVEL1.MAP  ", 5, 5}, {"TILES.ART", 4, 4}, {"THEME.MID   ", 3, 3}, {"README      ", 1, 1}};
  EXPECT_EQ(List(), expected);

  form.HasFile = true;
  form.mnuFileNew_Click();
  EXPECT_TRUE(List().empty());
  EXPECT_FALSE(form.HasFile);
  ASSERT_NE(form.Archive, nullptr);
  EXPECT_EQ(form.Archive->NumberOfFiles(), 0);
}

TEST_F(frmMainTest, RefreshWithoutAnArchiveCreatesAnEmptyOne) {
  List().push_back({"stale", 1, 1});
  form.RefreshList();
  EXPECT_TRUE(List().empty());
  ASSERT_NE(form.Archive, nullptr);
  EXPECT_FALSE(form.Archive->Changed());
}

TEST_F(frmMainTest, ResizeFillsTheClientAreaAboveTheStatusBar) {
  form.Form_Resize(3000, 2000, false);
  EXPECT_EQ(ListWidth(), 3000);
  EXPECT_EQ(ListHeight(), 1745);

  // Maximised on a large screen.
  form.Resize(28800, 15000, false);
  EXPECT_EQ(ListWidth(), 28800);
  EXPECT_EQ(ListHeight(), 14745);

  // Minimised: the list keeps its size; restoring applies the rule again.
  form.Resize(2400, 0, true);
  EXPECT_EQ(ListWidth(), 28800);
  EXPECT_EQ(ListHeight(), 14745);
  form.Resize(6210, 4155, false);
  EXPECT_EQ(ListWidth(), 6210);
  EXPECT_EQ(ListHeight(), 3900);

  // Lower than the status bar: no room for the list, but never a negative height.
  EXPECT_NO_THROW(form.Resize(3000, 100, false));
  EXPECT_EQ(ListWidth(), 3000);
  EXPECT_EQ(ListHeight(), 0);
  EXPECT_NO_THROW(form.Resize(0, 0, false));
  EXPECT_EQ(ListHeight(), 0);
}

TEST_F(frmMainTest, RightButtonOnTheListPopsUpTheItemMenu) {
  for (int16_t shift : {0, int(vbShiftMask), int(vbCtrlMask), vbShiftMask | vbCtrlMask}) {
    tk.Calls.clear();
    form.MouseDown("ListView1", vbRightButton, shift, 120, 45);
    EXPECT_EQ(tk.Calls, std::vector<std::string>{"PopupMenu(frmMain|mnuitem)"}) << shift;
  }
  tk.Calls.clear();
  form.MouseDown("ListView1", vbLeftButton, 0, 120, 45);
  form.MouseDown("ListView1", vbMiddleButton, vbShiftMask, 120, 45);
  form.MouseDown("StatusBar1", vbRightButton, 0, 10, 10);
  EXPECT_TRUE(tk.Calls.empty());
}

TEST_F(frmMainTest, MenuCommandsReachTheirHandlers) {
  form.Click("mnuHelpAbout");
  EXPECT_EQ(tk.Calls, std::vector<std::string>{"Show(frmAbout)"});

  Load({{"A.MAP", "a"}});
  form.RefreshList();
  form.HasFile = true;
  form.Click("mnuFileNew");
  EXPECT_TRUE(List().empty());
  EXPECT_FALSE(form.HasFile);

  // Headers, the separator and unknown names run nothing.
  tk.Calls.clear();
  for (const char* name : {"mnufile", "mnuitem", "mnuHelp", "mnufiledash", "nosuchmenu"}) {
    form.Click(name);
  }
  EXPECT_TRUE(tk.Calls.empty());
}

TEST_F(frmMainTest, ClosingTheWindowEndsTheProgram) {
  tk.Attach("frmMain", &form);
  tk.Show("frmMain");
  form.RefreshList();
  tk.Calls.clear();
  tk.Unload("frmMain");  // the title bar's close box
  EXPECT_TRUE(tk.Ended);
  EXPECT_EQ(form.Archive, nullptr);
  EXPECT_FALSE(tk.IsLoaded("frmMain"));

  RecordingToolkit tk2;
  frmMain form2(tk2);
  tk2.Attach("frmMain", &form2);
  tk2.Show("frmMain");
  form2.mnufileexit_Click();
  EXPECT_TRUE(tk2.Ended);
  EXPECT_FALSE(tk2.IsLoaded("frmMain"));
}

TEST(frmMainDefinitionTest, MenuTableAndControls) {
  const FormDefinition& def = frmMain::Definition();
  EXPECT_EQ(def.Name, "frmMain");
  EXPECT_EQ(def.Caption, "Halvarin");
  EXPECT_EQ(def.ClientWidth, 6210);
  EXPECT_EQ(def.ClientHeight, 4155);
  const std::vector<MenuDef> menus = {
      {"mnufile", "&File", "", ""},
      {"mnuFileNew", "&New", "mnufile", "Ctrl+N"},
      {"mnuFileOpen", "&Open", "mnufile", "Ctrl+O"},
      {"mnufilesave", "&Save", "mnufile", "Ctrl+S"},
      {"mnufilesaveas", "Save &As", "mnufile", ""},
      {"mnufiledash", "-", "mnufile", ""},
      {"mnufileexit", "E&xit", "mnufile", ""},
      {"mnuitem", "&Item", "", ""},
      {"mnuitemadd", "&Add Item", "mnuitem", ""},
      {"mnuitemextract", "&Extract Item", "mnuitem", ""},
      {"mnuitemdelete", "&Delete Item", "mnuitem", "Del"},
      {"mnuHelp", "&Help", "", ""},
      {"mnuHelpAbout", "&About", "mnuHelp", ""},
  };
  ASSERT_EQ(def.Menus.size(), menus.size());
  for (size_t i = 0; i < menus.size(); ++i) {
    EXPECT_EQ(def.Menus[i].Name, menus[i].Name);
    EXPECT_EQ(def.Menus[i].Caption, menus[i].Caption) << menus[i].Name;
    EXPECT_EQ(def.Menus[i].Parent, menus[i].Parent) << menus[i].Name;
    EXPECT_EQ(def.Menus[i].Shortcut, menus[i].Shortcut) << menus[i].Name;
  }
  const ControlDef* images = def.FindControl("ImageList1");
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(images->Settings.Images.size(), 5u);
  EXPECT_EQ(images->Settings.MaskColor, (Colour{192, 192, 192}));
  const ControlDef* status = def.FindControl("StatusBar1");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->Height, 255);
  EXPECT_EQ(status->Settings.Align, Dock::Bottom);
  ASSERT_EQ(status->Settings.Panels.size(), 1u);
  EXPECT_EQ(status->Settings.Panels[0].Text, "");
}

TEST(TwipsTest, FifteenTwipsMakeOnePixelAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(6210), 414);
  EXPECT_EQ(TwipsToPixels(255), 17);
  EXPECT_EQ(TwipsToPixels(255, 144), 26);  // 25.5 rounds up
  EXPECT_EQ(TwipsToPixels(1440, 120), 120);
  EXPECT_FLOAT_EQ(PixelsToTwips(17), 255);
  EXPECT_FLOAT_EQ(PixelsToTwips(120, 120), 1440);
}

TEST(SampleArchiveTest, HasOneEntryPerIconAndLoads) {
  const auto path = std::filesystem::temp_directory_path() / "halvarin-sample-test.grp";
  WriteGroupArchive(path.string(), SampleEntries());
  clsVarnGRP archive;
  ASSERT_TRUE(archive.LoadFile(path.string()));
  std::vector<int16_t> icons;
  for (int16_t i = 1; i <= archive.NumberOfFiles(); ++i) {
    icons.push_back(frmMain::IconIndex(archive.filename(i)));
  }
  std::filesystem::remove(path);
  for (int16_t icon = 1; icon <= 5; ++icon) {
    EXPECT_NE(std::find(icons.begin(), icons.end(), icon), icons.end()) << icon;
  }
  EXPECT_THROW(WriteGroupArchive(path.string(), {{"THIRTEEN.CHRS", ""}}), AppError);
}

}  // namespace
}  // namespace halvarin
