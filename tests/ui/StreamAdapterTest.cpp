#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/Handles.h"
#include "ui/StreamAdapter.h"

namespace {
// Records what arrives, can be told to take less than it is given, and says when it goes.
class TSinkStream : public TMemoryStream {
public:
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

class TFailingStream : public TSizableStream {
public:
  size_t Read(void*, size_t) override { throw EStreamError(u"read"); }
  size_t Write(const void*, size_t) override { throw EStreamError(u"write"); }
  int64_t Seek(int64_t, TSeekOrigin) override { throw EStreamError(u"seek"); }
  int64_t Size() override { throw EStreamError(u"size"); }
  void SetSize(int64_t) override { throw EStreamError(u"size"); }
};

std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7);
  return v;
}

// An adapter owning a memory stream that holds bytes, positioned at the start.
TComPtr<IStream> AdapterOf(const std::vector<uint8_t>& bytes, TMemoryStream* stream = new TMemoryStream) {
  if (!bytes.empty()) stream->Write(bytes.data(), bytes.size());
  stream->SetPosition(0);
  return TComPtr<IStream>(new TStreamAdapter(stream, TStreamOwnership::Owned));
}

template <class T>
T Large(uint64_t v) {
  T u;
  u.QuadPart = static_cast<decltype(u.QuadPart)>(v);
  return u;
}
ULARGE_INTEGER U64(uint64_t v) { return Large<ULARGE_INTEGER>(v); }
LARGE_INTEGER I64(int64_t v) { return Large<LARGE_INTEGER>(static_cast<uint64_t>(v)); }
}  // namespace

