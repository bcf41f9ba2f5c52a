#pragma once
// How each tracker's count moved: the last hour as polled and the last day as
// the highest count of each minute. Window-free: the widgets add samples on
// their own threads, the manager writes the book to the history file, and the
// graph and the export read snapshots. The history file, beside the settings
// file, holds the book.
//
// All numbers little-endian, sizes in bytes:
//   4  magic "ORVH"
//   4  version (uint32, 1)
//   4  tracker count (uint32, at most HISTORY_MAX_TRACKERS)
//   per tracker:
//     4  ID length in UTF-16 code units (uint32, 1 to TRACKER_ID_MAX_LENGTH)
//     2n the ID's code units
//     4  recent sample count (uint32, at most HISTORY_MAX_RECENT)
//     12 each sample: time (int64 UTC seconds), count (int32, HISTORY_GAP for a failed poll)
//     4  minute count (uint32, at most HISTORY_DAY_MINUTES)
//     8  each minute: minute (int32, time / 60), count (int32)
//   4  CRC-32 (IEEE 802.3, as zlib's crc32) of every byte before it
// Nothing follows the checksum. IDs differ also when case is ignored; each
// series is in strictly increasing time order.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WideTypes.h"
#include "tracker/TrackerId.h"

class TStream;

constexpr int64_t HISTORY_RECENT_SECONDS = 60 * 60;  // kept as polled
constexpr int64_t HISTORY_DAY_MINUTES = 24 * 60;     // kept as one value a minute
// Bounds a file or a burst of refreshes cannot pass: a poll a second for the
// hour, and as many trackers as the program lists.
constexpr size_t HISTORY_MAX_RECENT = 3600;
constexpr size_t HISTORY_MAX_TRACKERS = 200;
constexpr int32_t HISTORY_GAP = -1;  // a failed poll, shown as a break in the line

// Times are UTC seconds since 1970 (the wall clock: the file outlives a run).
struct THistorySample {
  int64_t Time;
  int32_t Count;  // HISTORY_GAP for a failed poll
};

struct THistoryMinute {
  int64_t Minute;  // Time / 60
  int32_t Count;   // the highest count polled that minute; HISTORY_GAP when every poll failed
};

class TTrackerHistory {
public:
  // One poll. A clock that went back drops what now lies in the future, so
  // both series stay in time order; anything older than its window goes.
  void Add(int64_t time, int32_t count);
  // Drops what lies outside the windows ending at now (a clock moved forward).
  void Expire(int64_t now);
  const std::deque<THistorySample>& Recent() const { return FRecent; }
  const std::deque<THistoryMinute>& Minutes() const { return FMinutes; }
  bool Empty() const { return FRecent.empty() && FMinutes.empty(); }
  // Memory held, for the benchmarks.
  size_t Bytes() const;

  // The file's reader rebuilds a history from its series; false when they are
  // out of order or past their bounds.
  bool Assign(std::deque<THistorySample> recent, std::deque<THistoryMinute> minutes);

private:
  std::deque<THistorySample> FRecent;
  std::deque<THistoryMinute> FMinutes;
};

// Every tracker's history by ID (case ignored, as IDs are). Any thread: each
// call holds the book's lock only for its own work.
class THistoryBook {
public:
  void Add(const WideString& id, int64_t time, int32_t count);
  // A copy; empty for an ID the book does not know.
  TTrackerHistory Snapshot(const WideString& id) const;
  // A renamed tracker keeps its own history; a removed one takes it along.
  void Rename(const WideString& from, const WideString& to);
  void Forget(const WideString& id);
  // Every history but those of ids (case ignored) goes: trackers the settings
  // no longer list.
  void Retain(const std::vector<WideString>& ids);
  // Changed since the last MarkSaved: the writer skips a write that adds nothing.
  bool Dirty() const;
  void MarkSaved();
  size_t Trackers() const;
  void Clear();

