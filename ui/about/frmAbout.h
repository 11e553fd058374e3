#pragma once

#include <string>

#include "FormDefinition.h"
#include "SysInfo.h"
#include "Toolkit.h"

namespace halvarin {

// The About box: the program's title, version, description, a contact line,
// a disclaimer, and a button that starts the system's information tool.

// The About box's behaviour, driven by the toolkit's events.
class frmAbout : public FormEvents {
 public:
  static constexpr const char* FormName = "frmAbout";

  // The window as data. Texts come from the program identity; the version
  // line is left empty here because loading fills it in.
  static const FormDefinition& Definition();

  explicit frmAbout(Toolkit& toolkit, Registry& registry = PlatformRegistry(),
                    FileExistsFunction fileExists = FileExists)
      : toolkit_(toolkit), registry_(registry), fileExists_(std::move(fileExists)) {}

  void Load() override { Form_Load(); }
  void Click(const std::string& name) override;

  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();

 private:
  Toolkit& toolkit_;
  Registry& registry_;
  FileExistsFunction fileExists_;
};

}  // namespace halvarin
