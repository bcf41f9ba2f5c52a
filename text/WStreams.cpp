#include "text/WStreams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include "platform/WinApi.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const WideChar kOpenError[] = u"Cannot open file \"%s\". %s";
const WideChar kCreateError[] = u"Cannot create file \"%s\". %s";
const WideChar kReadError[] = u"Stream read error";
const WideChar kWriteError[] = u"Stream write error";

// Platform reads and writes take at most this much at a time.
constexpr size_t kChunk = size_t(1) << 30;

#ifdef _WIN32
using FileHandle = HANDLE;
const FileHandle kNoFile = INVALID_HANDLE_VALUE;

FileHandle OpenFileHandle(const WideString& name, TFileMode mode) {
  if (mode == TFileMode::OpenRead)
    return CreateFileW(WinStr(name), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  return CreateFileW(WinStr(name), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
#else
using FileHandle = int;
const FileHandle kNoFile = -1;

FileHandle OpenFileHandle(const WideString& name, TFileMode mode) {
  const std::string path = Utf8FromWide(name);
  int fd;
  do {
    fd = mode == TFileMode::OpenRead ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC)
                                     : ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  // A folder opens for reading on POSIX but not on Windows; refuse it the same way.
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
    ::close(fd);
    errno = EISDIR;
    fd = -1;
  }
  return fd;
}
#endif

}  // namespace

int64_t TStream::Size() {
  const int64_t here = Position();
  const int64_t size = Seek(0, TSeekOrigin::End);
  Seek(here, TSeekOrigin::Beginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(kReadError);
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(kWriteError);
}

size_t TBytesStream::Read(void* buffer, size_t count) {
  if (FPosition >= FBytes.size()) return 0;
  const size_t n = std::min(count, FBytes.size() - FPosition);
  std::memcpy(buffer, FBytes.data() + FPosition, n);
  FPosition += n;
  return n;
}

size_t TBytesStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (FPosition > FBytes.size()) FBytes.resize(FPosition);
  const size_t overlap = std::min(count, FBytes.size() - FPosition);
  FBytes.replace(FPosition, overlap, static_cast<const char*>(buffer), count);
  FPosition += count;
  return count;
}

int64_t TBytesStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::Current) base = static_cast<int64_t>(FPosition);
  else if (origin == TSeekOrigin::End) base = static_cast<int64_t>(FBytes.size());
  int64_t target = base + offset;
  if (target < 0) target = 0;
  if (static_cast<uint64_t>(target) > SIZE_MAX / 2) target = static_cast<int64_t>(SIZE_MAX / 2);
  FPosition = static_cast<size_t>(target);
  return target;
}

TFileStream::TFileStream(const WideString& fileName, TFileMode mode) : FFileName(fileName) {
  FileHandle h = OpenFileHandle(fileName, mode);
  if (h == kNoFile) {
    const int code = LastSysError();
    if (mode == TFileMode::OpenRead)
      throw EFOpenError(WideFormat(kOpenError, {WideExpandFileName(fileName), SysErrorMessage(code)}));
    throw EFCreateError(WideFormat(kCreateError, {WideExpandFileName(fileName), SysErrorMessage(code)}));
  }
  FHandle = h;
}

TFileStream::~TFileStream() { Close(); }

void TFileStream::Close() {
  if (FHandle == kNoFile) return;
#ifdef _WIN32
  CloseHandle(FHandle);
#else
  ::close(FHandle);
#endif
  FHandle = kNoFile;
}

size_t TFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count && FHandle != kNoFile) {
    const size_t want = std::min(count - done, kChunk);
#ifdef _WIN32
    DWORD got = 0;
    if (!ReadFile(FHandle, static_cast<char*>(buffer) + done, static_cast<DWORD>(want), &got, nullptr)) break;
#else
    const ssize_t got = ::read(FHandle, static_cast<char*>(buffer) + done, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
#endif
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count && FHandle != kNoFile) {
    const size_t want = std::min(count - done, kChunk);
#ifdef _WIN32
    DWORD put = 0;
    if (!WriteFile(FHandle, static_cast<const char*>(buffer) + done, static_cast<DWORD>(want), &put, nullptr))
      break;
#else
    const ssize_t put = ::write(FHandle, static_cast<const char*>(buffer) + done, want);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) break;
#endif
    if (put == 0) break;
    done += static_cast<size_t>(put);
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
#ifdef _WIN32
  const DWORD how = origin == TSeekOrigin::Beginning ? FILE_BEGIN
                    : origin == TSeekOrigin::Current ? FILE_CURRENT
                                                     : FILE_END;
  LARGE_INTEGER move, result;
  move.QuadPart = offset;
  if (!SetFilePointerEx(FHandle, move, &result, how)) return -1;
  return result.QuadPart;
#else
  const int how = origin == TSeekOrigin::Beginning ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(FHandle, static_cast<off_t>(offset), how));
#endif
}

bool TFileStream::Flush() {
#ifdef _WIN32
  return FlushFileBuffers(FHandle) != 0;
#else
  return ::fsync(FHandle) == 0;
#endif
}

WideString TAtomicFileStream::TempName(const WideString& fileName) { return fileName + u".~tmp"; }

void TAtomicFileStream::RecoverLeftover(const WideString& fileName,
                                        const std::function<bool(const std::string&)>& whole) {
  const WideString temp = TempName(fileName);
  if (fileName.empty() || !WideFileExists(temp)) return;
  if (ProbeFile(fileName) != TFileState::Missing) {
    if (WideFileExists(fileName)) WideDeleteFile(temp);
    return;
  }
  std::string bytes;
  try {
    bytes = ReadFileBytes(temp);
  } catch (const EStreamError&) {
    return;
  }
  if (whole && whole(bytes)) WideRenameFile(temp, fileName);
}

