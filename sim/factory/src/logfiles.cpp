#include "vfactory/logfiles.h"

#include "vfactory/layout.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace vfactory {

namespace {

Directory needDirectory(const vunit::Storage& storage, const vunit::Identity& identity) {
    auto dir = readDirectory(storage, identity);
    if (!dir) throw std::invalid_argument("the unit has no directory");
    return *dir;
}

uint8_t* bytesAt(vunit::Storage& storage, uint32_t address) {
    return &storage.sectors[static_cast<std::size_t>(sectorOf(address))][offsetOf(address)];
}

const uint8_t* bytesAt(const vunit::Storage& storage, uint32_t address) {
    return &storage.sectors[static_cast<std::size_t>(sectorOf(address))][offsetOf(address)];
}

void checkInside(const vunit::Storage& storage, const DirEntry& e) {
    const auto s = static_cast<std::size_t>(sectorOf(e.address));
    if (s >= storage.sectors.size() || offsetOf(e.address) + e.size > storage.sectors[s].size())
        throw std::invalid_argument("directory entry " + std::to_string(e.id) + " lies outside the unit's flash");
}

} // namespace

std::vector<DirEntry> layOutLogFiles(vunit::Storage& storage, const vunit::Identity& identity) {
    Directory dir = needDirectory(storage, identity);
    for (const DirEntry& e : dir.entries)
        if (e.type == kLogFileType) throw std::invalid_argument("the unit already has log files");
    const auto plan = planLogFiles(vunit::sectorMapOf(identity), vunit::sectorCountOf(identity), dir.entries);

    std::array<uint32_t, vunit::kMaxSectors> end{};
    for (const DirEntry& e : dir.entries) {
        if (sectorOf(e.address) >= vunit::kMaxSectors) continue;
        auto& at = end[static_cast<std::size_t>(sectorOf(e.address))];
        at = std::max(at, offsetOf(e.address) + e.size);
    }
    const uint32_t dirBytes = directorySize(dir.entries.size() + plan.size());
    std::vector<DirEntry> files;
    for (std::size_t k = 0; k < plan.size(); ++k) {
        const int s = plan[k].sector;
        uint32_t& at = end[static_cast<std::size_t>(s)];
        const uint32_t limit = vunit::kSectorSize - (s == dir.sector ? dirBytes : 0);
        const auto& bytes = storage.sectors[static_cast<std::size_t>(s)];
        if (at + plan[k].size > limit)
            throw std::invalid_argument("log file " + std::to_string(k) + " does not fit in sector " + std::to_string(s));
        if (!std::all_of(bytes.begin() + at, bytes.begin() + at + plan[k].size, [](uint8_t b) { return b == 0xFF; }))
            throw std::invalid_argument("sector " + std::to_string(s) + " holds data no directory entry lists");
        files.push_back({flashAddress(s, at), kLogFileType, kFirstLogId + static_cast<uint32_t>(k), plan[k].size});
        at += plan[k].size;
    }
    dir.entries.insert(dir.entries.end(), files.begin(), files.end());
    rewriteDirectory(storage, dir);
    return files;
}

void removeLogFiles(vunit::Storage& storage, const vunit::Identity& identity) {
    Directory dir = needDirectory(storage, identity);
    std::array<bool, vunit::kMaxSectors> touched{};
    std::vector<DirEntry> kept;
    for (const DirEntry& e : dir.entries) {
        checkInside(storage, e);
        if (e.type == kLogFileType)
            touched[static_cast<std::size_t>(sectorOf(e.address))] = true;
        else
            kept.push_back(e);
    }
    for (int s = 0; s < vunit::kMaxSectors; ++s) {
        if (!touched[static_cast<std::size_t>(s)]) continue;
        auto& bytes = storage.sectors[static_cast<std::size_t>(s)];
        const std::vector<uint8_t> old = bytes;
        std::fill(bytes.begin(), bytes.end(), uint8_t{0xFF});
        // Lowest first, so each item moves down or stays.
        std::vector<DirEntry*> here;
        for (DirEntry& e : kept)
            if (sectorOf(e.address) == s) here.push_back(&e);
        std::sort(here.begin(), here.end(), [](const DirEntry* a, const DirEntry* b) { return a->address < b->address; });
        uint32_t at = 0;
        for (DirEntry* e : here) {
            std::copy_n(old.begin() + offsetOf(e->address), e->size, bytes.begin() + at);
            e->address = flashAddress(s, at);
            at += e->size;
        }
        storage.dirtySectors[static_cast<std::size_t>(s)] = true;
    }
    dir.entries = kept;
    rewriteDirectory(storage, dir);
}

std::vector<DirEntry> logFiles(const vunit::Storage& storage, const vunit::Identity& identity) {
    std::vector<DirEntry> files;
    if (auto dir = readDirectory(storage, identity))
        for (const DirEntry& e : dir->entries)
            if (e.type == kLogFileType) {
                checkInside(storage, e);
                files.push_back(e);
            }
    return files;
}

std::vector<uint8_t> logImage(const vunit::Storage& storage, const vunit::Identity& identity) {
    std::vector<uint8_t> image;
    for (const DirEntry& e : logFiles(storage, identity)) {
        const uint8_t* p = bytesAt(storage, e.address);
        image.insert(image.end(), p, p + e.size);
    }
    return image;
}

LogSpace logSpace(const vunit::Storage& storage, const vunit::Identity& identity) {
    const std::vector<uint8_t> image = logImage(storage, identity);
    LogSpace space;
    space.capacity = image.size();
    const auto last = std::find_if(image.rbegin(), image.rend(), [](uint8_t b) { return b != 0xFF; });
    space.used = static_cast<std::size_t>(image.rend() - last);
    return space;
}

std::size_t appendLog(vunit::Storage& storage, const vunit::Identity& identity, const std::vector<uint8_t>& bytes) {
    const LogSpace space = logSpace(storage, identity);
    if (space.used + bytes.size() > space.capacity)
        throw std::invalid_argument("the log files have " + std::to_string(space.capacity - space.used) +
                                    " bytes left, the log needs " + std::to_string(bytes.size()));
    std::size_t fileStart = 0, written = 0;
    for (const DirEntry& e : logFiles(storage, identity)) {
        const std::size_t fileEnd = fileStart + e.size;
        const std::size_t from = std::max(fileStart, space.used + written);
        if (written < bytes.size() && from < fileEnd) {
            const std::size_t n = std::min(fileEnd - from, bytes.size() - written);
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(written), n,
                        bytesAt(storage, e.address) + (from - fileStart));
            storage.dirtySectors[static_cast<std::size_t>(sectorOf(e.address))] = true;
            written += n;
        }
        fileStart = fileEnd;
    }
    return space.used;
}

} // namespace vfactory
