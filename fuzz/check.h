// The one assertion of the fuzz targets: a broken property aborts with a
// message, so libFuzzer keeps the input that broke it.
#ifndef MIGPROF_FUZZ_CHECK_H_
#define MIGPROF_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

#endif  // MIGPROF_FUZZ_CHECK_H_
