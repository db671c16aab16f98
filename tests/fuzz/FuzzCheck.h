#pragma once
// A property that must hold for every input: when it does not, the fuzzer stops on this input and keeps it.

#include <cstdio>
#include <cstdlib>

#define MARQUELO_FUZZ_CHECK(condition)                                                                                 \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #condition);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
