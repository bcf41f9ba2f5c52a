#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/Handles.h"
#include "ui/StreamAdapter.h"

namespace {
// Counts its writes, can take one byte less than it is given, and says when it goes.
struct TSinkStream : TMemoryStream {
  explicit TSinkStream(bool* freed) : Freed(freed) {}
  ~TSinkStream() override { *Freed = true; }
  size_t Write(const void* buffer, size_t count) override {
    ++Writes;
    return TMemoryStream::Write(buffer, Short && count > 1 ? count - 1 : count);
  }
  bool* Freed;
  uint64_t Writes = 0;
  bool Short = false;
};

// An adapter owning stream, which holds the bytes 0, 1, ... n - 1 and is positioned at the start.
TComPtr<IStream> AdapterOf(size_t n, TMemoryStream* stream) {
  for (uint8_t i = 0; i < n; ++i) stream->Write(&i, 1);
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
  EXPECT_EQ(n, 77u);
  struct Row { int64_t move; DWORD origin; HRESULT result; int64_t position; };
  for (Row row : {Row{0, 3, STG_E_INVALIDFUNCTION, 0}, Row{0, STREAM_SEEK_END, S_OK, 100},
                  Row{-10, STREAM_SEEK_CUR, S_OK, 90}, Row{-1, STREAM_SEEK_SET, STG_E_INVALIDPOINTER, 90},
                  Row{INT64_MAX, STREAM_SEEK_CUR, STG_E_INVALIDPOINTER, 90}}) {
    ULARGE_INTEGER pos = U64(row.position);
    EXPECT_EQ(adapter->Seek(I64(row.move), row.origin, &pos), row.result) << row.move << " from " << row.origin;
    EXPECT_EQ((std::vector<int64_t>{stream->Position(), static_cast<int64_t>(pos.QuadPart)}),
              (std::vector<int64_t>{row.position, row.position})) << row.move << " from " << row.origin;
  }
  uint8_t buffer[100];
  EXPECT_EQ(adapter->Read(buffer, 100, &n), S_OK);  // 10 bytes before the end
  EXPECT_EQ((std::vector<int>{int(n), buffer[0]}), (std::vector<int>{10, 90}));
  EXPECT_EQ(adapter->Read(buffer, 100, &n), S_OK);
  EXPECT_EQ(n, 0u);
  STATSTG stat;
  std::memset(&stat, 0xCC, sizeof(stat));
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_DEFAULT), S_OK);  // asks for a name, gets none to free
  EXPECT_EQ(stat.pwcsName, nullptr);
}

// The target adapter owns its sink, which goes with the last reference.
TEST(StreamAdapter, CopyToStopsAtTheEndOrAShortWrite) {
  auto* source = new TMemoryStream;
  TComPtr<IStream> adapter = AdapterOf(100, source);
  bool freed = false;
  auto* sink = new TSinkStream(&freed);
  TComPtr<IStream> target = AdapterOf(0, sink);
  ULARGE_INTEGER read{}, written{};
  struct Row { uint64_t count; bool shortWrite; HRESULT result; std::vector<uint64_t> readWrittenCalls; };
  for (const Row& row : {Row{300, false, S_OK, {100, 100, 1}}, Row{~0ull, false, S_OK, {0, 0, 0}},  // -1 as a signed count
                         Row{40, true, E_FAIL, {40, 39, 1}}}) {
    source->SetPosition(0);
    sink->Writes = 0;
    sink->Short = row.shortWrite;
    EXPECT_EQ(adapter->CopyTo(target.Get(), U64(row.count), &read, &written), row.result) << row.count;
    EXPECT_EQ((std::vector<uint64_t>{read.QuadPart, written.QuadPart, sink->Writes}), row.readWrittenCalls) << row.count;
  }
  EXPECT_EQ(std::memcmp(sink->Memory(), source->Memory(), 100), 0);
  EXPECT_EQ(adapter->CopyTo(nullptr, U64(10), &read, &written), E_UNEXPECTED);
  target.Reset();
  EXPECT_TRUE(freed);
}
