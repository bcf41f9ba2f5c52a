#pragma once
// The history file beside the settings file, and its bytes. Window-free.
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

#include "tracker/History.h"
#include "tracker/TrackerId.h"

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
