#include "tools/fakeserver/TlsFront.h"

#include <cstdlib>
#include <vector>

#include "platform/WinApi.h"
#include <wincrypt.h>

#ifndef ORVANTA_TLS_FRONT_SCRIPT
#error "ORVANTA_TLS_FRONT_SCRIPT must name tls_front.py by its Unix path"
#endif

namespace {

constexpr DWORD REPORT_WAIT_MS = 30000;  // four RSA keys and a relay start well within this
constexpr DWORD REPORT_POLL_MS = 50;
constexpr DWORD REPORT_MAX_BYTES = 16384;
constexpr char PYTHON_UNIX_PATH[] = "/usr/bin/python3";

const char* CertName(TTlsCert cert) {
  switch (cert) {
    case TTlsCert::Good: return "good";
    case TTlsCert::WrongName: return "wrongname";
    case TTlsCert::Expired: return "expired";
    case TTlsCert::Untrusted: return "untrusted";
  }
  return "";
}

// Wine's own path conversions; both allocate from the process heap.
using UnixNameFn = char*(CDECL*)(const wchar_t*);
using DosNameFn = wchar_t*(CDECL*)(const char*);

template <typename Fn>
Fn WineExport(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// Certificates of the current user's root store in this prefix.
class TRootStore {
public:
  TRootStore()
      : FStore(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root")) {}
  ~TRootStore() {
    if (FStore) CertCloseStore(FStore, 0);
  }
  TRootStore(const TRootStore&) = delete;
  TRootStore& operator=(const TRootStore&) = delete;
  HCERTSTORE Get() const { return FStore; }

private:
  HCERTSTORE FStore;
};

}  // namespace

TTlsFront::TTlsFront(uint16_t backendPort) {
  if (Launch(backendPort) && ReadReport()) TrustCa();
}

TTlsFront::~TTlsFront() {
  if (FCaAdded) {
    TRootStore root;
    PCCERT_CONTEXT mine = CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(FCaDer.data()),
                                                       static_cast<DWORD>(FCaDer.size()));
    PCCERT_CONTEXT found = root.Get() && mine ? CertFindCertificateInStore(root.Get(), X509_ASN_ENCODING, 0,
                                                                           CERT_FIND_EXISTING, mine, nullptr)
                                              : nullptr;
    if (found) CertDeleteCertificateFromStore(found);  // frees found
    if (mine) CertFreeCertificateContext(mine);
  }
  // The script notices its report is gone and ends.
  if (!FReportFile.empty()) DeleteFileW(FReportFile.c_str());
}

bool TTlsFront::Launch(uint16_t backendPort) {
  const auto toUnix = WineExport<UnixNameFn>("wine_get_unix_file_name");
  const auto toDos = WineExport<DosNameFn>("wine_get_dos_file_name");
  if (!toUnix || !toDos) {
    FError = "the TLS front runs under Wine only";
    return false;
  }
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"tls", 0, file)) {
    FError = "no temporary file for the TLS front's report";
    return false;
  }
  FReportFile = file;
  char* reportUnix = toUnix(file);
  wchar_t* python = toDos(PYTHON_UNIX_PATH);
  std::wstring command;
  if (reportUnix && python) {
    const std::string args = std::string(" \"") + ORVANTA_TLS_FRONT_SCRIPT + "\" " + std::to_string(backendPort) +
                             " \"" + reportUnix + "\"";
    command = L"\"" + std::wstring(python) + L"\"" + std::wstring(args.begin(), args.end());
  }
  if (reportUnix) HeapFree(GetProcessHeap(), 0, reportUnix);
  if (python) HeapFree(GetProcessHeap(), 0, python);
  if (command.empty()) {
    FError = "no Unix path for python3 or the report file";
    return false;
  }
  // No handles are inherited: Wine gives a Unix program none of them anyway.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(0);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    FError = "python3 could not be started: error " + std::to_string(GetLastError());
    return false;
  }
  // A Unix program gets no Windows process: Wine then returns a null process
  // handle and a thread "handle" that is really one of ours (closing it once
  // closed the registry key the certificate store needs).
  if (process.hProcess) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return true;
}

bool TTlsFront::ReadReport() {
  std::string text;
  // GetTempFileNameW made the file empty; the script replaces it whole.
  for (DWORD waited = 0; text.empty() && waited < REPORT_WAIT_MS; waited += REPORT_POLL_MS) {
    Sleep(REPORT_POLL_MS);
    HANDLE h = CreateFileW(FReportFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    std::vector<char> buffer(REPORT_MAX_BYTES);
    DWORD got = 0;
    if (ReadFile(h, buffer.data(), REPORT_MAX_BYTES, &got, nullptr)) text.assign(buffer.data(), got);
    CloseHandle(h);
  }
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank), value = line.substr(blank + 1);
    if (key == "error") {
      FError = "tls_front.py: " + value;
      return false;
    }
    if (key == "ca") {
      DWORD size = 0;
      if (CryptStringToBinaryA(value.c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) {
        FCaDer.resize(size);
        CryptStringToBinaryA(value.c_str(), 0, CRYPT_STRING_BASE64, reinterpret_cast<BYTE*>(&FCaDer[0]), &size,
                             nullptr, nullptr);
      }
    } else {
      FPorts[key] = static_cast<uint16_t>(std::strtoul(value.c_str(), nullptr, 10));
    }
  }
  if (FCaDer.empty() || FPorts.size() != 4) {
    FError = text.empty() ? "tls_front.py wrote no report (is python3 or openssl missing?)" : "bad report: " + text;
    return false;
  }
  return true;
}

bool TTlsFront::TrustCa() {
  TRootStore root;
  FCaAdded = root.Get() && CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING,
                                                             reinterpret_cast<const BYTE*>(FCaDer.data()),
                                                             static_cast<DWORD>(FCaDer.size()),
                                                             CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  if (!FCaAdded)
    FError = "the test CA could not be added to the prefix's root store: error " + std::to_string(GetLastError());
  return FCaAdded;
}

std::string TTlsFront::HostSetting(TTlsCert cert) const {
  const auto it = FPorts.find(CertName(cert));
  return "https://localhost:" + std::to_string(it == FPorts.end() ? 0 : it->second);
}