TAtomicFileStream::TAtomicFileStream(const WideString& fileName)
    : FFileName(fileName), FTempName(TempName(fileName)) {
  // An empty name has no folder to put the temporary file in.
  FileHandle h = fileName.empty() ? kNoFile : OpenFileHandle(FTempName, TFileMode::Create);
  if (fileName.empty()) {
#ifdef _WIN32
    SetLastError(ERROR_PATH_NOT_FOUND);
#else
    errno = ENOENT;
#endif
  }
  if (h == kNoFile) {
    // Report the file the caller asked for, not the temporary one.
    const int code = LastSysError();
    throw EFCreateError(WideFormat(kCreateError, {WideExpandFileName(fileName), SysErrorMessage(code)}));
  }
  FTemp = new TFileStream(FTempName, h);
}

TAtomicFileStream::~TAtomicFileStream() {
  delete FTemp;
  if (!FCommitted) WideDeleteFile(FTempName);
}

void TAtomicFileStream::Commit() {
  if (!FTemp->Flush()) throw EWriteError(kWriteError);
#ifdef _WIN32
  const bool closed = CloseHandle(FTemp->FHandle) != 0;
#else
  const bool closed = ::close(FTemp->FHandle) == 0;
#endif
  FTemp->FHandle = kNoFile;
  if (!closed) throw EWriteError(kWriteError);

#ifdef _WIN32
  // A virus scanner or indexer may hold the target open for a moment.
  bool moved = false;
  for (int attempt = 0; attempt < 10 && !moved; ++attempt) {
    moved = MoveFileExW(WinStr(FTempName), WinStr(FFileName), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!moved) {
      const DWORD code = GetLastError();
      if (code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION && code != ERROR_ACCESS_DENIED) break;
      Sleep(50);
      SetLastError(code);
    }
  }
#else
  const bool moved = ::rename(Utf8FromWide(FTempName).c_str(), Utf8FromWide(FFileName).c_str()) == 0;
#endif
  if (!moved) {
    const int code = LastSysError();
    throw EFCreateError(WideFormat(kCreateError, {WideExpandFileName(FFileName), SysErrorMessage(code)}));
  }
  FCommitted = true;
#ifndef _WIN32
  // The rename itself lives in the folder; make it durable too.
  std::string folder = Utf8FromWide(WideExpandFileName(FFileName));
  folder.erase(folder.find_last_of('/') + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
#endif
}

bool WideFileExists(const WideString& fileName) {
  if (fileName.empty()) return false;
#ifdef _WIN32
  const DWORD attr = GetFileAttributesW(WinStr(fileName));
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return ::stat(Utf8FromWide(fileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

bool WideRenameFile(const WideString& from, const WideString& to) {
#ifdef _WIN32
  return MoveFileExW(WinStr(from), WinStr(to), MOVEFILE_WRITE_THROUGH) != 0;
#else
  // link and unlink: rename would replace an existing target.
  const std::string a = Utf8FromWide(from), b = Utf8FromWide(to);
  if (::link(a.c_str(), b.c_str()) != 0) return false;
  ::unlink(a.c_str());
  return true;
#endif
}

TFileState ProbeFile(const WideString& fileName, WideString* error) {
  if (fileName.empty()) return TFileState::Missing;
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(WinStr(fileName), GetFileExInfoStandard, &data)) return TFileState::Present;
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return TFileState::Missing;
#else
  struct stat st;
  if (::stat(Utf8FromWide(fileName).c_str(), &st) == 0) return TFileState::Present;
  const int code = errno;
  if (code == ENOENT || code == ENOTDIR) return TFileState::Missing;
#endif
  if (error) *error = SysErrorMessage(static_cast<int>(code));
  return TFileState::Unknown;
}

std::string ReadFileBytes(const WideString& fileName) {
  TFileStream stream(fileName, TFileMode::OpenRead);
  const int64_t size = stream.Size();
  if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<size_t>::max() / 4)
    throw EReadError(kReadError);
  std::string bytes(static_cast<size_t>(size), '\0');
  stream.ReadBuffer(&bytes[0], bytes.size());
  return bytes;
}

bool WideDeleteFile(const WideString& fileName) {
#ifdef _WIN32
  return DeleteFileW(WinStr(fileName)) != 0;
#else
  return ::unlink(Utf8FromWide(fileName).c_str()) == 0;
#endif
}

WideString WideExpandFileName(const WideString& fileName) {
#ifdef _WIN32
  const DWORD need = GetFullPathNameW(WinStr(fileName), 0, nullptr, nullptr);
  if (need == 0) return fileName;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(WinStr(fileName), need, &full[0], nullptr);
  if (got == 0 || got >= need) return fileName;
  return WideOf(full.c_str(), got);
#else
  if (!fileName.empty() && fileName[0] == u'/') return fileName;
  std::string cwd(4096, '\0');
  if (!::getcwd(&cwd[0], cwd.size())) return fileName;
  cwd.resize(std::strlen(cwd.c_str()));
  return WideFromUtf8(cwd) + u"/" + fileName;
#endif
}

int LastSysError() {
#ifdef _WIN32
  return static_cast<int>(GetLastError());
#else
  return errno;
#endif
}

WideString SysErrorMessage(int code) {
  WideString text;
#ifdef _WIN32
  wchar_t buffer[512];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 static_cast<DWORD>(code), 0, buffer, 512, nullptr);
  text = WideOf(buffer, n);
#else
  text = WideFromUtf8(std::generic_category().message(code));
#endif
  while (!text.empty() && text.back() <= u' ') text.pop_back();
  return text;
}
