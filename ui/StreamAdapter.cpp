#include "ui/StreamAdapter.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr int64_t kCopyBufferSize = 0x100000;  // CopyTo moves at most 1 MiB at a time
constexpr int64_t kMaxChunk = 0x7FFFFFFF;
}  // namespace

TStreamAdapter::TStreamAdapter(TSizableStream* stream, TStreamOwnership ownership)
    : FStream(stream), FOwnership(ownership) {}

TStreamAdapter::~TStreamAdapter() {
  if (FOwnership == TStreamOwnership::Owned) delete FStream;
}

HRESULT TStreamAdapter::QueryInterface(REFIID riid, void** ppvObject) {
  if (!ppvObject) return E_POINTER;
  // ISequentialStream is IStream's base, so COM identity requires answering it too.
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) || IsEqualIID(riid, IID_ISequentialStream)) {
    *ppvObject = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG TStreamAdapter::AddRef() { return ++FRefCount; }

ULONG TStreamAdapter::Release() {
  ULONG count = --FRefCount;
  if (count == 0) delete this;
  return count;
}

HRESULT TStreamAdapter::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (!pv) return STG_E_INVALIDPOINTER;
  try {
    ULONG n = static_cast<ULONG>(FStream->Read(pv, cb));
    if (pcbRead) *pcbRead = n;
    return S_OK;
  } catch (...) {
    return S_FALSE;
  }
}

HRESULT TStreamAdapter::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (!pv) return STG_E_INVALIDPOINTER;
  try {
    ULONG n = static_cast<ULONG>(FStream->Write(pv, cb));
    if (pcbWritten) *pcbWritten = n;
    return S_OK;
  } catch (...) {
    return STG_E_CANTSAVE;
  }
}

HRESULT TStreamAdapter::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
  if (dwOrigin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
  try {
    int64_t pos = FStream->Seek(dlibMove.QuadPart, static_cast<TSeekOrigin>(dwOrigin));
    if (plibNewPosition) plibNewPosition->QuadPart = static_cast<ULONGLONG>(pos);
    return S_OK;
  } catch (...) {
    return STG_E_INVALIDPOINTER;
  }
}

HRESULT TStreamAdapter::SetSize(ULARGE_INTEGER libNewSize) {
  try {
    // Sizes past the signed range cannot be honoured; the stream refuses them.
    int64_t wanted = libNewSize.QuadPart > static_cast<ULONGLONG>(INT64_MAX) ? -1
                                                                              : static_cast<int64_t>(libNewSize.QuadPart);
    FStream->SetSize(wanted);
    return FStream->Size() == wanted ? S_OK : E_FAIL;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT TStreamAdapter::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
  int64_t remaining = static_cast<int64_t>(cb.QuadPart);
  int64_t totalRead = 0;
  int64_t totalWritten = 0;
  HRESULT result = S_OK;
  try {
    if (remaining > 0 && !pstm) throw EStreamError(u"No target stream");
    std::vector<uint8_t> buffer(remaining <= 0 ? 0 : static_cast<size_t>(std::min(remaining, kCopyBufferSize)));
    const int64_t bufferSize = static_cast<int64_t>(buffer.size());
    bool done = false;
    while (remaining > 0 && !done) {
      int64_t chunk = std::min(remaining, kMaxChunk);
      while (chunk > 0) {
        ULONG r = static_cast<ULONG>(FStream->Read(buffer.data(), static_cast<size_t>(std::min(chunk, bufferSize))));
        if (r == 0) {
          done = true;
          break;
        }
        totalRead += r;
        ULONG w = 0;
        result = pstm->Write(buffer.data(), r, &w);
        totalWritten += w;
        if (result == S_OK && w != r) result = E_FAIL;
        if (result != S_OK) {
          done = true;
          break;
        }
        chunk -= r;
        remaining -= r;
      }
    }
  } catch (...) {
    result = E_UNEXPECTED;
  }
  if (pcbWritten) pcbWritten->QuadPart = static_cast<ULONGLONG>(totalWritten);
  if (pcbRead) pcbRead->QuadPart = static_cast<ULONGLONG>(totalRead);
  return result;
}

HRESULT TStreamAdapter::Commit(DWORD) { return S_OK; }

HRESULT TStreamAdapter::Revert() { return STG_E_REVERTED; }

HRESULT TStreamAdapter::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TStreamAdapter::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT TStreamAdapter::Stat(STATSTG* pstatstg, DWORD) {
  if (!pstatstg) return S_OK;
  try {
    // The name stays null whatever the flags ask, so the caller never frees one.
    std::memset(pstatstg, 0, sizeof(*pstatstg));
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = static_cast<ULONGLONG>(FStream->Size());
    pstatstg->grfLocksSupported = LOCK_WRITE;
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT TStreamAdapter::Clone(IStream** ppstm) {
  if (ppstm) *ppstm = nullptr;
  return E_NOTIMPL;
}
