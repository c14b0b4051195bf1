// Sequences of item operations checked against a plain model of the item
// set: what each operation should leave, and what a power cut in the middle
// of it may leave.
#pragma once

#include "flash_units.h"

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace flashtest {

using Key = std::pair<unsigned, unsigned>; // type, id
using Items = std::map<Key, std::vector<uint8_t>>;

struct Op {
    enum Kind { Write, ReplaceByType, DeleteByIds, DeleteByTypes, DeleteType, WriteMaps, ClearSectorZero } kind = Write;
    _direntry item{};                       // Write, ReplaceByType (type, id, size); DeleteType (type)
    std::vector<uint8_t> data;              // Write, ReplaceByType
    std::vector<unsigned> keys;             // ids or types to delete
    unsigned mapSet = 0;                    // WriteMaps
    std::vector<_direntry> maps;            // WriteMaps: id and size
    std::vector<std::vector<uint8_t>> mapData;
    std::string describe() const;
};

// Runs the operation through the library; 1 or 0 as it returned.
int run(int unit, const Op& op);

// The item set after the operation succeeded.
Items expectedAfter(const Items& before, const Op& op);

// What a cut may leave: items the operation may drop or replace, and the
// items (with their bytes) it may add, maps both in progress and committed.
struct Allowed {
    std::set<Key> mayGo;
    Items mayCome;
};
Allowed allowedDuring(const Items& before, const Op& op);

// "" when `now` is a state the operation may leave when cut, else why not.
std::string judgeCut(const Items& before, const Allowed& allowed, const Items& now);

// The items the unit lists, with their bytes from its storage; `why` says
// what is wrong (duplicates, a listing that does not read) when it is.
Items itemsOnUnit(const FlashUnit& u, std::string& why);
// The same with the unit's storage as loaded once by the caller.
Items itemsOnUnit(const FlashUnit& u, const vunit::Storage& s, std::string& why);

// Random operations that keep a unit crowded.
struct OpSource {
    std::mt19937 rng;
    unsigned nextId = 1;
    explicit OpSource(uint32_t seed) : rng(seed) {}
    Op next(const Items& now);
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    std::vector<uint8_t> contents(unsigned id, size_t size);
};

// A unit filled to `fill` (0..1) of its flash with random items.
Layout crowdedLayout(uint8_t chipCode, std::array<uint8_t, 4> chips, double fill, OpSource& source);
Items itemsOf(const Layout& layout);

} // namespace flashtest
