#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/Handles.h"
#include "ui/StreamAdapter.h"

namespace {
// Records the writes it gets, can take one byte less than it is given, and says when it goes.
struct TSinkStream : TMemoryStream {
  explicit TSinkStream(bool* freed = nullptr) : Freed(freed) {}
  ~TSinkStream() override {
    if (Freed) *Freed = true;
  }
  size_t Write(const void* buffer, size_t count) override {
    Writes.push_back(static_cast<uint32_t>(count));
    return TMemoryStream::Write(buffer, Short && count > 1 ? count - 1 : count);
  }
  bool* Freed;
  std::vector<uint32_t> Writes;
  bool Short = false;
};

struct TFailingStream : TSizableStream {
  size_t Read(void*, size_t) override { throw EStreamError(u"read"); }
  size_t Write(const void*, size_t) override { throw EStreamError(u"write"); }
  int64_t Seek(int64_t, TSeekOrigin) override { throw EStreamError(u"seek"); }
  void SetSize(int64_t) override { throw EStreamError(u"size"); }
};

// An adapter owning stream, which holds the bytes 0, 1, ... n - 1 and is positioned at the start.
TComPtr<IStream> AdapterOf(size_t n, TMemoryStream* stream = new TMemoryStream) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i);
  if (n) stream->Write(bytes.data(), n);
  stream->SetPosition(0);
  return TComPtr<IStream>(new TStreamAdapter(stream, TStreamOwnership::Owned));
}

ULARGE_INTEGER U64(uint64_t v) { return ULARGE_INTEGER{{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}}; }
LARGE_INTEGER I64(int64_t v) { return LARGE_INTEGER{{static_cast<DWORD>(v), static_cast<LONG>(v >> 32)}}; }
}  // namespace

TEST(StreamAdapter, ReadsAndSeeksStayInsideTheStream) {
  auto* stream = new TMemoryStream;
  TComPtr<IStream> adapter = AdapterOf(100, stream);
  ULONG n = 77;
  EXPECT_EQ(adapter->Read(nullptr, 10, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(adapter->Write(nullptr, 3, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(n, 77u);
  struct Row { int64_t move; DWORD origin; HRESULT result; int64_t position; };
  for (Row row : {Row{0, 3, STG_E_INVALIDFUNCTION, 0}, Row{0, STREAM_SEEK_END, S_OK, 100},
                  Row{-10, STREAM_SEEK_CUR, S_OK, 90}, Row{-1, STREAM_SEEK_SET, STG_E_INVALIDPOINTER, 90},
                  Row{INT64_MAX, STREAM_SEEK_CUR, STG_E_INVALIDPOINTER, 90}}) {
    ULARGE_INTEGER pos = U64(12345);
    EXPECT_EQ(adapter->Seek(I64(row.move), row.origin, &pos), row.result) << row.move << " from " << row.origin;
    if (row.result == S_OK) {
      EXPECT_EQ(pos.QuadPart, static_cast<uint64_t>(row.position));
    }
    EXPECT_EQ(stream->Position(), row.position);
  }
  uint8_t buffer[100];
  EXPECT_EQ(adapter->Read(buffer, 100, &n), S_OK);  // 10 bytes before the end
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(buffer[0], 90);
  EXPECT_EQ(adapter->Read(buffer, 100, &n), S_OK);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(adapter->SetSize(U64(10)), S_OK);
  EXPECT_EQ(adapter->SetSize(U64(~0ull)), E_UNEXPECTED);
  STATSTG stat;
  std::memset(&stat, 0xCC, sizeof(stat));
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_DEFAULT), S_OK);  // asks for a name, gets none to free
  EXPECT_EQ(stat.pwcsName, nullptr);
}

// Nothing a failing stream throws may unwind through COM: every call answers a failure code.
TEST(StreamAdapter, StreamFailuresStayInsideTheAdapter) {
  TComPtr<IStream> adapter(new TStreamAdapter(new TFailingStream, TStreamOwnership::Owned));
  uint8_t buffer[4];
  STATSTG stat;
  ULARGE_INTEGER read = U64(9);
  for (HRESULT result : {adapter->Read(buffer, 4, nullptr), adapter->Write(buffer, 4, nullptr),
                         adapter->Seek(I64(0), STREAM_SEEK_SET, nullptr), adapter->SetSize(U64(1)),
                         adapter->Stat(&stat, STATFLAG_NONAME), adapter->CopyTo(adapter.Get(), U64(10), &read, nullptr)})
    EXPECT_NE(result, S_OK);
  EXPECT_EQ(read.QuadPart, 0u);
}

// The target adapter owns its sink, which goes with the last reference.
TEST(StreamAdapter, CopyToMovesMebibyteChunksAndStopsAtTheEndOrAShortWrite) {
  const size_t size = 5 * 1024 * 1024 / 2;  // 2.5 MiB, asked for 3 MiB
  auto* source = new TMemoryStream;
  source->Write(std::vector<uint8_t>(size, 0x5A).data(), size);
  source->SetPosition(0);
  TComPtr<IStream> adapter(new TStreamAdapter(source, TStreamOwnership::Owned));
  bool freed = false, kept = false;
  auto* sink = new TSinkStream(&freed);
  TComPtr<IStream> target = AdapterOf(0, sink);
  ULARGE_INTEGER read{}, written{};
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(3 * 1024 * 1024), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, size);
  EXPECT_EQ(written.QuadPart, size);
  EXPECT_EQ(sink->Writes, (std::vector<uint32_t>{0x100000, 0x100000, 0x80000}));
  EXPECT_EQ(std::memcmp(sink->Memory(), source->Memory(), size), 0);

  source->SetPosition(0);
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(~0ull), &read, &written), S_OK);  // -1 as a signed count
  EXPECT_EQ(read.QuadPart + written.QuadPart, 0u);
  EXPECT_EQ(adapter->CopyTo(nullptr, U64(10), &read, &written), E_UNEXPECTED);
  sink->Writes.clear();
  sink->Short = true;
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(40), &read, &written), E_FAIL);
  EXPECT_EQ((std::vector<uint64_t>{read.QuadPart, written.QuadPart, sink->Writes.size()}),
            (std::vector<uint64_t>{40, 39, 1}));
  target.Reset();
  EXPECT_TRUE(freed);
  TSinkStream referenced(&kept);
  (new TStreamAdapter(&referenced, TStreamOwnership::Reference))->Release();
  EXPECT_FALSE(kept);
}
