#pragma once

#include <cstddef>
#include <cstdint>

// True when the n bytes at p are all zero: closed contexts, wiped key material.
inline bool AllZero(const void* p, size_t n) {
    const auto* bytes = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}
