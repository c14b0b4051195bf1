// Finding and reading the directory: the lowest sector with a valid marker,
// then its chain of blocks.
#include "../link/transport.h"
#include "directory_format.h"
#include "directory_io.h"

#include <cstring>

using namespace zel;

namespace zel {

int readDirectoryEntries(int unit, int& directorySector, unsigned short& sectorCount, _direntry* entries, int& count,
                         int room, unsigned char* sectorMap) {
    unsigned char major = 0, minor = 0, code = 0, map[256] = {};
    unsigned int sectorSize = 0;
    if (!ZELGetVersionExtended(unit, major, minor, code, sectorCount, sectorSize, map)) return -1;
    if (sectorMap) std::memcpy(sectorMap, map, sizeof map);

    for (directorySector = 0; directorySector < sectorCount; ++directorySector) {
        if (!map[directorySector]) continue;
        setErrorCode(unit, 0);
        unsigned char top[2] = {};
        unsigned short n = 2;
        if (!ZELReadMemory(unit, sectorAddress(directorySector) + kRetireOffset, top, n)) return -1;
        if (isValidMarker(top[0], top[1])) break;
    }
    if (directorySector >= sectorCount) return 0;

    count = 0;
    uint32_t block = sectorAddress(directorySector) + kFirstBlockOffset;
    // A chain that loops, or lists more than the room, ends here.
    for (int blocks = 0; blocks <= room; ++blocks) {
        uint8_t bytes[kBlockBytes];
        unsigned short n = kBlockBytes;
        if (!ZELReadMemory(unit, block, bytes, n)) return -1;
        const DecodedBlock b = decodeBlock(bytes, n, entries, count, room);
        if (b.end == BlockEnd::Last) return 1;
        if (b.end != BlockEnd::Linked) return -1;
        block = b.next;
    }
    return -1;
}

DirectoryRead readDirectory(int unit) {
    DirectoryRead d;
    d.entries.resize(kDirectoryRoom);
    int count = 0;
    d.result = readDirectoryEntries(unit, d.directorySector, d.sectorCount, d.entries.data(), count, kDirectoryRoom,
                                    d.map.data());
    d.entries.resize(d.result == 1 ? static_cast<size_t>(count) : 0);
    if (d.result != 1) d.directorySector = -1;
    return d;
}

} // namespace zel

int ZELReadDirectoryAndSectors(int unit, int& directorySector, unsigned short& sectorCount, _direntry* entries,
                               int& count, unsigned char* sectorMap) {
    return readDirectoryEntries(unit, directorySector, sectorCount, entries, count, kDirectoryRoom, sectorMap);
}

int ZELReadDirectory(int unit, int& directorySector, unsigned short& sectorCount, _direntry* entries, int& count) {
    return ZELReadDirectoryAndSectors(unit, directorySector, sectorCount, entries, count, nullptr);
}
