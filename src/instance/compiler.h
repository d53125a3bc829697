// Hints for the hot paths of the reader and the writer; plain no-ops on compilers
// that lack them.
#pragma once

#if defined(__GNUC__)
#define CONVERTER_ALWAYS_INLINE inline __attribute__((always_inline))
#define CONVERTER_NOINLINE __attribute__((noinline))
#define CONVERTER_LIKELY(condition) __builtin_expect(static_cast<bool>(condition), 1)
#else
#define CONVERTER_ALWAYS_INLINE inline
#define CONVERTER_NOINLINE
#define CONVERTER_LIKELY(condition) (condition)
#endif
