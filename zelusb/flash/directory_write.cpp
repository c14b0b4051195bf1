// Writing a directory into an erased sector: blocks, marker, then the old
// directory retired, each write followed by the unit's 100 ms.
#include "../link/clock.h"
#include "../link/transport.h"
#include "directory_format.h"
#include "directory_io.h"
#include "flash_errors.h"

using namespace zel;

namespace {
constexpr long kAfterDirectoryWriteMs = 100;

bool write(int unit, uint32_t address, std::vector<uint8_t> bytes) {
    if (!ZELWriteMemory(unit, address, bytes.data(), static_cast<unsigned short>(bytes.size()))) return false;
    fixedWait(kAfterDirectoryWriteMs);
    return true;
}
} // namespace

namespace zel {

int writeDirectory(int unit, int newSector, int oldSector, std::vector<_direntry>& list) {
    return ZELWriteDirectory(unit, newSector, oldSector, list.data(), static_cast<int>(list.size()));
}

} // namespace zel

int ZELWriteDirectory(int unit, int newSector, int oldSector, _direntry* entries, int count) {
    // A directory the library could not read back again, or one outside the
    // unit's sector numbers, is never started.
    if (newSector < 0 || newSector > 255 || oldSector < -1 || oldSector > 255 || count < 0 || count > kDirectoryRoom ||
        (count > 0 && !entries)) {
        setError(unit, kNoRoom, 0);
        return 0;
    }
    for (FlashWrite& w : encodeDirectory(newSector, entries, static_cast<size_t>(count)))
        if (!write(unit, w.address, std::move(w.bytes))) return 0;
    if (oldSector != -1 && oldSector != newSector)
        if (!write(unit, sectorAddress(oldSector) + kRetireOffset, {kRetired})) return 0;
    return 1;
}
