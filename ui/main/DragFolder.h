#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace halvarin {

// Where entries dragged out of the list are written, so that a drag can
// offer them as files: a folder of our own, made on first use, that only
// this user can enter (so nobody can plant a link or swap a file in it), in
// the session's runtime folder ($XDG_RUNTIME_DIR) where there is one and in
// the system's temporary folder otherwise. Each drag gets a folder of its
// own inside, so that its file can carry the entry's name whatever was
// dragged before. Every copy stays until the program ends (Remove, or this
// object going): a program the file was dropped on may read it much later.
//
// Before each use the folder must still be the very one we made (ours,
// closed to others, no link, the same file number): a temporary-folder
// cleaner may have removed it and someone else made another by that name.
// Such a folder is never written into or cleaned up; a new one is made.
class DragFolder {
 public:
  DragFolder() = default;
  ~DragFolder();
  DragFolder(const DragFolder&) = delete;
  DragFolder& operator=(const DragFolder&) = delete;

  // A new, empty folder for the next drag's file (UTF-8 path). Throws
  // AppError when it cannot be made.
  std::string Next();
  // Removes the folder with every copy in it, if it is still ours.
  void Remove() noexcept;

  // Whether `path` is a copy in the drag folder of this program or of any
  // other copy of it: a file that goes away when that program ends.
  static bool IsDragCopy(const std::string& path);
  // Whether `path` is a copy in this object's folder.
  bool Holds(const std::string& path) const;

  // Copies the file `from` to the new file `to`, reporting as the toolkit's
  // progress reports do (bytes done and in all; done == total only last);
  // a report answered false stops it with errDialogCancelled. Whatever
  // stops it removes the unfinished copy.
  using Report = std::function<bool(int64_t done, int64_t total)>;
  static void Copy(const std::string& from, const std::string& to, const Report& report);

 private:
  bool StillOurs() const;

  std::filesystem::path root_;
  uint64_t device_ = 0;
  uint64_t identity_ = 0;
  int drags_ = 0;
};

}  // namespace halvarin
