#pragma once
// A broken property stops the fuzzer with its name, so the crash says which one.
#include <cstdio>
#include <cstdlib>

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}