  // The file's bytes (see the format above).
  std::string Serialize() const;
  // The same, with the change they hold in change, for MarkSaved(change): a
  // sample added while the file is being written keeps the book dirty.
  std::string Serialize(uint64_t* change) const;
  void MarkSaved(uint64_t change);
  // Replaces the book with what bytes hold; false (and the book left empty)
  // when they are not a whole history file of this version.
  bool Deserialize(const std::string& bytes);
  // The same a piece at a time, for the file: no copy of a whole file in
  // memory. Deserialize reads size bytes from the stream's position, false as
  // above; both raise the stream's errors (the book then as it was).
  void Serialize(TStream& out, uint64_t* change) const;
  bool Deserialize(TStream& in, int64_t size);

private:
  struct TEntry {
    WideString Id;  // as last given, for the file
    TTrackerHistory History;
  };
  void Write(const std::function<void(const char*, size_t)>& sink, uint64_t* change) const;
  // The book becomes read when ok (and its IDs differ), empty otherwise; not dirty either way.
  bool Replace(bool ok, std::vector<std::pair<WideString, TTrackerHistory>> read);
  mutable std::mutex FLock;
  std::map<WideString, TEntry> FEntries;  // by folded ID
  uint64_t FChange = 0;  // counts the book's changes
  uint64_t FSaved = 0;   // the change the file last got
};

// The CSV a spreadsheet opens: "time,visitors", then the day's minutes before
// the recent hour and the hour as polled, oldest first, in ISO 8601 UTC
// ("2026-12-08T12:34:56Z"); a gap has an empty count.
std::string HistoryCsv(const TTrackerHistory& history);

// ---- the history file

constexpr const WideChar HISTORY_FILE_NAME[] = u"history.dat";  // beside the settings file
// A history file that could not be read is kept under its own name and this,
// followed by the stamp, as the settings file is ("…unreadable-20261207-113000").
constexpr const WideChar HISTORY_UNREADABLE_SUFFIX[] = u".unreadable-";

constexpr char HISTORY_MAGIC[4] = {'O', 'R', 'V', 'H'};
constexpr uint32_t HISTORY_VERSION = 1;
constexpr size_t HISTORY_SAMPLE_BYTES = 12;
constexpr size_t HISTORY_MINUTE_BYTES = 8;
// The largest file the format allows: anything longer is refused unread.
constexpr size_t HISTORY_MAX_FILE_BYTES =
    12 + HISTORY_MAX_TRACKERS * (4 + 2 * TRACKER_ID_MAX_LENGTH + 4 + HISTORY_MAX_RECENT * HISTORY_SAMPLE_BYTES + 4 +
                                 HISTORY_DAY_MINUTES * HISTORY_MINUTE_BYTES) + 4;

// zlib's crc32(previous, data, size): 0 to start, the last result to go on.
uint32_t HistoryChecksum(const char* data, size_t size, uint32_t previous = 0);

enum class THistoryLoadState {
  Read,       // the file, read in full
  None,       // no file: the book starts empty
  KeptAside,  // not a whole history file of this version: kept as keptFile, the book starts empty
  Blocked,    // the system would not let us read the file: nothing may be written over it this run
  NotKept,    // not a whole history file, and it could not be kept aside: likewise
};

// Reads fileName into book; never throws. A file that is not a whole history
// file of this version is renamed to fileName + HISTORY_UNREADABLE_SUFFIX +
// stamp (then "-2", "-3"… when taken) and the book starts empty; keptFile gets
// the new name then. Blocked and NotKept leave the book empty and say why in error.
THistoryLoadState LoadHistoryFile(const WideString& fileName, THistoryBook& book, const WideString& stamp,
                                  WideString* keptFile, WideString* error = nullptr);
// All-or-nothing write; marks what it wrote saved. False with the reason in
// error when it could not be written (the old file stays).
bool SaveHistoryFile(const WideString& fileName, THistoryBook& book, WideString* error);
