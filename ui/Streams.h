#pragma once
#include <cstdint>
#include <vector>

#include "text/WStreams.h"

// A stream whose size can be set, as IStream asks of what it presents.
class TSizableStream : public TStream {
public:
  virtual void SetSize(int64_t size) = 0;
};

// Growable byte buffer with a position; positions past the end read nothing
// and a write there fills the gap with zeros.
class TMemoryStream : public TSizableStream {
public:
  // Keeps the buffer addressable with signed 32-bit offsets on every build.
  static constexpr int64_t MaxSize = 0x7FFFFFFF;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  const uint8_t* Memory() const { return FData.data(); }
  void Clear();

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};
