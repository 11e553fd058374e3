#include "frmAbout.h"

#include <utility>

#include "ProgramIdentity.h"
#include "ResourceImages.h"

namespace halvarin {

namespace {

constexpr Colour kBlack{0, 0, 0};
constexpr Colour kGrey{128, 128, 128};
constexpr Colour kWhite{255, 255, 255};

// The look of the classic dialog font; the toolkit falls back to the closest
// font the machine has.
FontDef DialogFont(bool bold = false) {
  return FontDef{"MS Sans Serif", 9.75, bold};
}

ControlDef Label(std::string name, int32_t left, int32_t top, int32_t width, int32_t height,
                 int32_t tab, std::string caption) {
  ControlDef c = Control(std::move(name), ControlKind::Label, left, top, width, height, tab);
  c.Settings.Caption = std::move(caption);
  return c;
}

ControlDef Button(std::string name, int32_t left, int32_t top, int32_t width, int32_t height,
                  int32_t tab, std::string caption) {
  ControlDef c = Label(std::move(name), left, top, width, height, tab, std::move(caption));
  c.Kind = ControlKind::CommandButton;
  return c;
}

// One element of Line1, the array of lines that draws the two engraved rules.
ControlDef Line(int32_t index, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Colour colour,
                int32_t width) {
  ControlDef c;
  c.Name = "Line1";
  c.Kind = ControlKind::Line;
  c.Index = index;
  c.Settings.X1 = x1;
  c.Settings.Y1 = y1;
  c.Settings.X2 = x2;
  c.Settings.Y2 = y2;
  c.Settings.BorderColor = colour;
  c.Settings.BorderWidth = width;
  return c;
}

FormDefinition MakeDefinition() {
  FormDefinition f;
  f.Name = frmAbout::FormName;
  f.Caption = "About " + std::string(ProgramIdentity::Title);
  f.Border = BorderStyle::FixedDialog;
  f.ShowInTaskbar = false;
  f.ClientWidth = 5730;
  f.ClientHeight = 3555;
  f.ClientLeft = 2340;
  f.ClientTop = 1935;
  f.Icon = resources::kProgramIconPath;

  ControlDef ok = Button("cmdOK", 4245, 2625, 1260, 345, 0, "OK");
  ok.Settings.Default = true;
  ok.Settings.Cancel = true;
  f.Controls.push_back(ok);

  ControlDef icon = Control("picIcon", ControlKind::PictureBox, 240, 240, 540, 540, 1);
  icon.Settings.Picture = resources::kAboutPicturePath;
  icon.Settings.Border = FrameStyle::Sunken;
  icon.Settings.AutoSize = true;
  f.Controls.push_back(icon);

  f.Controls.push_back(Button("cmdSysInfo", 4260, 3075, 1245, 345, 2, "&System Info..."));

  ControlDef description =
      Label("lblDescription", 1050, 840, 3885, 1050, 3,
            "This application was design to allow easy editing of Varn GRP Files. If you find "
            "any bugs or have any suggestions on how to improve this program, email me at:");
  description.Settings.WordWrap = true;
  description.Settings.ForeColor = kBlack;
  description.Settings.Font = DialogFont();
  f.Controls.push_back(description);

  ControlDef disclaimer = Label("lblDisclaimer", 255, 2625, 3870, 825, 4,
                                "Warning: Use this program at your own risk, I take no "
                                "responsibility for any damage this program may cause.");
  disclaimer.Settings.WordWrap = true;
  disclaimer.Settings.ForeColor = kBlack;
  f.Controls.push_back(disclaimer);

  ControlDef title =
      Label("lblTitle", 1050, 240, 3885, 240, 5, std::string(ProgramIdentity::Title));
  title.Settings.ForeColor = kBlack;
  title.Settings.Font = DialogFont(true);
  f.Controls.push_back(title);

  ControlDef version = Label("lblVersion", 1050, 600, 3885, 225, 6, "");
  version.Settings.Font = DialogFont();
  f.Controls.push_back(version);

  ControlDef contact =
      Label("Label1", 1080, 1920, 3975, 495, 7, std::string(ProgramIdentity::Contact));
  contact.Settings.TextAlign = Alignment::Center;
  contact.Settings.WordWrap = true;
  contact.Settings.Font = DialogFont();
  f.Controls.push_back(contact);

  // Two engraved rules: a grey line with a wider white one a pixel lower and
  // to the right. The first runs under the title, the second across the
  // dialog above the disclaimer and the buttons.
  f.Controls.push_back(Line(0, 105, 2460, 5654, 2460, kWhite, 2));
  f.Controls.push_back(Line(1, 90, 2445, 5654, 2445, kGrey, 1));
  f.Controls.push_back(Line(2, 960, 480, 5005, 480, kGrey, 1));
  f.Controls.push_back(Line(3, 975, 495, 5005, 495, kWhite, 2));
  return f;
}

}  // namespace

const FormDefinition& frmAbout::Definition() {
  static const FormDefinition definition = MakeDefinition();
  return definition;
}

void frmAbout::Click(const std::string& name) {
  if (name == "cmdOK") {
    cmdOK_Click();
  } else if (name == "cmdSysInfo") {
    cmdSysInfo_Click();
  }
}

void frmAbout::Form_Load() {
  toolkit_.SetCaption(
      FormName, "lblVersion",
      VersionLine(toolkit_.AppMajor(), toolkit_.AppMinor(), toolkit_.AppRevision()));
}

void frmAbout::cmdOK_Click() {
  toolkit_.Unload(FormName);
}

void frmAbout::cmdSysInfo_Click() {
  StartSysInfo(toolkit_, registry_, fileExists_);
}

}  // namespace halvarin
