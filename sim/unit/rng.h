// The unit's one source of randomness (garbage reports, torn writes), seeded
// from Identity.seed so that a script replays identically.
#pragma once

#include <cstdint>

namespace vunit {

struct Rng {
    uint64_t state = 0;
};

inline uint64_t nextRandom(Rng& r) {
    // splitmix64
    uint64_t z = (r.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [0, bound); bound > 0.
inline uint64_t randomBelow(Rng& r, uint64_t bound) { return nextRandom(r) % bound; }

inline uint8_t randomByte(Rng& r) { return static_cast<uint8_t>(nextRandom(r) >> 56); }

} // namespace vunit
