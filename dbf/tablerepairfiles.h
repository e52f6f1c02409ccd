// The files of a repaired copy: their names, the rejects list, and writing them so that a
// repair either leaves all of them or none.
#pragma once

#include <cstdint>
#include <string>

namespace tavlo {

// The values a repair could not keep, as CSV: one row per value with the record number, the
// field, the stored bytes as text (control bytes as '?') and exactly (in hex), and why.
class TRejects {
 public:
  void Add(const std::string& record, const std::string& field, const std::string& bytes,
           const std::string& problem);
  std::int64_t Count() const { return count_; }
  // The header row and every row added, with CR LF line ends.
  const std::string& Text();

 private:
  std::string rows_;
  std::string text_;
  std::int64_t count_ = 0;
};

// NAME.dbf, NAME.dbt and NAME.rejects.csv of a copy named outputPath. A name without an
// extension gets ".dbf"; another extension than ".dbf" (in any case) is refused, since the
// memo file would take the name of the copy or the other way round.
struct TRepairFiles {
  std::string data, memo, rejects;

  explicit TRepairFiles(const std::string& outputPath);
  // EDatabaseError when something of that name is there (a file, a folder, anything).
  static void RefuseExisting(const std::string& path);
  // Writes the memo file and the rejects (each when given), then the data file, refusing
  // any that exists first. When one fails, those already made (and a part of the failed one)
  // are removed again and the error is raised: a retry finds none of them.
  void Write(const std::string& dataBytes, const std::string* memoBytes,
             const std::string* rejectsText) const;
};

}  // namespace tavlo
