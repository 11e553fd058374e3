#pragma once

#include <string>
#include <vector>

namespace halvarin {

class frmMain;
class Toolkit;

// The files named on the command line, once the main window shows: the
// first is opened as File > Open opens it, a relative path taken from the
// current folder (Save writes back to it even after that folder changed).
// Further files are not opened, and a message box says so. Every toolkit's
// start-up calls this.
void OpenStartupFiles(frmMain& form, Toolkit& toolkit, const std::vector<std::string>& files);

// `path` (UTF-8) made absolute against the current folder; as given when
// that fails. On POSIX systems the path's bytes pass through unchanged.
std::string FromCurrentFolder(const std::string& path);

}  // namespace halvarin
