// A tracker's history: what its two series keep as polls come, the book's IDs,
// the export's rows, and the file that a start reads back or keeps aside.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "tests/support/TextTestUtil.h"
#include "tracker/History.h"

using namespace testutil;

namespace {
constexpr int64_t T0 = 1796729640;  // 2026-12-08T11:34:00Z
constexpr int32_t GAP = HISTORY_GAP;
using Pairs = std::vector<std::pair<int64_t, int32_t>>;  // seconds or minutes after T0, count

TTrackerHistory Polled(const Pairs& polls) {
  TTrackerHistory h;
  for (const auto& [at, count] : polls) h.Add(T0 + at, count);
  return h;
}
Pairs Recent(const TTrackerHistory& h) {
  Pairs p;
  for (const THistorySample& s : h.Recent()) p.emplace_back(s.Time - T0, s.Count);
  return p;
}
Pairs Minutes(const TTrackerHistory& h) {
  Pairs p;
  for (const THistoryMinute& m : h.Minutes()) p.emplace_back(m.Minute - T0 / 60, m.Count);
  return p;
}

std::string Patched(std::string bytes, size_t at, uint32_t value, bool seal = true) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> 8 * i);
  return seal ? Patched(bytes, bytes.size() - 4, HistoryChecksum(bytes.data(), bytes.size() - 4), false) : bytes;
}
// A history file whose first write waits until a poll on another thread has
// added its sample to the book being written, or five seconds have passed.
class TPolledWhileWritten : public TStream {
public:
  explicit TPolledWhileWritten(THistoryBook& book) : FBook(book) {}
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void* buffer, size_t count) override {
    if (!FPoll.valid()) {
      FPoll = std::async(std::launch::async, [this] { FBook.Add(u"b", T0, 2); });
      PollAdded = FPoll.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    }
    Bytes.append(static_cast<const char*>(buffer), count);
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(Bytes.size()); }
  std::string Bytes;
  bool PollAdded = false;

private:
  THistoryBook& FBook;
  std::future<void> FPoll;  // ends once the book is free: after the write, at worst
};
}  // namespace

TEST(History, KeepsGapsEachMinutesHighestAndItsWindows) {
  const struct {
    const char* Name;
    Pairs Polls, Recent, Minutes;
  } cases[] = {
      {"a failed poll is a gap; a minute holds its highest count, a gap only when every poll failed",
       {{0, 5}, {20, -7}, {40, 3}, {60, -1}, {80, -1}, {120, 9}},
       {{0, 5}, {20, GAP}, {40, 3}, {60, GAP}, {80, GAP}, {120, 9}}, {{0, 5}, {1, GAP}, {2, 9}}},
      {"a sample an hour old goes", {{0, 1}, {1, 2}, {3600, 3}}, {{1, 2}, {3600, 3}}, {{0, 2}, {60, 3}}},
      {"a minute a day old goes", {{0, 1}, {60, 2}, {1440 * 60, 3}}, {{1440 * 60, 3}}, {{1, 2}, {1440, 3}}},
      {"a clock gone back drops what lies ahead; a poll in the same second replaces",
       {{0, 1}, {100, 2}, {200, 3}, {150, 4}, {150, 5}}, {{0, 1}, {100, 2}, {150, 5}}, {{0, 1}, {1, 2}, {2, 5}}},
  };
  for (const auto& c : cases) {
    const TTrackerHistory h = Polled(c.Polls);
    EXPECT_EQ(Recent(h), c.Recent) << c.Name;
    EXPECT_EQ(Minutes(h), c.Minutes) << c.Name;
  }
  TTrackerHistory h;
  EXPECT_FALSE(h.Assign({{T0, 1}, {T0, 2}}, {})) << "times strictly increase";
  EXPECT_FALSE(h.Assign({}, {{T0 / 60, -2}})) << "a count or a gap";
  EXPECT_FALSE(h.Assign({{T0, 1}, {T0 + 3600, 2}}, {})) << "an hour";
}

