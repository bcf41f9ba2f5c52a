#include "ui/Streams.h"

#include <cstring>

uint32_t TMemoryStream::Read(void* buffer, uint32_t count) {
  if (count == 0 || FPosition >= Size()) return 0;
  int64_t available = Size() - FPosition;
  uint32_t n = available < count ? static_cast<uint32_t>(available) : count;
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += n;
  return n;
}

uint32_t TMemoryStream::Write(const void* buffer, uint32_t count) {
  if (count == 0) return 0;
  int64_t end = FPosition + count;
  if (end > MaxSize) throw EStreamError(u"Out of memory while expanding memory stream");
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? FPosition : Size();
  // Checked before adding so that a hostile 64-bit offset cannot overflow.
  if ((offset < 0 && offset < -base) || (offset > 0 && offset > MaxSize - base))
    throw EStreamError(u"Invalid stream position");
  FPosition = base + offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > MaxSize) throw EStreamError(u"Out of memory while expanding memory stream");
  FData.resize(static_cast<size_t>(size));
  if (FPosition > size) FPosition = size;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}
