#include "scenario.h"

#include "flash/directory_format.h"

#include <sstream>

namespace flashtest {

namespace {
constexpr unsigned kMap = 0x03, kMapInProgress = 0xFE;
const std::vector<unsigned> kTypes{0x14, 0x16, 0x17, 0x18, 0x19, 0x1E, 0x1F, 0x60};

void dropIf(Items& items, const std::function<bool(const Key&)>& gone) {
    for (auto it = items.begin(); it != items.end();) it = gone(it->first) ? items.erase(it) : std::next(it);
}

bool hasKey(const std::vector<unsigned>& keys, unsigned k) { return std::find(keys.begin(), keys.end(), k) != keys.end(); }

unsigned newLowOf(const Op& op) { return op.maps.empty() ? 0 : op.maps.back().id & 0xFF; }

bool droppedByMaps(const Key& k, const Op& op) {
    if (k.first == kMapInProgress || k.first == 0) return true;
    for (const _direntry& m : op.maps)
        if (m.id == k.second) return true;
    return k.first == kMap && (k.second & 0xFF00) == op.mapSet << 8 && (k.second & 0xFF) != newLowOf(op);
}
} // namespace

std::string Op::describe() const {
    std::ostringstream s;
    switch (kind) {
    case Write: s << "write " << unsigned(item.type) << "/" << +item.id << " " << +item.size; break;
    case ReplaceByType: s << "replace type " << unsigned(item.type) << " by " << +item.id << " " << +item.size; break;
    case DeleteByIds: s << "delete ids"; break;
    case DeleteByTypes: s << "delete types"; break;
    case DeleteType: s << "delete type " << unsigned(item.type); break;
    case WriteMaps: s << "maps of set " << mapSet << " x" << maps.size(); break;
    case ClearSectorZero: s << "clear sector 0"; break;
    }
    if (kind == DeleteByIds || kind == DeleteByTypes)
        for (unsigned k : keys) s << " " << k;
    return s.str();
}

int run(int unit, const Op& op) {
    switch (op.kind) {
    case Op::Write:
        return ZELWriteDirectoryItem(unit, op.item, const_cast<unsigned char*>(op.data.data()));
    case Op::ReplaceByType:
        return ZELReplaceDirectoryItemByType(unit, op.item, const_cast<unsigned char*>(op.data.data()));
    case Op::DeleteByIds: {
        std::vector<unsigned> k = op.keys;
        return ZELDeleteItemsByID(unit, k.data(), static_cast<int>(k.size()));
    }
    case Op::DeleteByTypes: {
        std::vector<unsigned> k = op.keys;
        return ZELDeleteItemsByType(unit, k.data(), static_cast<int>(k.size()));
    }
    case Op::DeleteType: return ZELDeleteDirectoryItem(unit, op.item);
    case Op::WriteMaps: {
        std::vector<_direntry> maps = op.maps;
        std::vector<unsigned char*> contents;
        for (const auto& d : op.mapData) contents.push_back(const_cast<unsigned char*>(d.data()));
        return ZELWriteMap(unit, maps.data(), contents.data(), static_cast<int>(maps.size()), op.mapSet, 0);
    }
    case Op::ClearSectorZero: return ZELClearSectorZero(unit);
    }
    return 0;
}

Items expectedAfter(const Items& before, const Op& op) {
    Items after = before;
    switch (op.kind) {
    case Op::Write:
        dropIf(after, [&](const Key& k) { return k.first == 0; });
        after[{+op.item.type, +op.item.id}] = op.data;
        break;
    case Op::ReplaceByType:
        dropIf(after, [&](const Key& k) { return k.first == 0 || k.first == op.item.type; });
        after[{+op.item.type, +op.item.id}] = op.data;
        break;
    case Op::DeleteByIds: dropIf(after, [&](const Key& k) { return hasKey(op.keys, k.second); }); break;
    case Op::DeleteByTypes: dropIf(after, [&](const Key& k) { return hasKey(op.keys, k.first); }); break;
    case Op::DeleteType: dropIf(after, [&](const Key& k) { return k.first == op.item.type; }); break;
    case Op::WriteMaps:
        dropIf(after, [&](const Key& k) { return droppedByMaps(k, op); });
        for (size_t i = 0; i < op.maps.size(); ++i) after[{kMap, +op.maps[i].id}] = op.mapData[i];
        break;
    case Op::ClearSectorZero: break;
    }
    return after;
}

Allowed allowedDuring(const Items& before, const Op& op) {
    Allowed a;
    const Items after = expectedAfter(before, op);
    for (const auto& [k, bytes] : before) {
        auto it = after.find(k);
        if (it == after.end() || it->second != bytes) a.mayGo.insert(k);
    }
    // A map write may already have dropped what its second plan drops.
    if (op.kind == Op::WriteMaps)
        for (const auto& [k, bytes] : before)
            if (droppedByMaps(k, op)) a.mayGo.insert(k);
    for (const auto& [k, bytes] : after) {
        auto it = before.find(k);
        if (it == before.end() || it->second != bytes) a.mayCome[k] = bytes;
    }
    if (op.kind == Op::WriteMaps)
        for (size_t i = 0; i < op.maps.size(); ++i) a.mayCome[{kMapInProgress, +op.maps[i].id}] = op.mapData[i];
    return a;
}

std::string judgeCut(const Items& before, const Allowed& allowed, const Items& now) {
    for (const auto& [k, bytes] : before) {
        if (allowed.mayGo.count(k)) continue;
        auto it = now.find(k);
        if (it == now.end()) return "item " + std::to_string(k.first) + "/" + std::to_string(k.second) + " lost";
        if (it->second != bytes)
            return "item " + std::to_string(k.first) + "/" + std::to_string(k.second) + " damaged";
    }
    for (const auto& [k, bytes] : now) {
        auto b = before.find(k);
        if (b != before.end() && b->second == bytes) continue;
        auto c = allowed.mayCome.find(k);
        if (c != allowed.mayCome.end() && c->second == bytes) continue;
        return "item " + std::to_string(k.first) + "/" + std::to_string(k.second) +
               (b != before.end() || c != allowed.mayCome.end() ? " holds wrong bytes" : " should not be there");
    }
    return "";
}

Items itemsOnUnit(const FlashUnit& u, std::string& why) { return itemsOnUnit(u, u.stored(), why); }

Items itemsOnUnit(const FlashUnit& u, const vunit::Storage& s, std::string& why) {
    Items items;
    const Listing d = readListing(u.unit);
    if (d.result < 0) {
        why = "the directory does not read";
        return items;
    }
    for (const _direntry& e : d.entries) {
        const auto& sector = s.sectors[e.address >> 16];
        const size_t at = e.address & 0xFFFF;
        std::vector<uint8_t> bytes;
        if (sector.size() >= at + e.size)
            bytes.assign(sector.begin() + static_cast<std::ptrdiff_t>(at),
                         sector.begin() + static_cast<std::ptrdiff_t>(at + e.size));
        else
            why = "an entry points past its sector";
        if (!items.emplace(Key{+e.type, +e.id}, std::move(bytes)).second) why = "an item is listed twice";
    }
    // The unit's own reader must see the same directory.
    const auto own = vfactory::readDirectory(s, u.identity);
    if (d.result == 1 && (!own || own->entries.size() != d.entries.size() || own->sector != d.directorySector))
        why = "the unit's own reader disagrees";
    return items;
}

std::vector<uint8_t> OpSource::contents(unsigned id, size_t size) {
    // Written pages, then erased ones as in a log file: few pages to send.
    std::vector<uint8_t> b(size, 0xFF);
    const size_t written = std::min<size_t>(size, static_cast<size_t>(pick(1, 700)));
    for (size_t i = 0; i < written; ++i) b[i] = static_cast<uint8_t>((id * 131 + i * 7 + (rng() & 3)) & 0x7F);
    return b;
}

Op OpSource::next(const Items& now) {
    Op op;
    auto size = [&]() -> uint16_t {
        switch (pick(0, 3)) {
        case 0: return static_cast<uint16_t>(pick(0, 400));
        case 1: return static_cast<uint16_t>(pick(400, 8000));
        case 2: return static_cast<uint16_t>(pick(8000, 30000));
        default: return static_cast<uint16_t>(pick(30000, 62000));
        }
    };
    auto existing = [&]() -> Key {
        auto it = now.begin();
        std::advance(it, pick(0, static_cast<int>(now.size()) - 1));
        return it->first;
    };
    const int roll = pick(0, 99);
    if (roll < 50 || now.empty()) {
        op.kind = Op::Write;
        const bool again = !now.empty() && pick(0, 2) == 0;
        const Key k = again ? existing() : Key{kTypes[static_cast<size_t>(pick(0, 7))], nextId++};
        op.item = {0, static_cast<unsigned char>(k.first), k.second, size()};
        op.data = contents(k.second, op.item.size);
    } else if (roll < 58) {
        op.kind = Op::ReplaceByType; // of a type that only replacements write
        op.item = {0, static_cast<unsigned char>(pick(0x01, 0x02)), nextId++, size()};
        op.data = contents(op.item.id, op.item.size);
    } else if (roll < 68) {
        op.kind = Op::DeleteByIds;
        for (int i = pick(0, 2); i > 0; --i) op.keys.push_back(existing().second);
    } else if (roll < 71) {
        op.kind = Op::DeleteByTypes;
        for (int i = pick(0, 1); i > 0; --i) op.keys.push_back(kTypes[static_cast<size_t>(pick(0, 7))]);
    } else if (roll < 73) {
        op.kind = Op::DeleteType;
        op.item.type = static_cast<unsigned char>(existing().first);
    } else if (roll < 95) {
        op.kind = Op::WriteMaps;
        op.mapSet = static_cast<unsigned>(pick(1, 3));
        const unsigned low = static_cast<unsigned>(pick(1, 4));
        for (int i = pick(0, 3); i > 0; --i) {
            const unsigned id = op.mapSet << 8 | static_cast<unsigned>(pick(0, 3)) << 4 | low;
            bool seen = false;
            for (const _direntry& m : op.maps) seen = seen || m.id == id;
            if (seen) continue;
            op.maps.push_back({0, 0, id, static_cast<uint16_t>(size() / 2)});
            op.mapData.push_back(contents(id, op.maps.back().size));
        }
    } else {
        op.kind = Op::ClearSectorZero;
    }
    return op;
}

Layout crowdedLayout(uint8_t chipCode, std::array<uint8_t, 4> chips, double fill, OpSource& source) {
    Layout l;
    l.chipCode = chipCode;
    l.chips = chips;
    const vunit::Identity id = identityOf(vunit::Kind::Packet, chipCode, chips);
    const auto map = vunit::sectorMapOf(id);
    std::vector<int> present;
    for (int s = 0; s < 256; ++s)
        if (map[static_cast<size_t>(s)] && s < vunit::sectorCountOf(id)) present.push_back(s);
    // The first sector stays empty: the spare.
    for (size_t p = 1; p < present.size() && l.items.size() < 200; ++p) {
        uint32_t used = p == 1 ? 2600 : 0; // the directory sector keeps room for its directory
        const auto want = static_cast<uint32_t>(fill * 65000 * (0.6 + 0.4 * source.pick(0, 100) / 100.0));
        while (used < want && l.items.size() < 200) {
            const auto size = static_cast<uint16_t>(std::min<uint32_t>(want - used, static_cast<uint32_t>(source.pick(200, 30000))));
            const unsigned itemId = source.nextId++;
            vfactory::Item it{static_cast<uint8_t>(kTypes[static_cast<size_t>(source.pick(0, 7))]), itemId,
                              source.contents(itemId, size), present[p]};
            l.items.push_back(std::move(it));
            used += size;
        }
    }
    l.directorySector = present.size() > 1 ? present[1] : -1;
    return l;
}

Items itemsOf(const Layout& layout) {
    Items items;
    for (const vfactory::Item& it : layout.items) items[{+it.type, +it.id}] = it.contents;
    return items;
}

} // namespace flashtest
