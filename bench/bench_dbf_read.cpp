// Reads every record of a 1,000,000-record table and decodes every field through the table
// file layer, side by side with a plain loop that reads the same records with one pread each.
//   bench_dbf_read [TABLE.dbf] [--records N]
// Without a table one is generated (the layout of bench/make_big_table.py, 58-byte records).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dbf/dbffile.h"
#include "dbf/fieldcodec.h"

namespace {

using Clock = std::chrono::steady_clock;

void Generate(const std::string& path, long count) {
  struct Field {
    const char* name;
    char type;
    int length, decimals;
  };
  const Field fields[] = {{"NAME", 'C', 20, 0},   {"CITY", 'C', 15, 0}, {"AGE", 'N', 3, 0},
                          {"SALARY", 'N', 10, 2}, {"BORN", 'D', 8, 0},  {"ACTIVE", 'L', 1, 0}};
  const int recordSize = 58, headerSize = 32 + 32 * 6 + 1;
  std::string out(32, '\0');
  out[0] = 0x03;
  out[1] = 126;
  out[2] = 12;
  out[3] = 9;
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(count >> (8 * i));
  out[8] = static_cast<char>(headerSize & 0xFF);
  out[9] = static_cast<char>(headerSize >> 8);
  out[10] = recordSize;
  for (const Field& f : fields) {
    std::string d(32, '\0');
    d.replace(0, std::strlen(f.name), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    out += d;
  }
  out += '\r';
  std::mt19937 rng(20261209);
  const char* cities[] = {"Paris", "London", "Berlin", "Madrid", "Rome", "Vienna", "Oslo"};
  const char* names[] = {"Anna Smith", "Boris Ivanov", "Clara Muller", "David Rossi"};
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  char record[80];
  for (long i = 0; i < count; ++i) {
    std::snprintf(record, sizeof record, "%c%-20s%-15s%3lu%10.2f%04lu%02lu%02lu%c",
                  i % 50 == 49 ? '*' : ' ', names[rng() % 4], cities[rng() % 7], 18 + rng() % 82,
                  (100000 + rng() % 99899999) / 100.0, 1950 + rng() % 55, 1 + rng() % 12,
                  1 + rng() % 28, rng() % 10 < 7 ? 'T' : 'F');
    file.write(record, recordSize);
  }
  file.put('\x1A');
}

// One pread per record, touching every byte so that nothing is optimised away.
double PlainLoop(const std::string& path, long& checksum) {
  int fd = ::open(path.c_str(), O_RDONLY);
  unsigned char header[32];
  if (fd < 0 || ::pread(fd, header, 32, 0) != 32) return -1;
  const int headerSize = header[8] | header[9] << 8, recordSize = header[10] | header[11] << 8;
  const long count = header[4] | header[5] << 8 | header[6] << 16 | (long)header[7] << 24;
  std::vector<unsigned char> buffer(recordSize);
  auto start = Clock::now();
  long sum = 0;
  for (long i = 0; i < count; ++i) {
    if (::pread(fd, buffer.data(), recordSize, headerSize + i * (off_t)recordSize) != recordSize) {
      break;
    }
    for (unsigned char c : buffer) sum += c;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  checksum = sum;
  return seconds;
}

// Every record through the table file layer, every field decoded to its native value.
double TavloLoop(const std::string& path, bool useView, long& checksum) {
  using namespace tavlo;
  auto* file = new TDbfFile(path, OpenMode::ReadOnly);
  TFieldDefs defs;
  file->LoadFieldList(defs);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(file->RecordSize()));
  const std::int64_t count = file->HeaderRecordCount();
  char text[256];
  long sum = 0;
  auto start = Clock::now();
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* record = useView ? file->RecordView(i) : nullptr;
    if (record == nullptr) {
      file->ReadRecord(i, buffer.data());
      record = buffer.data();
    }
    sum += record[0];
    for (int f = 0; f < file->FieldCount(); ++f) {
      const TFieldType type = file->FieldInfo(f).type;
      switch (type) {
        case TFieldType::ftSmallint: {
          std::int16_t v = 0;
          if (file->DecodeField(f, type, &v, record)) sum += v;
          break;
        }
        case TFieldType::ftInteger: {
          std::int32_t v = 0;
          if (file->DecodeField(f, type, &v, record)) sum += v;
          break;
        }
        case TFieldType::ftFloat: {
          double v = 0;
          if (file->DecodeField(f, type, &v, record)) sum += static_cast<long>(v);
          break;
        }
        case TFieldType::ftBoolean: {
          std::int16_t v = 0;
          if (file->DecodeField(f, type, &v, record)) sum += v;
          break;
        }
        case TFieldType::ftDate: {
          std::int32_t v = 0;
          if (file->DecodeField(f, type, &v, record)) sum += v;
          break;
        }
        default:
          if (file->DecodeField(f, type, text, record)) sum += text[0];
          break;
      }
    }
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  TPagedFile::Release(file);
  checksum = sum;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  long records = 1000000;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--records" && i + 1 < argc) {
      records = std::stol(argv[++i]);
    } else {
      path = arg;
    }
  }
  if (path.empty()) {
    path = "/tmp/tavlo_bench_dbf_read.dbf";
    Generate(path, records);
  }
  double plain = 1e9, view = 1e9, read = 1e9;
  long plainSum = 0, viewSum = 0, readSum = 0;
  for (int round = 0; round < 3; ++round) {  // best of three, after the first warms the cache
    plain = std::min(plain, PlainLoop(path, plainSum));
    view = std::min(view, TavloLoop(path, true, viewSum));
    read = std::min(read, TavloLoop(path, false, readSum));
  }
  if (viewSum != readSum) std::fprintf(stderr, "checksums differ: %ld %ld\n", viewSum, readSum);
  tavlo::TDbfFile probe(path, tavlo::OpenMode::ReadOnly);
  const double count = static_cast<double>(probe.HeaderRecordCount());
  std::printf("records: %.0f (%d bytes each)\n", count, probe.RecordSize());
  std::printf("plain pread loop, no decoding:       %8.3f s  %12.0f records/s\n", plain,
              count / plain);
  std::printf("tavlo, mapped view, every field:     %8.3f s  %12.0f records/s  ratio %.2f\n", view,
              count / view, view / plain);
  std::printf("tavlo, one read each, every field:   %8.3f s  %12.0f records/s  ratio %.2f\n", read,
              count / read, read / plain);
  return 0;
}
