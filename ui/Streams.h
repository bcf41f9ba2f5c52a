#pragma once
#include <cstdint>
#include <vector>

#include "text/WStrUtils.h"

enum class TSeekOrigin { Beginning = 0, Current = 1, End = 2 };

class EStreamError : public Exception {
public:
  using Exception::Exception;
};

// A seekable byte stream; the stream adapter presents one of these as IStream.
class TStream {
public:
  TStream() = default;
  virtual ~TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Both return the number of bytes moved; fewer than asked only at the end.
  virtual uint32_t Read(void* buffer, uint32_t count) = 0;
  virtual uint32_t Write(const void* buffer, uint32_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Beginning); }
};

// Growable byte buffer with a position; positions past the end read nothing
// and a write there fills the gap with zeros.
class TMemoryStream : public TStream {
public:
  // Keeps the buffer addressable with signed 32-bit offsets on every build.
  static constexpr int64_t MaxSize = 0x7FFFFFFF;

  uint32_t Read(void* buffer, uint32_t count) override;
  uint32_t Write(const void* buffer, uint32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() const override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  const uint8_t* Memory() const { return FData.data(); }
  void Clear();

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};
