#pragma once
#include <cstdlib>

// A broken invariant is a crash, which the fuzzer keeps as a finding.
inline void check(bool condition) {
    if (!condition) std::abort();
}
