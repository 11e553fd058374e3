#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace halvarin {

// Error numbers in the traditional numbering that modders' tools and scripts
// already know; callers switch on them, so they never change.
enum ErrorNumber : int32_t {
  errInvalidArgument = 5,
  errOverflow = 6,
  errSubscriptOutOfRange = 9,
  errFileNotFound = 53,
  errPermissionDenied = 70,
  errPathFileAccess = 75,
  errDialogCancelled = 32755,
};

// The one error type of the program: a number to act on, the component that
// raised it, a sentence a user can read (what failed, on which file, why),
// and the file it is about, for code that must know which one: the sentence
// is for people, and its wording may change.
class AppError : public std::exception {
 public:
  AppError(int32_t number, std::string source, std::string description, std::string path = {})
      : number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        path_(std::move(path)) {}

  int32_t Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }
  // The file as the description names it; empty when it names none.
  const std::string& Path() const noexcept { return path_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string path_;
};

}  // namespace halvarin
