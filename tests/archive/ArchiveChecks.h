#pragma once

// What the archive tests look at: the error an action raises, and
// everything a caller can see of an archive object; and the sizes of the
// long runs, from the environment.

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "AppError.h"
#include "clsVarnGRP.h"

namespace halvarin::testing {

inline int32_t ErrorOf(const std::function<void()>& action, std::string* description = nullptr) {
  try {
    return action(), 0;
  } catch (const AppError& e) {
    description != nullptr ? void(*description = e.Description()) : void();
    return e.Number();
  }
}

// Empty when `action` raises error `number` with a reason that holds `words`.
inline std::string Refused(const std::function<void()>& action, int32_t number,
                           const std::string& words) {
  std::string why;
  const int32_t got = ErrorOf(action, &why);
  return got == number && why.find(words) != std::string::npos
             ? ""
             : "error " + std::to_string(got) + ": " + why;
}

inline std::vector<std::string> Snapshot(const clsVarnGRP& grp) {
  std::vector<std::string> rows{std::to_string(grp.NumberOfFiles()) + (grp.Changed() ? "*" : "")};
  for (int16_t i = 1; i <= grp.NumberOfFiles(); ++i) {
    rows.push_back(grp.filename(i) + "|" + std::to_string(grp.FileSize(i)) + "|" +
                   std::to_string(grp.FilePosition(i)));
  }
  return rows;
}

inline int EnvOr(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

}  // namespace halvarin::testing
