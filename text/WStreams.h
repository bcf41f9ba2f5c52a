#pragma once
// Byte streams for the text storage: the abstract stream, a file stream with
// wide file names, a growable memory stream and the all-or-nothing file writer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "text/WStrUtils.h"

class EStreamError : public Exception {
public:
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Return the number of bytes moved; fewer than asked at the end or on failure.
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Beginning); }
  virtual int64_t Size();

  // All or nothing: "Stream read error" / "Stream write error" when short.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
};

// A stream over bytes held in memory; grows on write.
class TBytesStream : public TStream {
public:
  TBytesStream() = default;
  explicit TBytesStream(std::string bytes) : FBytes(std::move(bytes)) {}
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }
  const std::string& Bytes() const { return FBytes; }

private:
  std::string FBytes;
  size_t FPosition = 0;
};

enum class TFileMode {
  OpenRead,  // existing file, shared for reading; "Cannot open file" otherwise
  Create,    // new or truncated file, read and write; "Cannot create file" otherwise
};

class TFileStream : public TStream {
public:
  TFileStream(const WideString& fileName, TFileMode mode);
  ~TFileStream() override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Pushes written data to the disk; false when the system refuses.
  bool Flush();
  const WideString& FileName() const { return FFileName; }

private:
  friend class TAtomicFileStream;
#ifdef _WIN32
  using THandle = void*;
#else
  using THandle = int;
#endif
  TFileStream(const WideString& fileName, THandle handle) : FFileName(fileName), FHandle(handle) {}
  void Close();
  WideString FFileName;
  THandle FHandle;
};

// Writes a file so that readers see either the old content or the whole new
// one: data goes to a temporary file beside the target, which Commit flushes
// and renames over it. Without a successful Commit the temporary file is
// removed and the target is left as it was.
class TAtomicFileStream : public TStream {
public:
  explicit TAtomicFileStream(const WideString& fileName);
  ~TAtomicFileStream() override;
  size_t Read(void* buffer, size_t count) override { return FTemp->Read(buffer, count); }
  size_t Write(const void* buffer, size_t count) override { return FTemp->Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FTemp->Seek(offset, origin); }
  // "Stream write error" when the data cannot be made durable,
  // "Cannot create file" when the target cannot be replaced.
  void Commit();

  static WideString TempName(const WideString& fileName);
  // A temporary file left by a crash. Beside the target it holds nothing the
  // target lacks and goes. Without the target (a crash between the two steps
  // of a replace that is not atomic) a whole one, as whole() judges its bytes,
  // becomes the target; one that is not whole is left for the next write.
  static void RecoverLeftover(const WideString& fileName, const std::function<bool(const std::string&)>& whole);

private:
  WideString FFileName;
  WideString FTempName;
  TFileStream* FTemp = nullptr;
  bool FCommitted = false;
};

bool WideFileExists(const WideString& fileName);
bool WideDeleteFile(const WideString& fileName);
// Renames without replacing: false when to exists or from cannot be moved.
bool WideRenameFile(const WideString& from, const WideString& to);

enum class TFileState {
  Missing,  // neither the file nor its folder exists: nothing to lose
  Present,
  Unknown,  // the system would not say (a share not up yet, access denied)
};
// What the system says of a file name; for Unknown, why in error.
TFileState ProbeFile(const WideString& fileName, WideString* error = nullptr);
// The whole file; EFOpenError or EReadError when it cannot be read.
std::string ReadFileBytes(const WideString& fileName);
// The absolute form of a file name, for messages.
WideString WideExpandFileName(const WideString& fileName);
// The system's last error code (GetLastError or errno) and its text without trailing blanks.
int LastSysError();
WideString SysErrorMessage(int code);
