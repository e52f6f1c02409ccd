// Helpers shared by the platform tests: exact-message exception checks and a scratch folder.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport.h"

#include "platform/regional.h"

namespace tavlo::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tavlo-platform-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = getenv(name);
    saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->present) {
        setenv(it->name.c_str(), it->value.c_str(), 1);
      } else {
        unsetenv(it->name.c_str());
      }
    }
  }

 private:
  struct Saved {
    std::string name;
    bool present;
    std::string value;
  };
  std::vector<Saved> saved_;
};

// Settings of a German-style desktop: comma decimals, day.month.year.
inline RegionalSettings CommaSettings() {
  RegionalSettings s;
  s.decimalSeparator = ',';
  s.thousandSeparator = '.';
  s.dateSeparator = '.';
  s.shortDateFormat = "dd.mm.yyyy";
  return s;
}

}  // namespace tavlo::testing
