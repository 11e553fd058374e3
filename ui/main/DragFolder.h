#pragma once

#include <filesystem>
#include <string>

namespace halvarin {

// Where entries dragged out of the list are written, so that a drag can
// offer them as files: a folder of our own in the system's temporary folder,
// made on first use, that only this user can enter (so nobody can plant a
// link or swap a file in it), and removed with everything in it when this
// object goes, at the program's end. Each drag gets a folder of its own
// inside, so that its file can carry the entry's name whatever was dragged
// before; the previous drag's copy is removed when the next drag starts, by
// when its drop has long been taken.
class DragFolder {
 public:
  DragFolder() = default;
  ~DragFolder();
  DragFolder(const DragFolder&) = delete;
  DragFolder& operator=(const DragFolder&) = delete;

  // A new, empty folder for the next drag's file (UTF-8 path). Throws
  // AppError when it cannot be made.
  std::string Next();

 private:
  std::filesystem::path root_;
  std::filesystem::path current_;
  int drags_ = 0;
};

}  // namespace halvarin
