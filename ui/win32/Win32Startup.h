#pragma once

#include <string>
#include <vector>

namespace halvarin {

// Start-up on Windows, before any window exists.

// The arguments after the program's name, split as the system splits a
// command line (CommandLineToArgvW), in UTF-8: names beyond the ANSI code
// page arrive whole.
std::vector<std::string> ProgramArguments(const wchar_t* commandLine);

// Shows the answer to --help, --version or a wrong option where the user
// asked: on standard output (or error) when it leads to a file or a pipe,
// else on the console the program was started from, else in a message box.
// Returns whether the text got out.
bool TellUser(const std::string& text, bool isError);

}  // namespace halvarin
