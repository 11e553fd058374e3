// Writes the sample archive that is put beside the built program, so that
// File > Open, which starts in the program's folder, has something to open.

#include <exception>
#include <iostream>

#include "SampleArchive.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUTPUT.grp\n";
    return 2;
  }
  try {
    halvarin::WriteGroupArchive(argv[1], halvarin::SampleEntries());
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
