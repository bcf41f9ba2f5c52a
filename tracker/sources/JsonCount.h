#pragma once
// How a service's JSON answer holds its count: parsed with a depth limit,
// a count is a whole number from 0 to INT32_MAX or a string of its digits.
#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "tracker/sources/Service.h"

constexpr int JSON_MAX_DEPTH = 32;

// A count, or NO_COUNT for anything else (none included).
int32_t CountOf(const nlohmann::json* value);

// The member of an object; none for a missing one or for anything but an object.
const nlohmann::json* Member(const nlohmann::json& object, const char* name);

// The service's reading of a parsed body: the count, where it looked (for
// the failure), and, when the body reports an error instead, why.
using TJsonReader = std::function<int32_t(const nlohmann::json& root, std::string& where, TPollFailure& why)>;

// The count the body holds as read, or NO_COUNT with why. A body that does not
// parse is read as null; one nested past JSON_MAX_DEPTH is not read at all and
// fails at where.
int32_t ReadJsonCount(const std::string& body, std::string where, TPollFailure& why, const TJsonReader& read);