TEST(History, TheBookFoldsCaseRenamesForgetsAndIsBounded) {
  THistoryBook book;
  book.Add(u"Site", T0, 1);
  book.Add(u"b", T0, 7);
  book.MarkSaved();
  book.Forget(u"unknown");
  book.Rename(u"unknown", u"other");
  EXPECT_FALSE(book.Dirty()) << "nothing changed";
  book.Rename(u"site", u"B");
  EXPECT_TRUE(book.Dirty());
  EXPECT_EQ(book.Trackers(), 1u) << "the renamed tracker's history replaces the one under its new ID";
  EXPECT_EQ(Recent(book.Snapshot(u"b")), (Pairs{{0, 1}})) << "Site's, case ignored";
  uint64_t change = 0;
  book.Serialize(&change);
  book.Add(u"b", T0 + 15, 2);
  book.MarkSaved(change);
  EXPECT_TRUE(book.Dirty()) << "a poll during the write is not saved by it";
  book.Forget(u"B");
  EXPECT_EQ(book.Trackers(), 0u);
  for (int i = 0; i < 201; ++i) book.Add(WideFormat(u"t%d", {i}), T0, i);
  EXPECT_EQ(book.Trackers(), HISTORY_MAX_TRACKERS);
  book.Retain({u"T7", u"gone"});
  EXPECT_EQ(Recent(book.Snapshot(u"t7")), (Pairs{{0, 7}}));
  EXPECT_EQ(book.Trackers(), 1u);
}

TEST(History, CsvHasTheDaysMinutesBeforeTheHourAsPolled) {
  EXPECT_EQ(HistoryCsv(Polled({{0, 100}, {30, -1}, {60, -1}, {3660, 132}, {3675, -1}})),
            "time,visitors\r\n2026-12-08T11:34:00Z,100\r\n2026-12-08T11:35:00Z,\r\n"
            "2026-12-08T12:35:00Z,132\r\n2026-12-08T12:35:15Z,\r\n");
  const std::pair<int64_t, const char*> dates[] = {{0, "1970-01-01T00:00:00Z"}, {-1, "1969-12-31T23:59:59Z"},
      {951868799, "2000-02-29T23:59:59Z"}, {4107542400, "2100-03-01T00:00:00Z"}};
  for (const auto& [time, text] : dates) {
    TTrackerHistory h;
    h.Assign({{time, 1}}, {});
    EXPECT_EQ(HistoryCsv(h), "time,visitors\r\n" + std::string(text) + ",1\r\n");
  }
}

TEST(History, FileRoundTripsAndAnythingButAWholeFileIsKeptAside) {
  EXPECT_EQ(HistoryChecksum("123456789", 9), 0xCBF43926u) << "zlib's CRC-32";
  TempDir dir;
  const WideString name = dir.Name(u"history.dat");
  THistoryBook book, loaded, small;
  WideString kept, error;
  auto load = [&] { return LoadHistoryFile(name, loaded, u"20261207-113000", &kept); };
  EXPECT_EQ(load(), THistoryLoadState::None);
  // Past the reader's buffer, so that items straddle its refills.
  for (int64_t t = 0; t < 86400; t += 15)
    for (int i = 0; i < 30; ++i) book.Add(WideFormat(u"t%d", {i}), T0 + t, static_cast<int32_t>(t % 1000) - 1);
  EXPECT_FALSE(SaveHistoryFile(dir.Name(u"no/history.dat"), book, &error) || error.empty() || !book.Dirty());
  ASSERT_TRUE(SaveHistoryFile(name, book, &error));
  EXPECT_FALSE(book.Dirty());
  ASSERT_EQ(load(), THistoryLoadState::Read);
  EXPECT_EQ(loaded.Serialize(), book.Serialize());
  EXPECT_FALSE(loaded.Dirty());
  fs::rename(dir.File(u"history.dat"), fs::path(TAtomicFileStream::TempName(name)));
  EXPECT_EQ(load(), THistoryLoadState::Read) << "a crash's leftover";
  EXPECT_EQ(loaded.Trackers(), 30u);

  small.Add(u"a", T0, 5);
  small.Add(u"a", T0 + 15, -1);
  small.Add(u"b", T0, 7);
  const std::string valid = small.Serialize();
  // Every length field is checked against the bytes left: no prefix reads.
  for (size_t n = 0; n < valid.size(); ++n) EXPECT_FALSE(loaded.Deserialize(valid.substr(0, n))) << n;
  // "a": recent count at 18, second sample's time at 34; "b"'s ID unit at 62. The
  // series' own rules are Assign's, above.
  const std::pair<const char*, std::string> unreadable[] = {
      {"another version", Patched(valid, 4, 2)},
      {"junk before the checksum", Patched(valid + "xxxx", valid.size(), 0)},
      {"a bad checksum", Patched(valid, valid.size() - 4, 0, false)},
      {"201 trackers", Patched(valid, 8, 201)},
      {"a hostile length", Patched(valid, 18, 0xFFFFFFFF)},
      {"times out of order", Patched(valid, 34, static_cast<uint32_t>(T0))},
      {"two IDs alike but for case", Patched(valid, 60, uint32_t('A') << 16)},
      {"too large", std::string(HISTORY_MAX_FILE_BYTES + 1, '\0')},
  };
  int n = 0;
  for (const auto& [what, bytes] : unreadable) {
    WriteBytes(dir.File(u"history.dat"), bytes);
    ASSERT_EQ(load(), THistoryLoadState::KeptAside) << what;
    EXPECT_EQ(kept, name + u".unreadable-20261207-113000" + (n++ ? WideFormat(u"-%d", {n}) : u"")) << what;
    EXPECT_EQ(ReadBytes(fs::path(kept)), bytes) << what;
    EXPECT_FALSE(WideFileExists(name)) << what;
    EXPECT_EQ(loaded.Trackers(), 0u) << what;
  }
}

