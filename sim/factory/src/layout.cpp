#include "vfactory/layout.h"

#include "vfactory/logfiles.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace vfactory {

namespace {

// 8-bit unsigned PCM at 8 kHz: a plain tone, so a sound item holds sound.
std::vector<uint8_t> tone(std::size_t size, double hz) {
    std::vector<uint8_t> pcm(size);
    for (std::size_t i = 0; i < size; ++i)
        pcm[i] = static_cast<uint8_t>(128 + std::lround(100 * std::sin(2 * 3.14159265358979 * hz * double(i) / 8000)));
    return pcm;
}

std::string itemName(const Item& item, std::size_t index) {
    return "item " + std::to_string(index) + " (type " + std::to_string(item.type) + ", id " + std::to_string(item.id) + ")";
}

} // namespace

UnitDescription defaultDescription() {
    UnitDescription d;
    d.identity.serial = 1001;
    d.eeprom.serial = d.identity.serial;
    d.items.push_back({kSoundType, 1, tone(5000, 440), -1});
    d.items.push_back({kSoundType, 2, tone(7000, 660), -1});
    d.items.push_back({kSoundType, 3, tone(8000, 880), -1});
    return d;
}

vunit::Storage buildUnit(const UnitDescription& d) {
    vunit::Storage st = vunit::blankStorage(d.identity);
    const auto map = vunit::sectorMapOf(d.identity);
    const int count = std::min(vunit::sectorCountOf(d.identity), vunit::kMaxSectors);
    auto present = [&](int s) { return s >= 0 && s < count && map[static_cast<std::size_t>(s)] != 0; };
    st.eeprom = makeEeprom(d.eeprom);

    int dirSector = -1;
    if (d.directory) {
        if (d.directorySector >= 0) {
            if (!present(d.directorySector))
                throw std::invalid_argument("directory sector " + std::to_string(d.directorySector) + " does not exist");
            dirSector = d.directorySector;
        } else {
            for (int s = 0; s < count && dirSector < 0; ++s)
                if (present(s)) dirSector = s;
            if (dirSector < 0) throw std::invalid_argument("the unit has no flash for a directory");
        }
    }
    const uint32_t reserve = directorySize(d.items.size());
    auto limit = [&](int s) { return vunit::kSectorSize - (s == dirSector ? reserve : 0); };

    std::array<uint32_t, vunit::kMaxSectors> next{};
    std::vector<DirEntry> entries;
    for (std::size_t i = 0; i < d.items.size(); ++i) {
        const Item& item = d.items[i];
        if (item.contents.size() > 0xFFFF) throw std::invalid_argument(itemName(item, i) + " is over 65535 bytes");
        if (item.type == 0xFF) throw std::invalid_argument(itemName(item, i) + ": type 0xFF cannot be stored");
        const auto size = static_cast<uint32_t>(item.contents.size());
        auto fits = [&](int s) { return next[static_cast<std::size_t>(s)] + size <= limit(s); };
        int s = item.sector;
        if (s >= 0) {
            if (!present(s)) throw std::invalid_argument(itemName(item, i) + ": sector " + std::to_string(s) + " does not exist");
            if (!fits(s)) throw std::invalid_argument(itemName(item, i) + " does not fit in sector " + std::to_string(s));
        } else {
            for (s = 0; s < count && !(present(s) && fits(s)); ++s) {
            }
            if (s == count) throw std::invalid_argument(itemName(item, i) + " fits in no sector");
        }
        auto& bytes = st.sectors[static_cast<std::size_t>(s)];
        uint32_t& at = next[static_cast<std::size_t>(s)];
        std::copy(item.contents.begin(), item.contents.end(), bytes.begin() + at);
        entries.push_back({flashAddress(s, at), item.type, item.id, static_cast<uint16_t>(size)});
        at += size;
    }
    if (dirSector >= 0) writeDirectory(st.sectors[static_cast<std::size_t>(dirSector)], dirSector, entries);
    if (d.logFiles) {
        if (dirSector < 0) throw std::invalid_argument("log files need a directory");
        layOutLogFiles(st, d.identity);
    }
    st.dirtySectors.fill(false);
    st.eepromDirty = st.programFlashDirty = st.stateDirty = false;
    return st;
}

std::vector<SectorUse> sectorUse(const vunit::Identity& identity, const Directory* directory) {
    const auto map = vunit::sectorMapOf(identity);
    std::vector<SectorUse> use;
    for (int s = 0; s < vunit::kMaxSectors; ++s) {
        if (!map[static_cast<std::size_t>(s)]) continue;
        SectorUse u;
        u.sector = s;
        if (directory) {
            for (const DirEntry& e : directory->entries) {
                if (sectorOf(e.address) != s) continue;
                u.itemBytes += e.size;
                u.end = std::max(u.end, offsetOf(e.address) + e.size);
            }
            if (directory->sector == s) u.directoryBytes = directorySize(directory->entries.size());
        }
        use.push_back(u);
    }
    return use;
}

void rewriteDirectory(vunit::Storage& storage, const Directory& directory) {
    const int s = directory.sector;
    uint32_t end = 0;
    for (const DirEntry& e : directory.entries)
        if (sectorOf(e.address) == s) end = std::max(end, offsetOf(e.address) + e.size);
    const uint32_t need = directorySize(directory.entries.size());
    if (end + need > vunit::kSectorSize)
        throw std::invalid_argument("a directory of " + std::to_string(directory.entries.size()) + " entries (" +
                                    std::to_string(need) + " bytes) does not fit above the items of sector " +
                                    std::to_string(s));
    writeDirectory(storage.sectors[static_cast<std::size_t>(s)], s, directory.entries);
    storage.dirtySectors[static_cast<std::size_t>(s)] = true;
}

} // namespace vfactory
