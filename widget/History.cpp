#include "widget/History.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "text/WFold.h"
#include "widget/HistoryFile.h"

namespace {

// Times a clock can give, with room to spare: no sum of a time and a window
// overflows, and every minute's start is a time.
constexpr int64_t kTimeBound = int64_t(1) << 40;

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

// Strictly increasing keys below bound, all within span; each count a count or a gap.
template <typename T, typename Key>
bool InOrder(const std::deque<T>& items, Key key, int64_t bound, int64_t span) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (key(items[i]) <= -bound || key(items[i]) >= bound || items[i].Count < HISTORY_GAP) return false;
    if (i > 0 && key(items[i]) <= key(items[i - 1])) return false;
  }
  return items.empty() || key(items.back()) - key(items.front()) < span;
}

bool Storable(const WideString& id) { return !id.empty() && id.size() <= TRACKER_ID_MAX_LENGTH; }

// The file's numbers, little-endian whatever the machine.
class TWriter {
public:
  explicit TWriter(char* at) : FAt(at) {}
  void Raw(const void* bytes, size_t n) {
    std::memcpy(FAt, bytes, n);
    FAt += n;
  }
  void U16(uint16_t v) {
    *FAt++ = static_cast<char>(v);
    *FAt++ = static_cast<char>(v >> 8);
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void I64(int64_t v) {
    U32(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    U32(static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
  }
  char* At() const { return FAt; }

private:
  char* FAt;
};

// Reads only what Has allowed: every length is checked against what is left.
class TReader {
public:
  TReader(const char* at, const char* end) : FAt(at), FEnd(end) {}
  bool Has(uint64_t n) const { return n <= static_cast<uint64_t>(FEnd - FAt); }
  bool Done() const { return FAt == FEnd; }
  uint16_t U16() {
    const auto* b = reinterpret_cast<const unsigned char*>(FAt);
    FAt += 2;
    return static_cast<uint16_t>(b[0] | b[1] << 8);
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | static_cast<uint32_t>(U16()) << 16;
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
  bool Same(const char* bytes, size_t n) {
    if (!Has(n) || std::memcmp(FAt, bytes, n) != 0) return false;
    FAt += n;
    return true;
  }

private:
  const char* FAt;
  const char* FEnd;
};

template <typename T>
bool ReadSeries(TReader& in, size_t bound, std::deque<T>& items) {
  uint32_t n = 0;
  if (!in.Count(n, bound, HISTORY_ITEM_BYTES)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    const int64_t key = in.I64();
    items.push_back(T{key, static_cast<int32_t>(in.U32())});
  }
  return true;
}

using TReadEntries = std::vector<std::pair<WideString, TTrackerHistory>>;

bool ReadBook(const std::string& bytes, TReadEntries& entries) {
  if (bytes.size() < 16 || bytes.size() > HISTORY_MAX_FILE_BYTES) return false;
  const char* body = bytes.data();
  const char* end = body + bytes.size() - 4;
  TReader sum(end, end + 4);
  if (sum.U32() != HistoryChecksum(body, bytes.size() - 4)) return false;
  TReader in(body, end);
  uint32_t trackers = 0;
  if (!in.Same(HISTORY_MAGIC, 4) || in.U32() != HISTORY_VERSION || !in.Count(trackers, HISTORY_MAX_TRACKERS, 0))
    return false;
  for (uint32_t t = 0; t < trackers; ++t) {
    uint32_t units = 0;
    if (!in.Count(units, TRACKER_ID_MAX_LENGTH, 2) || units == 0) return false;
    WideString id(units, u'\0');
    for (WideChar& c : id) c = in.U16();
    std::deque<THistorySample> recent;
    std::deque<THistoryMinute> minutes;
    if (!ReadSeries(in, HISTORY_MAX_RECENT, recent) || !ReadSeries(in, HISTORY_DAY_MINUTES, minutes)) return false;
    entries.emplace_back(std::move(id), TTrackerHistory());
    if (!entries.back().second.Assign(std::move(recent), std::move(minutes))) return false;
  }
  return in.Done();
}

void Row(std::string& out, int64_t time, int32_t count) {
  // Days to the civil date (proleptic Gregorian), as in Howard Hinnant's
  // date algorithms: gmtime is not thread-safe and refuses times before 1970 on Windows.
  const int64_t days = time / 86400 - (time % 86400 < 0 ? 1 : 0);
  const int64_t second = time - days * 86400;
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
  int n = std::snprintf(line, sizeof line, "%04lld-%02d-%02dT%02d:%02d:%02dZ,", static_cast<long long>(year),
                        int(month), int(day), int(second / 3600), int(second / 60 % 60), int(second % 60));
  out.append(line, static_cast<size_t>(n));
  if (count != HISTORY_GAP) out += std::to_string(count);
  out += "\r\n";
}

}  // namespace

void TTrackerHistory::Add(int64_t time, int32_t count) {
  if (!InTime(time)) return;  // no clock says that
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
      !InOrder(recent, [](const THistorySample& s) { return s.Time; }, kTimeBound, HISTORY_RECENT_SECONDS) ||
      !InOrder(minutes, [](const THistoryMinute& m) { return m.Minute; }, kTimeBound / 60, HISTORY_DAY_MINUTES))
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
  std::lock_guard<std::mutex> hold(FLock);
  size_t size = 16;
  uint32_t trackers = 0;
  for (const auto& [key, e] : FEntries) {
    if (!Storable(e.Id)) continue;  // only a rename can give one; the file cannot hold it
    size += 12 + 2 * e.Id.size() + HISTORY_ITEM_BYTES * (e.History.Recent().size() + e.History.Minutes().size());
    ++trackers;
  }
  std::string bytes(size, '\0');
  TWriter out(&bytes[0]);
  out.Raw(HISTORY_MAGIC, 4);
  out.U32(HISTORY_VERSION);
  out.U32(trackers);
  for (const auto& [key, e] : FEntries) {
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
      out.I64(m.Minute);
      out.U32(static_cast<uint32_t>(m.Count));
    }
  }
  out.U32(HistoryChecksum(bytes.data(), size - 4));
  if (change) *change = FChange;
  return bytes;
}

bool THistoryBook::Deserialize(const std::string& bytes) {
  TReadEntries read;
  std::map<WideString, TEntry> entries;
  bool ok = ReadBook(bytes, read);
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