TEST(StreamAdapterReadWrite, NullBuffersAreRefusedAndReadsStopAtTheEnd) {
  auto* stream = new TMemoryStream;
  TComPtr<IStream> adapter = AdapterOf(Bytes(100), stream);
  ULONG n = 77;
  EXPECT_EQ(adapter->Read(nullptr, 10, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(adapter->Write(nullptr, 3, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(n, 77u);
  EXPECT_EQ(stream->Position(), 0);
  stream->SetPosition(90);
  uint8_t buffer[100];
  EXPECT_EQ(adapter->Read(buffer, 100, &n), S_OK);
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(buffer[0], Bytes(100)[90]);
  EXPECT_EQ(adapter->Read(buffer, 100, &n), S_OK);  // at the end: nothing, still S_OK
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(adapter->Write("abc", 3, nullptr), S_OK);
  EXPECT_EQ(stream->Size(), 103);
  EXPECT_EQ(adapter->SetSize(U64(10)), S_OK);
  EXPECT_EQ(adapter->SetSize(U64(~0ull)), E_UNEXPECTED);
  EXPECT_EQ(stream->Size(), 10);
}

TEST(StreamAdapterSeek, OriginsAndPositions) {
  TComPtr<IStream> adapter = AdapterOf(Bytes(100));
  ULARGE_INTEGER pos{};
  EXPECT_EQ(adapter->Seek(I64(0), 3, &pos), STG_E_INVALIDFUNCTION);
  struct Row { int64_t move; DWORD origin; uint64_t position; };
  for (Row row : {Row{0, STREAM_SEEK_END, 100}, Row{-30, STREAM_SEEK_CUR, 70}, Row{5, STREAM_SEEK_SET, 5}}) {
    EXPECT_EQ(adapter->Seek(I64(row.move), row.origin, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, row.position);
  }
  // Before the start and far past any addressable size are the stream's failures.
  EXPECT_EQ(adapter->Seek(I64(-1), STREAM_SEEK_SET, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(adapter->Seek(I64(INT64_MAX), STREAM_SEEK_CUR, &pos), STG_E_INVALIDPOINTER);
}

TEST(StreamAdapterTable, FixedAnswersAndStat) {
  TComPtr<IStream> adapter = AdapterOf(Bytes(64));
  EXPECT_EQ(adapter->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(adapter->Revert(), STG_E_REVERTED);
  EXPECT_EQ(adapter->LockRegion(U64(0), U64(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(adapter->UnlockRegion(U64(0), U64(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  IStream* clone = reinterpret_cast<IStream*>(0x1234);
  EXPECT_EQ(adapter->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(clone, nullptr);
  EXPECT_EQ(adapter->Clone(nullptr), E_NOTIMPL);
  EXPECT_EQ(adapter->Stat(nullptr, STATFLAG_DEFAULT), S_OK);
  STATSTG stat;
  std::memset(&stat, 0xCC, sizeof(stat));
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_DEFAULT), S_OK);  // asks for a name, gets none to free
  EXPECT_EQ(stat.cbSize.QuadPart, 64u);
  EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(stat.grfLocksSupported, static_cast<DWORD>(LOCK_WRITE));
  EXPECT_EQ(stat.pwcsName, nullptr);
  EXPECT_EQ(stat.grfMode, 0u);
}

TEST(StreamAdapterFailures, StreamErrorsBecomeTheirCodes) {
  TComPtr<IStream> adapter(new TStreamAdapter(new TFailingStream, TStreamOwnership::Owned));
  uint8_t buffer[4];
  EXPECT_EQ(adapter->Read(buffer, 4, nullptr), S_FALSE);
  EXPECT_EQ(adapter->Write(buffer, 4, nullptr), STG_E_CANTSAVE);
  EXPECT_EQ(adapter->Seek(I64(0), STREAM_SEEK_SET, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(adapter->SetSize(U64(1)), E_UNEXPECTED);
  STATSTG stat;
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_NONAME), E_UNEXPECTED);
  TComPtr<IStream> sink = AdapterOf({});
  ULARGE_INTEGER read = U64(9), written = U64(9);
  EXPECT_EQ(adapter->CopyTo(sink.Get(), U64(10), &read, &written), E_UNEXPECTED);
  EXPECT_EQ(read.QuadPart + written.QuadPart, 0u);
}

TEST(StreamAdapterCopyTo, CopiesInOneMebibyteChunksUntilTheEnd) {
  const size_t size = 5 * 1024 * 1024 / 2;  // 2.5 MiB, asked for 3 MiB
  std::vector<uint8_t> bytes = Bytes(size);
  TComPtr<IStream> adapter = AdapterOf(bytes);
  auto* sink = new TSinkStream;
  TComPtr<IStream> target = AdapterOf({}, sink);
  ULARGE_INTEGER read{}, written{};
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(3 * 1024 * 1024), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, size);
  EXPECT_EQ(written.QuadPart, size);
  EXPECT_EQ(sink->Writes, (std::vector<uint32_t>{0x100000, 0x100000, 0x80000}));
  ASSERT_EQ(sink->Size(), static_cast<int64_t>(size));
  EXPECT_EQ(std::memcmp(sink->Memory(), bytes.data(), size), 0);
}

TEST(StreamAdapterCopyTo, EdgeCountsShortWritesAndNoTarget) {
  TComPtr<IStream> adapter = AdapterOf(Bytes(100));
  auto* sink = new TSinkStream;
  TComPtr<IStream> target = AdapterOf({}, sink);
  ULARGE_INTEGER read = U64(5), written = U64(5);
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(0), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 0u);
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(~0ull), &read, &written), S_OK);  // -1 as a signed count
  EXPECT_EQ(written.QuadPart, 0u);
  EXPECT_EQ(adapter->CopyTo(nullptr, U64(10), &read, &written), E_UNEXPECTED);
  sink->Short = true;
  EXPECT_EQ(adapter->CopyTo(target.Get(), U64(40), &read, &written), E_FAIL);
  EXPECT_EQ(read.QuadPart, 40u);
  EXPECT_EQ(written.QuadPart, 39u);
  EXPECT_EQ(sink->Writes.size(), 1u);
}

TEST(StreamAdapterLifetime, OwnershipDecidesWhetherTheStreamDies) {
  bool freed = false, kept = false;
  auto* adapter = new TStreamAdapter(new TSinkStream(&freed), TStreamOwnership::Owned);
  EXPECT_EQ(adapter->AddRef(), 2u);
  EXPECT_EQ(adapter->Release(), 1u);
  EXPECT_FALSE(freed);
  EXPECT_EQ(adapter->Release(), 0u);
  EXPECT_TRUE(freed);
  TSinkStream referenced(&kept);
  (new TStreamAdapter(&referenced, TStreamOwnership::Reference))->Release();
  EXPECT_FALSE(kept);
}

TEST(StreamAdapterInterfaces, AnswersIStreamAndItsBasesOnly) {
  TComPtr<IStream> adapter = AdapterOf(Bytes(1));
  for (REFIID iid : {IID_IUnknown, IID_IStream, IID_ISequentialStream}) {
    void* p = nullptr;
    EXPECT_EQ(adapter->QueryInterface(iid, &p), S_OK);
    EXPECT_EQ(p, static_cast<IStream*>(adapter.Get()));
    static_cast<IUnknown*>(p)->Release();
  }
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(adapter->QueryInterface(IID_IDispatch, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(adapter->QueryInterface(IID_IStream, nullptr), E_POINTER);
}
