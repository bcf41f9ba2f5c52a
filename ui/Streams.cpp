#include "ui/Streams.h"

#include <cstring>

namespace {
const WideChar kExpandError[] = u"Out of memory while expanding memory stream";
const WideChar kPositionError[] = u"Invalid stream position";
}  // namespace

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (count == 0 || FPosition >= Size()) return 0;
  uint64_t available = static_cast<uint64_t>(Size() - FPosition);
  size_t n = available < count ? static_cast<size_t>(available) : count;
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += static_cast<int64_t>(n);
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (static_cast<uint64_t>(count) > static_cast<uint64_t>(MaxSize - FPosition)) throw EStreamError(kExpandError);
  int64_t end = FPosition + static_cast<int64_t>(count);
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? FPosition : Size();
  // Checked before adding so that a hostile 64-bit offset cannot overflow.
  if ((offset < 0 && offset < -base) || (offset > 0 && offset > MaxSize - base)) throw EStreamError(kPositionError);
  FPosition = base + offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > MaxSize) throw EStreamError(kExpandError);
  FData.resize(static_cast<size_t>(size));
  if (FPosition > size) FPosition = size;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}
