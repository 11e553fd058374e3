#include "ErrorMessages.h"

namespace halvarin {

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

std::string Counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

AppError CannotError(int32_t number, const char* source, const std::string& action,
                     const std::string& path, const std::string& reason) {
  return AppError(number, source, "Cannot " + action + " " + Quoted(path) + ": " + reason + ".",
                  path);
}

AppError FolderError(const char* source, const std::string& path) {
  return AppError(errPathFileAccess, source, Quoted(path) + " is a folder, not a file.", path);
}

AppError NotOrdinaryError(const char* source, const std::string& path) {
  return AppError(errPathFileAccess, source, Quoted(path) + " is not an ordinary file.", path);
}

AppError EndsEarlyError(const char* source, const std::string& path, int64_t at) {
  return AppError(errPathFileAccess, source,
                  Quoted(path) + " ends after " + Counted(at, "byte", "bytes") +
                      ", before the data that should be there; it has changed or is "
                      "damaged.",
                  path);
}

AppError ChangedError(const char* source, const std::string& path) {
  return AppError(
      errPathFileAccess, source,
      Quoted(path) + " has been changed by another program since it was opened. Open it again.",
      path);
}

}  // namespace halvarin