// Only a file that is not there starts a new history. One the system will not
// let the program read, or a damaged one that cannot be moved aside, stays as
// it is, and the reason comes with it.
TEST(History, AFileThatCannotBeReadOrMovedAsideIsLeftAsItIs) {
  TempDir dir;
  const WideString name = dir.Name(u"history.dat");
  THistoryBook loaded;
  WideString kept, error;
  auto load = [&] {
    loaded.Add(u"left", T0, 1);
    return LoadHistoryFile(name, loaded, u"20261207-113000", &kept, &error);
  };
  fs::create_directory(dir.File(u"history.dat"));
  EXPECT_EQ(load(), THistoryLoadState::Blocked) << "a folder in its place";
  EXPECT_TRUE(fs::is_directory(dir.File(u"history.dat")));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(loaded.Trackers(), 0u);
  fs::remove(dir.File(u"history.dat"));
#ifndef _WIN32
  fs::create_symlink(dir.File(u"history.dat"), dir.File(u"history.dat"));
  EXPECT_EQ(load(), THistoryLoadState::Blocked) << "a name the system will not look up";
  EXPECT_TRUE(fs::is_symlink(dir.File(u"history.dat")));
  fs::remove(dir.File(u"history.dat"));
#endif
  // Damaged, with every name it could be kept under taken.
  WriteBytes(dir.File(u"history.dat"), "not a history file");
  for (int n = 1; n < 100; ++n)
    WriteBytes(fs::path(name + u".unreadable-20261207-113000" + (n > 1 ? WideFormat(u"-%d", {n}) : u"")), "");
  error.clear();
  EXPECT_EQ(load(), THistoryLoadState::NotKept);
  EXPECT_EQ(ReadBytes(dir.File(u"history.dat")), "not a history file");
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(kept.empty());
  EXPECT_EQ(loaded.Trackers(), 0u);
}

// Every widget adds a sample on each poll: a save in progress holds none of
// them up, and a sample added meanwhile waits for the next save.
TEST(History, APollIsNotHeldUpByASaveInProgress) {
  THistoryBook book;
  book.Add(u"a", T0, 1);
  TPolledWhileWritten file(book);
  uint64_t change = 0;
  book.Serialize(file, &change);
  EXPECT_TRUE(file.PollAdded) << "the poll waited for the write";
  book.MarkSaved(change);
  EXPECT_TRUE(book.Dirty());
  THistoryBook written;
  ASSERT_TRUE(written.Deserialize(file.Bytes));
  EXPECT_EQ(written.Trackers(), 1u);
  EXPECT_EQ(book.Trackers(), 2u);
}
