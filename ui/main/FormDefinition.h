#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvarin {

// A window defined as data, the way a form designer stores it: the window's
// own properties, a table of controls and a menu table. QtFormWindow builds
// the real window from it; tests read the tables directly. Positions and
// sizes are twips (1/1440 inch).

struct Colour {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  friend bool operator==(const Colour&, const Colour&) = default;
};

struct FontDef {
  std::string Name;  // empty: the window's default font
  double Size = 0;   // points; 0: the default size
  bool Bold = false;
};

// The fonts to take, in order, where a definition's font is missing. The
// classic dialog font is a bitmap font, and forms are laid out for its
// widths: outline fonts of the same build and width come first, so that
// texts still fit the fixed labels; the wide default sans-serif fonts of
// Linux desktops come last.
inline std::vector<std::string> FontSubstitutes(const std::string& family) {
  if (family == "MS Sans Serif") {
    return {"Microsoft Sans Serif", "Arial",         "Liberation Sans", "Arimo",
            "Nimbus Sans",          "Nimbus Sans L", "Helvetica",       "DejaVu Sans"};
  }
  return {};
}

enum class ControlKind {
  ListView,
  StatusBar,
  ImageList,
  CommandButton,
  PictureBox,
  Label,
  Line,
};

enum class Alignment { Left, Center, Right };
enum class ListViewStyle { Icon, SmallIcon, List, Report };
// How a list view arranges its icons: in rows from the top left, or in columns.
enum class Arrangement { LeftToRight, TopToBottom };
enum class Dock { None, Top, Bottom };
enum class FrameStyle { None, Sunken };

struct StatusPanel {
  int32_t Width = 1440;
  std::string Text;
};

// Settings of a control; each kind reads only the ones that concern it.
struct ControlSettings {
  // What assistive technology calls a control that shows no caption of its
  // own (a list, a status bar); empty for none.
  std::string AccessibleName;

  // Label, push button.
  std::string Caption;
  Alignment TextAlign = Alignment::Left;
  bool WordWrap = false;
  FontDef Font;
  std::optional<Colour> ForeColor;  // empty: the system colour
  std::optional<Colour> BackColor;

  // Push button: chosen by Enter / by Esc anywhere in the window.
  bool Default = false;
  bool Cancel = false;

  // List view.
  ListViewStyle View = ListViewStyle::Icon;
  std::string Icons;       // image list of the large icons
  std::string SmallIcons;  // image list of the small icons
  Arrangement Arrange = Arrangement::LeftToRight;
  bool LabelEdit = false;    // in-place renaming of items
  bool MultiSelect = false;  // more than one selected item
  bool AcceptDrops = false;  // sends DragDrop

  // Status bar.
  Dock Align = Dock::None;
  std::vector<StatusPanel> Panels;

  // Image list: images (resource paths, in index order) fitted into cells of
  // ImageWidth x ImageHeight pixels; pixels of MaskColor are transparent.
  int32_t ImageWidth = 32;
  int32_t ImageHeight = 32;
  std::optional<Colour> MaskColor;
  std::vector<std::string> Images;

  // Picture box.
  std::string Picture;  // resource path
  FrameStyle Border = FrameStyle::None;
  bool AutoSize = false;  // the box takes the picture's size (plus its frame)

  // Line: end points in twips, colour, width in pixels.
  int32_t X1 = 0;
  int32_t Y1 = 0;
  int32_t X2 = 0;
  int32_t Y2 = 0;
  Colour BorderColor;
  int32_t BorderWidth = 1;
};

struct ControlDef {
  std::string Name;
  ControlKind Kind = ControlKind::Label;
  int32_t Index = -1;  // element of a control array (Line1(0) ...); -1 when none
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t TabIndex = -1;  // -1: takes no part in the tab order
  ControlSettings Settings;
};

// A row of the controls table with the columns of every placed control;
// the settings follow row by row.
inline ControlDef Control(std::string name, ControlKind kind, int32_t left, int32_t top,
                          int32_t width, int32_t height, int32_t tabIndex) {
  ControlDef c;
  c.Name = std::move(name);
  c.Kind = kind;
  c.Left = left;
  c.Top = top;
  c.Width = width;
  c.Height = height;
  c.TabIndex = tabIndex;
  return c;
}

// One row of the menu table. Parent empty: a menu bar entry. A caption of a
// single "-" is a separator. Shortcut in portable text form ("Ctrl+N", "Del"),
// empty for none. "&" in a caption marks the access key.
struct MenuDef {
  std::string Name;
  std::string Caption;
  std::string Parent;
  std::string Shortcut;
};

enum class BorderStyle {
  Sizable,      // minimise and maximise boxes, system menu
  FixedDialog,  // fixed size, close box only
};

struct FormDefinition {
  std::string Name;
  std::string Caption;
  BorderStyle Border = BorderStyle::Sizable;
  bool ShowInTaskbar = true;
  int32_t ClientWidth = 0;
  int32_t ClientHeight = 0;
  // Top-left corner of the client area on the screen; empty: wherever the
  // window manager places a new window.
  std::optional<int32_t> ClientLeft;
  std::optional<int32_t> ClientTop;
  std::string Icon;  // resource path; empty: none
  std::vector<ControlDef> Controls;
  std::vector<MenuDef> Menus;

  const ControlDef* FindControl(const std::string& name, int32_t index = -1) const {
    for (const ControlDef& c : Controls) {
      if (c.Name == name && c.Index == index) {
        return &c;
      }
    }
    return nullptr;
  }
  const MenuDef* FindMenu(const std::string& name) const {
    for (const MenuDef& m : Menus) {
      if (m.Name == name) {
        return &m;
      }
    }
    return nullptr;
  }
};

// Twips and pixels: 15 twips make one pixel at 96 dots per inch; the pixel
// count follows the screen's logical DPI.
constexpr double TwipsPerInch = 1440.0;

inline int32_t TwipsToPixels(double twips, double dpi = 96.0) {
  return static_cast<int32_t>(std::lround(twips * dpi / TwipsPerInch));
}

inline float PixelsToTwips(double pixels, double dpi = 96.0) {
  return static_cast<float>(pixels * TwipsPerInch / dpi);
}

}  // namespace halvarin
