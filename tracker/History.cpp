#include "tracker/History.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <utility>

#include "text/WFold.h"
#include "text/WStreams.h"

namespace {

// Times a clock can give, with room to spare (to the year 4147): no sum of a
// time and a window overflows, and every minute fits the file's 32 bits.
constexpr int64_t kTimeBound = int64_t(1) << 36;
constexpr size_t kChunk = 64 * 1024;  // the file goes through a buffer this long

int64_t MinuteOf(int64_t time) { return time / 60 - (time % 60 < 0 ? 1 : 0); }

bool InTime(int64_t time) { return time > -kTimeBound && time < kTimeBound; }

// libstdc++ holds a deque in blocks of 512 bytes, one even when empty, and a
// map of block pointers (at least eight, grown by doubling); every heap block
// also costs the allocator a header.
template <typename T>
size_t DequeBytes(const std::deque<T>& items) {
  constexpr size_t perBlock = sizeof(T) < 512 ? 512 / sizeof(T) : 1;
  constexpr size_t header = 2 * sizeof(void*);
  const size_t blocks = (items.size() + perBlock - 1) / perBlock + 1;  // a part-filled block at each end
  const size_t mapSlots = std::max<size_t>(8, 2 * blocks + 2);
  return blocks * (perBlock * sizeof(T) + header) + mapSlots * sizeof(void*) + header;
}

// Strictly increasing start times, all within span seconds; each count a count or a gap.
template <typename T, typename Start>
bool InOrder(const std::deque<T>& items, Start start, int64_t span) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (!InTime(start(items[i])) || items[i].Count < HISTORY_GAP) return false;
    if (i > 0 && start(items[i]) <= start(items[i - 1])) return false;
  }
  return items.empty() || start(items.back()) - start(items.front()) < span;
}

bool Storable(const WideString& id) { return !id.empty() && id.size() <= TRACKER_ID_MAX_LENGTH; }

using TSink = std::function<void(const char*, size_t)>;

// The file's numbers, little-endian whatever the machine, handed to the sink
// a buffer at a time with the checksum of everything handed so far.
class TWriter {
public:
  explicit TWriter(const TSink& sink) : FSink(sink), FBuffer(new char[kChunk]), FAt(FBuffer.get()) {}
  void Raw(const void* bytes, size_t n) {
    Room(n);
    std::memcpy(FAt, bytes, n);
    FAt += n;
  }
  void U16(uint16_t v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    Raw(b, 2);
  }
  void U32(uint32_t v) {
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> 8 * i);
    Raw(b, 4);
  }
  void I64(int64_t v) {
    unsigned char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(static_cast<uint64_t>(v) >> 8 * i);
    Raw(b, 8);
  }
  // The checksum goes last, outside what it sums.
  void Finish() {
    Hand();
    const uint32_t sum = FSum;
    U32(sum);
    FSink(FBuffer.get(), 4);
  }

private:
  void Room(size_t n) {
    if (static_cast<size_t>(FBuffer.get() + kChunk - FAt) < n) Hand();
  }
  void Hand() {
    const size_t n = static_cast<size_t>(FAt - FBuffer.get());
    FSum = HistoryChecksum(FBuffer.get(), n, FSum);
    FSink(FBuffer.get(), n);
    FAt = FBuffer.get();
  }
  const TSink& FSink;
  std::unique_ptr<char[]> FBuffer;
  char* FAt;
  uint32_t FSum = 0;
};

