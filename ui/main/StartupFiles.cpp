#include "StartupFiles.h"

#include <filesystem>
#include <system_error>

#include "FileNames.h"
#include "ProgramIdentity.h"
#include "Toolkit.h"
#include "frmMain.h"

namespace halvarin {

std::string FromCurrentFolder(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(path), error);
  return error ? path : Utf8FromPath(absolute);
}

void OpenStartupFiles(frmMain& form, Toolkit& toolkit, const std::vector<std::string>& files) {
  if (files.empty()) {
    return;
  }
  form.RunCommand([&] { form.OpenArchive(FromCurrentFolder(files.front())); });
  if (files.size() > 1) {
    const std::size_t others = files.size() - 1;
    toolkit.MsgBox(
        "Only one archive is open at a time; " +
            (others == 1 ? std::string("the other file given was not opened.")
                         : "the " + std::to_string(others) + " other files given were not opened."),
        vbOKOnly | vbInformation, std::string(ProgramIdentity::Title));
  }
}

}  // namespace halvarin
