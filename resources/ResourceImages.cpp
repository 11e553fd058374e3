#include "ResourceImages.h"

namespace halvarin::resources {

const char* EntryImagePath(int index) {
  static constexpr const char* kPaths[kEntryImageCount] = {
      ":/images/entry1.png", ":/images/entry2.png", ":/images/entry3.png",
      ":/images/entry4.png", ":/images/entry5.png",
  };
  if (index < 1 || index > kEntryImageCount) {
    return kPaths[0];
  }
  return kPaths[index - 1];
}

}  // namespace halvarin::resources
