#pragma once
// What every service's parts of a poll do alike: escaping an ID into a query,
// checking what goes into a header line, and saying a service's words in one
// line.
#include <string>

#include "tracker/sources/Service.h"

std::string Lower(std::string text);

// A value inside a query: everything but RFC 3986's unreserved characters escaped.
std::string QueryEscape(const std::string& text);

// Bytes a header line carries as they are; blanks only where allowed.
bool IsHeaderText(const std::string& text, bool blanks);
// A header name: RFC 9110 token characters.
bool IsHeaderName(const std::string& name);

void ReplaceAll(std::string& text, const std::string& what, const std::string& with);

// "Authorization: Bearer " and the key.
std::string BearerHeader(const std::string& key);

// The Server as written, without trailing "/".
std::string TrimmedServer(const TSourceSettings& source);

// A failure with nothing more to say than its kind.
TPollFailure Failure(TFailure kind);

// Whether server (empty: the default) is on the service's default server's
// host, the service's own rather than a self-hosted one.
bool IsDefaultHost(const TSourceService& service, const std::string& server);

// Text from a server or a settings file as one line the user can read (see
// TPollFailure::Detail): controls become blanks, bidirectional marks go, at
// most MAX_DETAIL_CHARS characters stay.
std::string ShownDetail(const WideString& text);
