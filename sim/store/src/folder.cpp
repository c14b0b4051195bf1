#include "vstore/folder.h"

#include "conf.h"
#include "files.h"
#include "platform.h"
#include "vstore/armed_faults.h"
#include "vstore/lock.h"

#include <algorithm>
#include <stdexcept>

namespace vunit {

namespace fs = std::filesystem;

namespace {

bool allErased(const std::vector<uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

[[noreturn]] void damaged(const fs::path& file, const std::string& why) {
    throw std::runtime_error(file.string() + ": " + why);
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes, platform::Sync sync) {
    platform::replaceFile(path, bytes.data(), bytes.size(), sync);
}

// An erased sector has no file: most of a big unit stays erased.
void saveSector(const fs::path& dir, int s, const std::vector<uint8_t>& bytes, platform::Sync sync) {
    const fs::path file = files::sectorFile(dir, s);
    if (allErased(bytes)) {
        std::error_code ec;
        fs::remove(file, ec);
        if (ec) throw std::runtime_error("cannot remove " + file.string() + ": " + ec.message());
    } else {
        writeBytes(file, bytes, sync);
    }
}

void checkShape(const Identity& id, const Storage& storage) {
    const auto map = sectorMapOf(id);
    for (int s = 0; s < kMaxSectors; ++s) {
        const std::size_t want = map[static_cast<std::size_t>(s)] ? kSectorSize : 0;
        if (storage.sectors[static_cast<std::size_t>(s)].size() != want)
            throw std::runtime_error("sector " + std::to_string(s) + " holds " +
                                     std::to_string(storage.sectors[static_cast<std::size_t>(s)].size()) +
                                     " bytes; this unit's sector map wants " + std::to_string(want));
    }
}

void loadFlash(const fs::path& dir, const std::array<uint8_t, kMaxSectors>& map, Storage& storage) {
    const fs::path flash = dir / files::kFlash;
    std::error_code ec;
    if (!fs::is_directory(flash, ec)) return;
    for (const auto& entry : fs::directory_iterator(flash)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) continue; // torn write
        const int s = files::sectorOfName(name);
        if (s < 0) damaged(entry.path(), "not a sector file (expected NNN.bin)");
        if (!map[static_cast<std::size_t>(s)]) damaged(entry.path(), "sector " + std::to_string(s) + " is not present on this unit");
        auto bytes = files::readBytes(entry.path());
        if (!bytes || bytes->size() != kSectorSize)
            damaged(entry.path(), "a sector file holds exactly 65536 bytes");
        storage.sectors[static_cast<std::size_t>(s)] = std::move(*bytes);
    }
}

// What an earlier, interrupted creation may have left behind.
void removeLeftovers(const fs::path& dir) {
    std::vector<fs::path> stale = {dir / files::kEeprom, dir / files::kProgram, dir / files::kState, dir / files::kFaults};
    for (const auto& entry : fs::directory_iterator(dir / files::kFlash)) stale.push_back(entry.path());
    for (const fs::path& file : stale) {
        std::error_code ec;
        fs::remove(file, ec);
        if (ec) throw std::runtime_error("cannot remove " + file.string() + ": " + ec.message());
    }
}

} // namespace

bool isUnitFolder(const fs::path& dir) {
    std::error_code ec;
    return fs::is_regular_file(dir / files::kConfig, ec);
}

void createUnitFolder(const fs::path& dir, const Identity& identity, const Storage& storage, const FolderOptions& options) {
    checkShape(identity, storage);
    std::error_code ec;
    fs::create_directories(dir / files::kFlash, ec);
    if (ec) throw std::runtime_error("cannot make " + (dir / files::kFlash).string() + ": " + ec.message());
    FolderLock lock = tryLockUnitFolder(dir);
    if (!lock.held()) throw std::runtime_error(dir.string() + " is in use by another program");
    if (isUnitFolder(dir)) throw std::runtime_error(dir.string() + " already holds a unit");

    Identity stored = identity;
    if (stored.path.empty()) stored.path = fs::absolute(dir).lexically_normal().string();
    // Only unit.conf, written last, is flushed: until it is there the folder
    // is no unit, and a half-made one is made again from scratch.
    removeLeftovers(dir);
    const auto fast = platform::Sync::Atomic;
    for (int s = 0; s < kMaxSectors; ++s) {
        const auto& bytes = storage.sectors[static_cast<std::size_t>(s)];
        if (!bytes.empty()) saveSector(dir, s, bytes, fast);
    }
    writeBytes(dir / files::kEeprom, std::vector<uint8_t>(storage.eeprom.begin(), storage.eeprom.end()), fast);
    if (storage.programFlash != blankStorage(identity).programFlash)
        writeBytes(dir / files::kProgram, storage.programFlash, fast);
    files::writeText(dir / files::kState, conf::formatState(storage), fast);
    files::writeText(dir / files::kConfig, conf::formatConfig(stored, options), platform::Sync::Durable);
}

namespace {
void loadConfig(const fs::path& dir, Identity& identity, FolderOptions& options) {
    const fs::path confFile = dir / files::kConfig;
    const auto text = files::readText(confFile);
    if (!text) throw std::runtime_error(dir.string() + " holds no virtual unit (no " + files::kConfig + ")");
    try {
        conf::parseConfig(*text, identity, options);
    } catch (const std::runtime_error& e) {
        damaged(confFile, e.what());
    }
    if (identity.path.empty()) identity.path = fs::absolute(dir).lexically_normal().string();
}
} // namespace

Identity loadUnitIdentity(const fs::path& dir) {
    Identity identity;
    FolderOptions options;
    loadConfig(dir, identity, options);
    return identity;
}

UnitFolder loadUnitFolder(const fs::path& dir) {
    UnitFolder unit;
    loadConfig(dir, unit.identity, unit.options);

    unit.storage = blankStorage(unit.identity);
    loadFlash(dir, sectorMapOf(unit.identity), unit.storage);

    if (auto eeprom = files::readBytes(dir / files::kEeprom)) {
        if (eeprom->size() != kEepromSize) damaged(dir / files::kEeprom, "the EEPROM image holds exactly 256 bytes");
        std::copy(eeprom->begin(), eeprom->end(), unit.storage.eeprom.begin());
    }
    if (auto program = files::readBytes(dir / files::kProgram)) {
        if (program->size() != unit.storage.programFlash.size())
            damaged(dir / files::kProgram, "program flash of this CPU holds " +
                                               std::to_string(unit.storage.programFlash.size()) + " bytes, the file " +
                                               std::to_string(program->size()));
        unit.storage.programFlash = std::move(*program);
    }
    if (auto state = files::readText(dir / files::kState)) {
        try {
            conf::parseState(*state, unit.storage);
        } catch (const std::runtime_error& e) {
            damaged(dir / files::kState, e.what());
        }
    }
    unit.storage.dirtySectors.fill(false);
    unit.storage.eepromDirty = unit.storage.programFlashDirty = unit.storage.stateDirty = false;
    unit.faults = pendingFaults(dir);
    return unit;
}

void saveStorage(const fs::path& dir, Storage& storage, bool durable) {
    const platform::Sync sync = durable ? platform::Sync::Durable : platform::Sync::Atomic;
    for (int s = 0; s < kMaxSectors; ++s) {
        auto i = static_cast<std::size_t>(s);
        if (!storage.dirtySectors[i]) continue;
        if (!storage.sectors[i].empty()) saveSector(dir, s, storage.sectors[i], sync);
        storage.dirtySectors[i] = false;
    }
    if (storage.eepromDirty) {
        writeBytes(dir / files::kEeprom, std::vector<uint8_t>(storage.eeprom.begin(), storage.eeprom.end()), sync);
        storage.eepromDirty = false;
    }
    if (storage.programFlashDirty) {
        writeBytes(dir / files::kProgram, storage.programFlash, sync);
        storage.programFlashDirty = false;
    }
    if (storage.stateDirty) {
        files::writeText(dir / files::kState, conf::formatState(storage), sync);
        storage.stateDirty = false;
    }
}

void saveConfig(const fs::path& dir, const Identity& identity, const FolderOptions& options) {
    if (!isUnitFolder(dir)) throw std::runtime_error(dir.string() + " holds no virtual unit");
    files::writeText(dir / files::kConfig, conf::formatConfig(identity, options));
}

} // namespace vunit
