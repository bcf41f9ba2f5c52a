// Reads arbitrary bytes as a history file, as they are and with their last
// four bytes made the checksum of the rest (so that mutations reach past it).
// Properties: a refused file leaves the book empty; a read one is not dirty,
// and the bytes it writes read back and write the same bytes again; a poll
// added to it (at times and with a count taken from the bytes before the
// checksum) keeps every series as the reader demands.
#include <cstdint>
#include <cstring>
#include <string>

#include "tests/support/FuzzCheck.h"
#include "tracker/History.h"

namespace {
void Read(const std::string& bytes) {
  THistoryBook book;
  if (!book.Deserialize(bytes)) {
    Check(book.Trackers() == 0, "a refused file leaves the book empty");
    return;
  }
  Check(!book.Dirty(), "a book just read has nothing to write");
  const std::string once = book.Serialize();
  THistoryBook again;
  Check(again.Deserialize(once), "written bytes read back");
  Check(again.Serialize() == once, "and write the same bytes");

  int64_t key = 0;
  int32_t count = 0;
  std::memcpy(&key, bytes.data() + bytes.size() - 16, sizeof key);
  std::memcpy(&count, bytes.data() + bytes.size() - 8, sizeof count);
  again.Add(u"Fuzz", key, count);  // a time, or a minute taken for one: far back
  if (key > -(int64_t(1) << 50) && key < int64_t(1) << 50) again.Add(u"Fuzz", key * 60 + 7, count);
  THistoryBook polled;
  Check(polled.Deserialize(again.Serialize()), "a poll keeps the series in order");
  HistoryCsv(polled.Snapshot(u"fuzz"));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  Read(bytes);
  if (size < 4) return 0;
  const uint32_t sum = HistoryChecksum(bytes.data(), size - 4);
  for (size_t i = 0; i < 4; ++i) bytes[size - 4 + i] = static_cast<char>(sum >> 8 * i);
  Read(bytes);
  return 0;
}
