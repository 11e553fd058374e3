#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Registry.h"

namespace halvarin {

// A registry for tests: keys and values set up by the test, every call
// recorded, and a count of keys left open.
class ScriptedRegistry : public Registry {
 public:
  struct Value {
    std::uint32_t Type = RegTypeSz;
    std::vector<std::uint8_t> Data;
  };

  // A text value as Windows stores it, with its terminating zero unless told
  // otherwise.
  static Value Text(const std::string& text, bool terminated = true) {
    Value v{RegTypeSz, std::vector<std::uint8_t>(text.begin(), text.end())};
    if (terminated) {
      v.Data.push_back(0);
    }
    return v;
  }
  static Value Dword(std::uint32_t n) {
    return Value{RegTypeDword,
                 {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                  static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
  }

  void Set(const std::string& key, const std::string& name, Value value) {
    Keys[key][name] = std::move(value);
  }
  // A key that exists but cannot be opened (no rights).
  void Deny(const std::string& key) { Denied.push_back(key); }
  // As Windows answers a standard user: any right beyond reading is refused
  // under HKEY_LOCAL_MACHINE.
  bool ReadOnlyForUser = false;

  long OpenKeyEx(HKey root, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                 HKey* result) override {
    Log.push_back("open " + std::string(subKey) + " options=" + std::to_string(options) +
                  " access=" + std::to_string(samDesired));
    *result = 0;
    if (root != HKeyLocalMachine) {
      return RegFileNotFound;
    }
    if (ReadOnlyForUser && (samDesired & ~RegKeyRead) != 0) {
      return RegAccessDenied;
    }
    for (const auto& denied : Denied) {
      if (denied == subKey) {
        return RegAccessDenied;
      }
    }
    if (Keys.count(subKey) == 0) {
      return RegFileNotFound;
    }
    *result = next_++;
    Open[*result] = subKey;
    return RegSuccess;
  }

  long QueryValueEx(HKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
    Log.push_back("query " + std::string(valueName) + " size=" + std::to_string(*size));
    auto open = Open.find(key);
    if (open == Open.end()) {
      return RegInvalidHandle;
    }
    const auto& values = Keys[open->second];
    auto value = values.find(valueName);
    if (value == values.end()) {
      return RegFileNotFound;
    }
    return CopyRegistryValue(value->second.Type, value->second.Data, type, data, size);
  }

  long CloseKey(HKey key) override {
    Log.push_back("close");
    return Open.erase(key) == 1 ? RegSuccess : RegInvalidHandle;
  }

  std::map<std::string, std::map<std::string, Value>> Keys;
  std::vector<std::string> Denied;
  std::map<HKey, std::string> Open;  // keys not closed yet
  std::vector<std::string> Log;

 private:
  HKey next_ = 100;
};

}  // namespace halvarin