// Reads a file's body (all but its checksum) from memory, or from a stream a
// buffer at a time, summing it as it passes. Callers ask Has before they
// take: every length is checked against the bytes left.
class TReader {
public:
  TReader(const char* body, uint64_t size)
      : FAt(body), FEnd(body + size), FSum(HistoryChecksum(body, static_cast<size_t>(size))) {}
  TReader(TStream& stream, uint64_t size)
      : FStream(&stream), FBuffer(new char[kChunk]), FAt(FBuffer.get()), FEnd(FAt), FUnread(size) {}
  bool Has(uint64_t n) const { return n <= Left(); }
  bool Done() const { return Left() == 0; }
  uint32_t Sum() const { return FSum; }
  uint16_t U16() {
    const unsigned char* b = Take(2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
  }
  uint32_t U32() {
    const unsigned char* b = Take(4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  int64_t I64() {
    const uint64_t low = U32();
    return static_cast<int64_t>(low | static_cast<uint64_t>(U32()) << 32);
  }
  // A length field: false past its bound or past the bytes left for items of itemBytes.
  bool Count(uint32_t& n, size_t bound, size_t itemBytes) {
    if (!Has(4)) return false;
    n = U32();
    return n <= bound && Has(uint64_t(n) * itemBytes);
  }

private:
  uint64_t Left() const { return static_cast<uint64_t>(FEnd - FAt) + FUnread; }
  const unsigned char* Take(size_t n) {
    if (static_cast<size_t>(FEnd - FAt) < n) Refill();
    const auto* b = reinterpret_cast<const unsigned char*>(FAt);
    FAt += n;
    return b;
  }
  // Only a stream's reader gets here: in memory the body is all there.
  void Refill() {
    const size_t kept = static_cast<size_t>(FEnd - FAt);
    std::memmove(FBuffer.get(), FAt, kept);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(FUnread, kChunk - kept));
    FStream->ReadBuffer(FBuffer.get() + kept, n);
    FSum = HistoryChecksum(FBuffer.get() + kept, n, FSum);
    FUnread -= n;
    FAt = FBuffer.get();
    FEnd = FAt + kept + n;
  }
  TStream* FStream = nullptr;
  std::unique_ptr<char[]> FBuffer;
  const char* FAt;
  const char* FEnd;
  uint64_t FUnread = 0;
  uint32_t FSum = 0;
};

constexpr uint32_t MagicValue() {
  return uint32_t(uint8_t(HISTORY_MAGIC[0])) | uint32_t(uint8_t(HISTORY_MAGIC[1])) << 8 |
         uint32_t(uint8_t(HISTORY_MAGIC[2])) << 16 | uint32_t(uint8_t(HISTORY_MAGIC[3])) << 24;
}

using TReadEntries = std::vector<std::pair<WideString, TTrackerHistory>>;

// The body after the checksum was taken off; the caller compares in.Sum() with it.
bool ReadBody(TReader& in, TReadEntries& entries) {
  uint32_t trackers = 0;
  if (!in.Has(8) || in.U32() != MagicValue() || in.U32() != HISTORY_VERSION ||
      !in.Count(trackers, HISTORY_MAX_TRACKERS, 0))
    return false;
  for (uint32_t t = 0; t < trackers; ++t) {
    uint32_t units = 0;
    if (!in.Count(units, TRACKER_ID_MAX_LENGTH, 2) || units == 0) return false;
    WideString id(units, u'\0');
    for (WideChar& c : id) c = in.U16();
    std::deque<THistorySample> recent;
    std::deque<THistoryMinute> minutes;
    uint32_t n = 0;
    if (!in.Count(n, HISTORY_MAX_RECENT, HISTORY_SAMPLE_BYTES)) return false;
    for (uint32_t i = 0; i < n; ++i) {
      const int64_t time = in.I64();
      recent.push_back(THistorySample{time, static_cast<int32_t>(in.U32())});
    }
    if (!in.Count(n, HISTORY_DAY_MINUTES, HISTORY_MINUTE_BYTES)) return false;
    for (uint32_t i = 0; i < n; ++i) {
      const int32_t minute = static_cast<int32_t>(in.U32());
      minutes.push_back(THistoryMinute{minute, static_cast<int32_t>(in.U32())});
    }
    entries.emplace_back(std::move(id), TTrackerHistory());
    if (!entries.back().second.Assign(std::move(recent), std::move(minutes))) return false;
  }
  return in.Done();
}

void Row(std::string& out, int64_t time, int32_t count) {
  // Days to the civil date (proleptic Gregorian), as in Howard Hinnant's
  // date algorithms: gmtime is not thread-safe and refuses times before 1970 on Windows.
  const int64_t days = time / 86400 - (time % 86400 < 0 ? 1 : 0);
  const int64_t secondOfDay = time - days * 86400;
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%04lld-%02d-%02dT%02d:%02d:%02dZ,", static_cast<long long>(year),
                              int(month), int(day), int(secondOfDay / 3600), int(secondOfDay / 60 % 60),
                              int(secondOfDay % 60));
  out.append(line, static_cast<size_t>(n));
  if (count != HISTORY_GAP) out += std::to_string(count);
  out += "\r\n";
}

}  // namespace

