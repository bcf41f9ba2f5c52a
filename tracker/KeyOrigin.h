#pragma once
// Where a stored API key may go: the source and the origin (scheme, host,
// port) it was entered for. The key is encrypted with this in its entropy, so
// that a stored key decrypts for no other source or server.
#include <string>

#include "tracker/TrackerSource.h"

std::string KeyOrigin(const TSourceSettings& source);
