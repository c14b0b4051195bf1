// Virtual units laid out with items, opened and powered, and what the flash
// tests ask of them: the directory as the library reads it and as the unit's
// own storage holds it.
#pragma once

#include "../zelusb_virtual/virtual_units.h"
#include "vfactory/directory.h"

#include <optional>
#include <string>
#include <vector>

namespace flashtest {

using testunits::Plugged;

struct Layout {
    vunit::Kind kind = vunit::Kind::Packet;
    uint8_t chipCode = 20;            // 17..21, or 0xAA with chips
    std::array<uint8_t, 4> chips{};
    std::vector<vfactory::Item> items; // in directory order
    bool directory = true;
    int directorySector = -1;
    bool trace = false;
};

// Contents that tell items apart: bytes from id and position.
std::vector<uint8_t> pattern(uint32_t id, size_t size);
vfactory::Item item(uint8_t type, uint32_t id, size_t size, int sector = -1);

// The identity and storage a layout makes, not yet plugged in.
struct Laid {
    vunit::Identity identity;
    vunit::Storage storage;
};
Laid layOut(const Layout& layout);
vunit::Identity identityOf(vunit::Kind kind, uint8_t chipCode, std::array<uint8_t, 4> chips = {});

struct FlashUnit {
    std::unique_ptr<Plugged> plugged;
    vunit::Identity identity;
    int unit = -1;
    explicit FlashUnit(const Layout& layout);
    FlashUnit(const vunit::Identity& identity, const vunit::Storage& storage, bool trace = false);
    explicit FlashUnit(const Laid& laid, bool trace = false) : FlashUnit(laid.identity, laid.storage, trace) {}
    ~FlashUnit();
    // Closes and opens the unit again.
    void reopen();
    // Unplugs it, plugs it in and opens it: what a power cut and power up do.
    void powerCycle();
    // Whether the unit still answers.
    bool answers() const;
    void close();

    vunit::Storage stored() const { return testunits::storedState(*plugged); }
    // The directory as the unit's storage holds it (read without the library).
    std::optional<vfactory::Directory> deviceDirectory() const;
    // The bytes of an entry, from the storage.
    std::vector<uint8_t> bytesOf(const _direntry& e) const;
};

struct Listing {
    int result = -2;
    int directorySector = -1;
    unsigned short sectorCount = 0;
    std::vector<_direntry> entries;
};
Listing readListing(int unit);

_direntry toEntry(const vfactory::DirEntry& e);
// Whether two storages hold the same flash (compared without printing 16 MB).
bool sameFlash(const vunit::Storage& a, const vunit::Storage& b);
bool sameEntry(const _direntry& a, const _direntry& b);
std::string describe(const std::vector<_direntry>& entries);

// Standard output of `body`, as the library printed it.
template <typename F> std::string printed(F&& body) {
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

} // namespace flashtest
