#include "flash_units.h"

#include "vfactory/layout.h"

#include <sstream>

namespace flashtest {

std::vector<uint8_t> pattern(uint32_t id, size_t size) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((id * 37 + i * 11 + (i >> 8)) & 0xFF);
    // Never five 0xFF in a row: an item is then never mistaken for an erased tail.
    for (size_t i = 0; i < size; ++i)
        if (b[i] == 0xFF) b[i] = 0xFE;
    return b;
}

vfactory::Item item(uint8_t type, uint32_t id, size_t size, int sector) {
    return {type, id, pattern(id, size), sector};
}

namespace {
vfactory::UnitDescription descriptionOf(const Layout& l) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.kind = l.kind;
    d.identity.chipCode = l.chipCode;
    d.identity.chips = l.chips;
    d.items = l.items;
    d.directory = l.directory;
    d.directorySector = l.directorySector;
    return d;
}

std::unique_ptr<Plugged> plugLaid(const vfactory::UnitDescription& d, const vunit::Storage& storage, bool trace) {
    vunit::FolderOptions options;
    if (trace) options.tracePath = "trace.log";
    return testunits::plugUnit(d, storage, options);
}
} // namespace

Laid layOut(const Layout& layout) {
    const auto d = descriptionOf(layout);
    return {d.identity, vfactory::buildUnit(d)};
}

vunit::Identity identityOf(vunit::Kind kind, uint8_t chipCode, std::array<uint8_t, 4> chips) {
    vunit::Identity id = vfactory::defaultDescription().identity;
    id.kind = kind;
    id.chipCode = chipCode;
    id.chips = chips;
    return id;
}

FlashUnit::FlashUnit(const Layout& layout) {
    const auto d = descriptionOf(layout);
    identity = d.identity;
    plugged = plugLaid(d, vfactory::buildUnit(d), layout.trace);
    unit = testunits::openPowered();
}

FlashUnit::FlashUnit(const vunit::Identity& id, const vunit::Storage& storage, bool trace) : identity(id) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity = id;
    plugged = plugLaid(d, storage, trace);
    unit = testunits::openPowered();
}

FlashUnit::~FlashUnit() { close(); }

void FlashUnit::close() {
    if (unit >= 0) ZELCloseDevice(unit);
    unit = -1;
}

void FlashUnit::reopen() {
    close();
    unit = testunits::openPowered();
}

void FlashUnit::powerCycle() {
    close();
    ZELVirtualUnplug(plugged->dir.string().c_str());
    ZELVirtualPlug(plugged->dir.string().c_str());
    unit = testunits::openPowered();
}

bool FlashUnit::answers() const {
    unsigned char major = 0, minor = 0, code = 0;
    return unit >= 0 && ZELGetVersion(unit, major, minor, code) == 1;
}

std::optional<vfactory::Directory> FlashUnit::deviceDirectory() const {
    return vfactory::readDirectory(stored(), identity);
}

std::vector<uint8_t> FlashUnit::bytesOf(const _direntry& e) const {
    const vunit::Storage s = stored();
    const auto& sector = s.sectors[e.address >> 16];
    const size_t at = e.address & 0xFFFF;
    if (sector.size() < at + e.size) return {};
    return std::vector<uint8_t>(sector.begin() + static_cast<std::ptrdiff_t>(at),
                                sector.begin() + static_cast<std::ptrdiff_t>(at + e.size));
}

Listing readListing(int unit) {
    Listing l;
    l.entries.resize(256);
    int count = 0;
    l.result = ZELReadDirectory(unit, l.directorySector, l.sectorCount, l.entries.data(), count);
    l.entries.resize(l.result == 1 ? static_cast<size_t>(count) : 0);
    return l;
}

_direntry toEntry(const vfactory::DirEntry& e) { return {e.address, e.type, e.id, e.size}; }

bool sameFlash(const vunit::Storage& a, const vunit::Storage& b) { return a.sectors == b.sectors; }

bool sameEntry(const _direntry& a, const _direntry& b) {
    return a.address == b.address && a.type == b.type && a.id == b.id && a.size == b.size;
}

std::string describe(const std::vector<_direntry>& entries) {
    std::ostringstream s;
    for (const _direntry& e : entries)
        s << std::hex << "[" << e.address << " t" << unsigned(e.type) << " id" << e.id << " " << std::dec << e.size
          << "] ";
    return s.str();
}

} // namespace flashtest
