#include "tracker/HistoryFile.h"

#include <array>

#include "text/WStreams.h"

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
