#ifndef TOCASE_FUZZ_FUZZ_CHECK_H
#define TOCASE_FUZZ_FUZZ_CHECK_H

#include <cstdlib>

// A broken invariant is a finding: abort, so the fuzzer keeps the input.
inline void check(bool condition) {
    if (!condition) std::abort();
}

#endif
