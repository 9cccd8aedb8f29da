#pragma once
// The fuzz targets' property check: a failed property names itself and aborts, so libFuzzer
// keeps the input.

#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

inline void Check(bool Condition, const char* What) {
    if (!Condition) {
        std::fprintf(stderr, "property failed: %s\n", What);
        std::abort();
    }
}

}  // namespace fuzzcheck