void TTrackerHistory::Add(int64_t time, int32_t count) {
  if (!InTime(time) || !InTime(MinuteOf(time) * 60)) return;  // no clock says that
  if (count < 0) count = HISTORY_GAP;
  const int64_t minute = MinuteOf(time);
  // A clock that went back drops what it wrote later; a second poll in the
  // same second replaces the first.
  while (!FRecent.empty() && FRecent.back().Time >= time) FRecent.pop_back();
  while (!FMinutes.empty() && FMinutes.back().Minute > minute) FMinutes.pop_back();
  FRecent.push_back(THistorySample{time, count});
  // A gap is -1, below every count: the highest is the minute's value, and a
  // gap only when every poll of it failed.
  if (!FMinutes.empty() && FMinutes.back().Minute == minute)
    FMinutes.back().Count = std::max(FMinutes.back().Count, count);
  else
    FMinutes.push_back(THistoryMinute{minute, count});
  Expire(time);
}

void TTrackerHistory::Expire(int64_t now) {
  const int64_t lowest = std::numeric_limits<int64_t>::min();
  const int64_t oldTime = now < lowest + HISTORY_RECENT_SECONDS ? lowest : now - HISTORY_RECENT_SECONDS;
  while (!FRecent.empty() && (FRecent.front().Time <= oldTime || FRecent.size() > HISTORY_MAX_RECENT))
    FRecent.pop_front();
  const int64_t oldMinute = MinuteOf(now) - HISTORY_DAY_MINUTES;
  while (!FMinutes.empty() && FMinutes.front().Minute <= oldMinute) FMinutes.pop_front();
}

size_t TTrackerHistory::Bytes() const { return DequeBytes(FRecent) + DequeBytes(FMinutes); }

bool TTrackerHistory::Assign(std::deque<THistorySample> recent, std::deque<THistoryMinute> minutes) {
  if (recent.size() > HISTORY_MAX_RECENT || minutes.size() > size_t(HISTORY_DAY_MINUTES) ||
      !InOrder(recent, [](const THistorySample& s) { return s.Time; }, HISTORY_RECENT_SECONDS) ||
      !InOrder(minutes, [](const THistoryMinute& m) { return m.Minute * 60; }, HISTORY_DAY_MINUTES * 60))
    return false;
  FRecent = std::move(recent);
  FMinutes = std::move(minutes);
  return true;
}

void THistoryBook::Add(const WideString& id, int64_t time, int32_t count) {
  if (!Storable(id)) return;  // the settings file refuses such an ID too
  const WideString key = FoldName(id);
  std::lock_guard<std::mutex> hold(FLock);
  auto it = FEntries.find(key);
  if (it == FEntries.end()) {
    if (FEntries.size() >= HISTORY_MAX_TRACKERS) return;
    it = FEntries.emplace(key, TEntry{id, TTrackerHistory()}).first;
  }
  it->second.Id = id;
  it->second.History.Add(time, count);
  ++FChange;
}

TTrackerHistory THistoryBook::Snapshot(const WideString& id) const {
  const WideString key = FoldName(id);
  std::lock_guard<std::mutex> hold(FLock);
  const auto it = FEntries.find(key);
  return it == FEntries.end() ? TTrackerHistory() : it->second.History;
}

// A tracker ID is unique in the program, so a history found under the new ID
// belongs to no live tracker: the renamed tracker's own replaces it.
void THistoryBook::Rename(const WideString& from, const WideString& to) {
  const WideString fromKey = FoldName(from), toKey = FoldName(to);
  std::lock_guard<std::mutex> hold(FLock);
  const auto it = FEntries.find(fromKey);
  if (fromKey == toKey) {
    if (it != FEntries.end() && it->second.Id != to) {
      it->second.Id = to;
      ++FChange;
    }
    return;
  }
  bool changed = FEntries.erase(toKey) > 0;
  if (it != FEntries.end()) {
    auto node = FEntries.extract(it);
    node.key() = toKey;
    node.mapped().Id = to;
    FEntries.insert(std::move(node));
    changed = true;
  }
  if (changed) ++FChange;
}

void THistoryBook::Forget(const WideString& id) {
  const WideString key = FoldName(id);
  std::lock_guard<std::mutex> hold(FLock);
  if (FEntries.erase(key)) ++FChange;
}

void THistoryBook::Retain(const std::vector<WideString>& ids) {
  std::vector<WideString> keep;
  for (const WideString& id : ids) keep.push_back(FoldName(id));
  std::sort(keep.begin(), keep.end());
  std::lock_guard<std::mutex> hold(FLock);
  for (auto it = FEntries.begin(); it != FEntries.end();) {
    if (std::binary_search(keep.begin(), keep.end(), it->first)) {
      ++it;
    } else {
      it = FEntries.erase(it);
      ++FChange;
    }
  }
}

bool THistoryBook::Dirty() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FChange != FSaved;
}

void THistoryBook::MarkSaved() {
  std::lock_guard<std::mutex> hold(FLock);
  FSaved = FChange;
}

