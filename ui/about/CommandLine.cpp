#include "CommandLine.h"

#include "IdentityFiles.h"
#include "ProgramIdentity.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace halvarin {

namespace {

// Qt's own options, as its application object reads them (with one dash or
// two): those that take the next argument as their value, and those that
// stand alone or carry it after "=".
constexpr std::array<std::string_view, 15> kWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "title",         "icon",   "name"};
constexpr std::array<std::string_view, 3> kAlone = {"reverse", "widgetcount", "nograb"};
constexpr std::array<std::string_view, 3> kWithEquals = {"style=", "stylesheet=", "qmljsdebugger="};

template <std::size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool StartsAmong(std::string_view name) {
  return std::any_of(kWithEquals.begin(), kWithEquals.end(),
                     [name](std::string_view prefix) { return name.starts_with(prefix); });
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  const std::string me(ProgramIdentity::Executable);
  const auto fail = [&](const std::string& what) {
    // Kept looking: a later --help still answers.
    if (line.error.empty()) {
      line.error = me + ": " + what + "\nTry '" + me + " --help' for more information.\n";
    }
  };
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::string_view name = std::string_view(arg).substr(arg.starts_with("--")  ? 2
                                                               : arg.starts_with("-") ? 1
                                                                                      : 0);
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (options && arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    } else if (options && arg.size() > 1 && arg[0] == '-' && Among(kWithValue, name)) {
      if (i + 1 == args.size()) {
        fail("option " + arg + " needs a value");
        continue;
      }
      line.platformOptions.push_back(arg);
      line.platformOptions.push_back(args[++i]);
    } else if (options && arg.size() > 1 && arg[0] == '-' &&
               (Among(kAlone, name) || StartsAmong(name))) {
      line.platformOptions.push_back(arg);
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      fail("unknown option " + arg);
    } else {
      line.files.push_back(arg);
    }
  }
  if (!line.error.empty()) {
    line.action = CommandLine::Action::Error;
  }
  return line;
}

std::string VersionText() {
  return std::string(ProgramIdentity::Title) + " " + VersionNumbers() + "\n";
}

std::string HelpText() {
  const std::string name(ProgramIdentity::Executable);
  return "Usage: " + name + " [OPTION]... [FILE]\n" + std::string(ProgramIdentity::Summary) +
         ".\n\n"
         "With FILE, the window opens that group archive, as File > Open does.\n"
         "Only one archive is open at a time: further files are not opened.\n\n"
         "  -h, --help     print this help and exit\n"
         "      --version  print the version and exit\n"
         "      --         end of options: every later argument is a file\n"
#ifdef HALVARIN_WITH_QT
         "\nThe window also takes Qt's own options before \"--\", such as\n"
         "-platform offscreen or -style fusion.\n"
#endif
      ;
}

}  // namespace halvarin
