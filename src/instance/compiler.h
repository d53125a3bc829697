// Hints for the hot paths of the reader and the writer; plain no-ops on compilers
// that lack them.
#pragma once

#if defined(__GNUC__)
#define CONVERTER_ALWAYS_INLINE inline __attribute__((always_inline))
#define CONVERTER_NOINLINE __attribute__((noinline))
#define CONVERTER_LIKELY(condition) __builtin_expect(static_cast<bool>(condition), 1)
#define CONVERTER_UNLIKELY(condition) __builtin_expect(static_cast<bool>(condition), 0)
#else
#define CONVERTER_ALWAYS_INLINE inline
#define CONVERTER_NOINLINE
#define CONVERTER_LIKELY(condition) (condition)
#define CONVERTER_UNLIKELY(condition) (condition)
#endif

// A check of the program's own invariants: on in debug builds and in the fuzz
// build (CONVERTER_CHECKED), where a failure aborts at once; off in release
// builds, where the code after it must stay safe on its own.
#if !defined(NDEBUG) || defined(CONVERTER_CHECKED)
#include <cstdio>
#include <cstdlib>
#define CONVERTER_ASSERT(condition)                                                                                    \
    ((condition)                                                                                                       \
         ? static_cast<void>(0)                                                                                        \
         : (std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition), std::abort()))
#else
#define CONVERTER_ASSERT(condition) static_cast<void>(0)
#endif