void THistoryBook::MarkSaved(uint64_t change) {
  std::lock_guard<std::mutex> hold(FLock);
  if (change > FSaved && change <= FChange) FSaved = change;
}

size_t THistoryBook::Trackers() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FEntries.size();
}

// Empty as after a start without a file: nothing to write.
void THistoryBook::Clear() {
  std::map<WideString, TEntry> gone;
  std::lock_guard<std::mutex> hold(FLock);
  FEntries.swap(gone);
  FSaved = ++FChange;
}

std::string THistoryBook::Serialize() const { return Serialize(nullptr); }

std::string THistoryBook::Serialize(uint64_t* change) const {
  std::string bytes;
  const TSink append = [&](const char* data, size_t n) { bytes.append(data, n); };
  Write(append, change);
  return bytes;
}

void THistoryBook::Serialize(TStream& out, uint64_t* change) const {
  Write([&](const char* data, size_t n) { out.WriteBuffer(data, n); }, change);
}

// Copied under the lock and written outside it: every widget adds a sample
// on each poll and must not wait on a slow disk.
void THistoryBook::Write(const std::function<void(const char*, size_t)>& sink, uint64_t* change) const {
  std::unique_lock<std::mutex> hold(FLock);
  const std::map<WideString, TEntry> entries = FEntries;
  const uint64_t copied = FChange;
  hold.unlock();
  uint32_t trackers = 0;
  for (const auto& [key, e] : entries) trackers += Storable(e.Id);  // only a rename gives one the file cannot hold
  TWriter out(sink);
  out.Raw(HISTORY_MAGIC, 4);
  out.U32(HISTORY_VERSION);
  out.U32(trackers);
  for (const auto& [key, e] : entries) {
    if (!Storable(e.Id)) continue;
    out.U32(static_cast<uint32_t>(e.Id.size()));
    for (WideChar c : e.Id) out.U16(c);
    out.U32(static_cast<uint32_t>(e.History.Recent().size()));
    for (const THistorySample& s : e.History.Recent()) {
      out.I64(s.Time);
      out.U32(static_cast<uint32_t>(s.Count));
    }
    out.U32(static_cast<uint32_t>(e.History.Minutes().size()));
    for (const THistoryMinute& m : e.History.Minutes()) {
      out.U32(static_cast<uint32_t>(static_cast<int32_t>(m.Minute)));  // Add and Assign keep it in range
      out.U32(static_cast<uint32_t>(m.Count));
    }
  }
  out.Finish();
  if (change) *change = copied;
}

// Bytes in memory take the file's own path, so that one reader and one
// checksum check serve both.
bool THistoryBook::Deserialize(const std::string& bytes) {
  TBytesStream in(bytes);
  return Deserialize(in, static_cast<int64_t>(bytes.size()));
}

bool THistoryBook::Deserialize(TStream& in, int64_t size) {
  if (size < 4 || static_cast<uint64_t>(size) > HISTORY_MAX_FILE_BYTES) return Replace(false, {});
  TReadEntries read;
  TReader body(in, static_cast<uint64_t>(size) - 4);
  bool ok = ReadBody(body, read);
  char tail[4];
  if (ok) in.ReadBuffer(tail, 4);
  ok = ok && TReader(tail, 4).U32() == body.Sum();
  return Replace(ok, std::move(read));
}

bool THistoryBook::Replace(bool ok, std::vector<std::pair<WideString, TTrackerHistory>> read) {
  std::map<WideString, TEntry> entries;
  for (size_t i = 0; ok && i < read.size(); ++i) {  // no two IDs alike
    WideString key = FoldName(read[i].first);        // before the ID moves
    ok = entries.emplace(std::move(key), TEntry{std::move(read[i].first), std::move(read[i].second)}).second;
  }
  if (!ok) entries.clear();
  std::lock_guard<std::mutex> hold(FLock);
  FEntries.swap(entries);
  FSaved = ++FChange;
  return ok;
}

std::string HistoryCsv(const TTrackerHistory& history) {
  const auto& recent = history.Recent();
  std::string out = "time,visitors\r\n";
  for (const THistoryMinute& m : history.Minutes()) {
    if (!recent.empty() && m.Minute * 60 >= recent.front().Time) break;
    Row(out, m.Minute * 60, m.Count);
  }
  for (const THistorySample& s : recent) Row(out, s.Time, s.Count);
  return out;
}

