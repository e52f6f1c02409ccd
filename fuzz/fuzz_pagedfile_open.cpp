// libFuzzer target: arbitrary bytes as a paged record file in a private temporary folder,
// opened and read whole: every record of the set (plain and for update), chains read from
// page numbers the input names, and the free-page search; then records are updated, deleted
// and appended over whatever the chains hold, and read again. Half of the inputs get a valid
// first page for the target's user in front, so that the fuzzer reaches the record chains;
// the other half are the whole file. Only crashes, leaks, hangs and undefined behaviour
// count; EqelPageError and the other engine errors are expected.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzzsupport.h"
#include "pagedfile/pagedfile.h"
#include "text/qelstrings.h"

namespace {

const char kUser[] = "fuzzer";
const char kPassword[] = "secret";
constexpr int kPageSize = 64;

// The first page of a file made for kUser, read once.
const std::string& ValidFirstPage(const std::string& folder) {
  static const std::string page = [&] {
    const std::string path = folder + "/first.pgf";
    tavlo::TqelPagedFile file;
    file.Create(path, kPageSize, kUser, kPassword);
    std::string bytes = tavlo::LoadFileToString(path).substr(0, kPageSize);
    tavlo::fuzz::JailFiles::DeleteAll(folder);
    return bytes;
  }();
  return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles folder;
  if (size == 0) return 0;
  const std::string path = folder.Folder() + "/t.pgf";
  std::string image(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) image.insert(0, ValidFirstPage(folder.Folder()));
  tavlo::SaveStringToFile(path, image);

  {
    tavlo::TqelPagedFile file;
    try {
      file.Open(path, kUser, kPassword);
      for (bool forUpdate : {false, true}) {
        file.Select("", forUpdate);
        for (int i = 0; i < file.Count(); ++i) file.Get(i);
      }
      // Chains that start anywhere, as a damaged record set might name them.
      for (std::size_t at = 1; at + 4 <= size && at < 64; at += 4) {
        std::uint32_t page = 0;
        std::memcpy(&page, data + at, 4);
        try {
          file.ReadRecord(page % (image.size() + kPageSize + 1));
        } catch (const tavlo::Exception&) {
        }
      }
      file.NextFreePage(0);
      // Writes over damaged chains: a longer text for the first record, the last one
      // deleted, a new record appended; then everything is read again.
      if (file.Count() > 0) {
        file.Update(0, image.substr(0, 150));
        file.Delete(file.Count() - 1);
      }
      file.Append("appended record");
      file.Select("", false);
      for (int i = 0; i < file.Count(); ++i) file.Get(i);
      file.Close();
    } catch (const tavlo::Exception&) {
    }
  }
  folder.Clear();
  return 0;
}
