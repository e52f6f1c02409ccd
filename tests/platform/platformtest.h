// Helpers shared by the platform tests: exact-message exception checks and a scratch folder.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/regional.h"

// Expects statement to throw type with exactly message.
#define EXPECT_THROW_MSG(statement, type, message)            \
  do {                                                        \
    try {                                                     \
      statement;                                              \
      ADD_FAILURE() << "no exception from " #statement;       \
    } catch (const type& e) {                                 \
      EXPECT_EQ(std::string(e.what()), std::string(message)); \
    } catch (const std::exception& e) {                       \
      ADD_FAILURE() << "wrong exception: " << e.what();       \
    }                                                         \
  } while (0)

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
