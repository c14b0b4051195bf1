// FNV-1a, 64 bits: a stable fingerprint of logged content for identifiers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr uint64_t kFingerprintStart = 14695981039346656037ull;

inline uint64_t fingerprint(const void* data, std::size_t size, uint64_t h = kFingerprintStart) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}
inline uint64_t fingerprint(std::string_view text) { return fingerprint(text.data(), text.size()); }