// ---- the history file
namespace {

// Four tables (slicing by four): a day's history of every tracker is megabytes,
// and the save on exit should not wait on a byte-at-a-time loop.
struct TCrcTables {
  std::array<std::array<uint32_t, 256>, 4> T{};
  constexpr TCrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      T[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (size_t t = 1; t < 4; ++t) T[t][i] = (T[t - 1][i] >> 8) ^ T[0][T[t - 1][i] & 0xFF];
  }
};
constexpr TCrcTables kCrc;

// The size of a file, or -1 when it cannot be opened.
int64_t SizeOf(const WideString& fileName) {
  try {
    TFileStream in(fileName, TFileMode::OpenRead);
    return in.Size();
  } catch (const EStreamError&) {
    return -1;
  }
}

// Reads the file a buffer at a time; one longer than any history file is not
// read. A file the system would not open or read raises the stream's error:
// only bytes read can say that it is not ours.
bool ReadHistory(const WideString& fileName, THistoryBook& book) {
  TFileStream in(fileName, TFileMode::OpenRead);
  const int64_t size = in.Size();
  return size >= 0 && static_cast<uint64_t>(size) <= HISTORY_MAX_FILE_BYTES && book.Deserialize(in, size);
}

bool IsWholeHistory(const std::string& bytes) {
  THistoryBook scratch;
  return scratch.Deserialize(bytes);
}

// Renamed rather than copied, as the settings file is: byte for byte, and the
// name is free for the next save. False with the system's reason in error.
bool KeepAside(const WideString& fileName, const WideString& stamp, WideString* keptFile, WideString* error) {
  const WideString base = fileName + HISTORY_UNREADABLE_SUFFIX + stamp;
  int code = 0;
  for (int32_t n = 1; n < 100; ++n) {
    const WideString kept = n == 1 ? base : base + WideFormat(u"-%d", {n});
    if (WideRenameFile(fileName, kept)) {
      if (keptFile) *keptFile = kept;
      return true;
    }
    code = LastSysError();
    if (ProbeFile(kept) == TFileState::Missing) break;  // the file itself would not move
  }
  if (error) *error = SysErrorMessage(code);
  return false;
}

}  // namespace

uint32_t HistoryChecksum(const char* data, size_t size, uint32_t previous) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  uint32_t c = previous ^ 0xFFFFFFFFu;
  for (; size >= 4; size -= 4, p += 4) {
    c ^= uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    c = kCrc.T[3][c & 0xFF] ^ kCrc.T[2][(c >> 8) & 0xFF] ^ kCrc.T[1][(c >> 16) & 0xFF] ^ kCrc.T[0][c >> 24];
  }
  for (; size > 0; --size, ++p) c = kCrc.T[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Only a file that is not there starts a new history. One the system would
// not show or let us read, or one not ours that cannot be moved aside, may
// hold a day of history: the caller writes nothing over it this run.
THistoryLoadState LoadHistoryFile(const WideString& fileName, THistoryBook& book, const WideString& stamp,
                                  WideString* keptFile, WideString* error) {
  book.Clear();
  if (keptFile) keptFile->clear();
  if (error) error->clear();
  WideString why;
  try {
    // A leftover too long to be a history file is not read; the next save overwrites it.
    const int64_t leftover = SizeOf(TAtomicFileStream::TempName(fileName));
    if (leftover >= 0 && static_cast<uint64_t>(leftover) <= HISTORY_MAX_FILE_BYTES)
      TAtomicFileStream::RecoverLeftover(fileName, IsWholeHistory);
    switch (ProbeFile(fileName, &why)) {
      case TFileState::Missing: return THistoryLoadState::None;
      case TFileState::Unknown: break;
      case TFileState::Present:
        if (ReadHistory(fileName, book)) return THistoryLoadState::Read;  // or empty
        if (KeepAside(fileName, stamp, keptFile, &why)) return THistoryLoadState::KeptAside;
        if (error) *error = why;
        return THistoryLoadState::NotKept;
    }
  } catch (const Exception& e) {
    why = e.Message();
  } catch (const std::exception& e) {
    why = WideFromUtf8(e.what());
  }
  book.Clear();
  if (error) *error = why;
  return THistoryLoadState::Blocked;
}

bool SaveHistoryFile(const WideString& fileName, THistoryBook& book, WideString* error) {
  uint64_t change = 0;
  try {
    TAtomicFileStream out(fileName);
    book.Serialize(out, &change);
    out.Commit();
  } catch (const Exception& e) {
    if (error) *error = e.Message();
    return false;
  } catch (const std::exception& e) {
    if (error) *error = WideFromUtf8(e.what());
    return false;
  }
  book.MarkSaved(change);
  if (error) error->clear();
  return true;
}
