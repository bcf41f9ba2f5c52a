#include "ui/WidgetsUnit.h"

#include <atomic>
#include <mutex>

#include <mmsystem.h>

#include "ui/Handles.h"

using namespace Gdiplus;

namespace {
std::mutex gUnitLock;  // guards every field below
int gHolders = 0;
TGlobalAtom gAtom;
std::atomic<ATOM> gAtomValue{0};
std::atomic<int32_t> gOSLevel{0};
UINT gTimerPeriod = 0;
ULONG_PTR gGdiplusToken = 0;
TGpFontFamily gSansSerif;
bool gSansSerifTried = false;

WCHAR UpperAscii(WCHAR c) { return (c >= L'a' && c <= L'z') ? WCHAR(c - 32) : c; }

int CompareTextAscii(const std::wstring& a, const std::wstring& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    WCHAR x = UpperAscii(a[i]), y = UpperAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Where the platform has no generic sans-serif (Wine without Windows' core
// fonts), texts would vanish: take a common sans-serif, else any installed family.
void FindAnySansSerif(TGpFontFamily& family) {
  for (const wchar_t* name : {L"Tahoma", L"Arial", L"Liberation Sans", L"DejaVu Sans"}) {
    if (DllExports::GdipCreateFontFamilyFromName(name, nullptr, family.Put()) == Ok && family.Get()) return;
    family.Release();
  }
  GpFontCollection* installed = nullptr;  // owned by GDI+, never deleted
  INT count = 0, found = 0;
  if (DllExports::GdipNewInstalledFontCollection(&installed) != Ok || !installed) return;
  if (DllExports::GdipGetFontCollectionFamilyCount(installed, &count) != Ok || count <= 0) return;
  GpFontFamily* first = nullptr;
  if (DllExports::GdipGetFontCollectionFamilyList(installed, 1, &first, &found) == Ok && found == 1 && first)
    if (DllExports::GdipCloneFontFamily(first, family.Put()) != Ok) family.Release();
}

int32_t QueryOSLevel() {
  // GetVersionExW reports the compatibility version, which is what the
  // rendering choice depends on.
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return 0;
#pragma GCC diagnostic pop
  return ComputeOSLevel(info.dwMajorVersion, info.dwMinorVersion, info.szCSDVersion);
}
}  // namespace

int32_t ComputeOSLevel(uint32_t major, uint32_t minor, const std::wstring& servicePack) {
  if (major > 5 || (major == 5 && minor > 1)) return 0x600;
  if (major == 5 && minor == 1) return CompareTextAscii(servicePack, L"Service Pack 2") >= 0 ? 0x502 : 0x501;
  return 0;
}

TWidgetsUnit::TWidgetsUnit() {
  for (const WideChar* name : {CONTROL_CLASS_NAME, WIDGET_CONTROL_CLASS_NAME, WIN_CONTROL_CLASS_NAME, WIN_FORM_CLASS_NAME,
                               WIDGET_FORM_CLASS_NAME, TRAY_WINDOW_CLASS})
    FClasses.push_back(std::make_unique<TWindowClass>(name));
  std::lock_guard<std::mutex> lock(gUnitLock);
  if (gHolders++ > 0) return;
  gAtom.Reset(GlobalAddAtomA(WINDOW_ATOM_NAME));
  gAtomValue = gAtom.Get();
  gOSLevel = QueryOSLevel();
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof(caps)) == TIMERR_NOERROR) {
    gTimerPeriod = caps.wPeriodMin;
    timeBeginPeriod(gTimerPeriod);
  }
  GdiplusStartupInput input;  // version 1, default options
  if (GdiplusStartup(&gGdiplusToken, &input, nullptr) != Ok) gGdiplusToken = 0;
}

TWidgetsUnit::~TWidgetsUnit() {
  std::lock_guard<std::mutex> lock(gUnitLock);
  if (--gHolders > 0) return;
  // The cached family is a GDI+ object: it must go before GDI+ does.
  gSansSerif.Reset();
  gSansSerifTried = false;
  if (gGdiplusToken) GdiplusShutdown(gGdiplusToken);
  gGdiplusToken = 0;
  if (gTimerPeriod) timeEndPeriod(gTimerPeriod);
  gTimerPeriod = 0;
  gAtomValue = 0;
  gAtom.Reset();
}

// Wine dirties about a megabyte of every new thread's stack before the thread
// function runs, and keeps it resident for the thread's life. What lies below
// the current frame is dead by definition, so its contents may go.
void ReleaseUnusedStack() {
  constexpr uintptr_t kMargin = 64 * 1024;  // for the calls made from here
  constexpr uintptr_t kPage = 4096;
  const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  MEMORY_BASIC_INFORMATION region{};
  if (!VirtualQuery(reinterpret_cast<void*>(frame), &region, sizeof region)) return;
  // The committed pages under the frame begin above the last guard or
  // uncommitted page of the stack's reservation.
  uintptr_t low = 0;
  for (auto at = reinterpret_cast<uintptr_t>(region.AllocationBase); at < frame;) {
    if (!VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region)) return;
    if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD))
      low = 0;
    else if (!low)
      low = at;
    at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  const uintptr_t top = frame > kMargin ? (frame - kMargin) & ~(kPage - 1) : 0;
  if (low && top > low) VirtualAlloc(reinterpret_cast<void*>(low), top - low, MEM_RESET, PAGE_READWRITE);
}

ATOM WindowAtom() { return gAtomValue; }

int32_t OSLevel() { return gOSLevel; }

GpFontFamily* GenericSansSerifFamily() {
  std::lock_guard<std::mutex> lock(gUnitLock);
  if (!gSansSerifTried && gGdiplusToken) {
    gSansSerifTried = true;
    if (DllExports::GdipGetGenericFontFamilySansSerif(gSansSerif.Put()) != Ok) {
      gSansSerif.Release();
      FindAnySansSerif(gSansSerif);
    }
  }
  return gSansSerif.Get();
}
