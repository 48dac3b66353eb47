#pragma once
// What every fuzz target shares: an abort that libFuzzer records as a crash
// when a reader's answer breaks its own contract.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                     \
  do {                                                                       \
    if (!(cond)) {                                                           \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)
