// Helpers every test executable shares: the exact-message exception check and a scratch
// folder that is removed with its contents.
#pragma once

#include <stdlib.h>

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

// Expects statement to throw type with exactly message; any other exception fails the test.
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

namespace tavlo::testsupport {

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavlo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace tavlo::testsupport
