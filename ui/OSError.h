#pragma once
// A failed platform call as an exception, with the platform's error code and text.
#include "platform/WinApi.h"
#include "text/WStrUtils.h"

class EOSError : public Exception {
public:
  explicit EOSError(DWORD code);
};

[[noreturn]] void RaiseLastOSError();
