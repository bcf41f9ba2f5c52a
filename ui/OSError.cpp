#include "ui/OSError.h"

#include "text/WStreams.h"

EOSError::EOSError(DWORD code)
    : Exception(code ? WideFormat(u"System Error.  Code: %d.\r\n%s", {static_cast<int32_t>(code), SysErrorMessage(static_cast<int>(code))})
                     : WideString(u"A call to an OS function failed")) {}

void RaiseLastOSError() { throw EOSError(GetLastError()); }
