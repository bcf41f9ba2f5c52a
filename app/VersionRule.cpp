#include "app/VersionRule.h"

#include "platform/ProgramIdentity.h"

bool IsNewerVersion(const WideString& version) { return version.compare(PROGRAM_VERSION) > 0; }
