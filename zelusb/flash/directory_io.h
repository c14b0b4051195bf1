// The directory on the unit: reading it with a stated room, and the steps
// every change is made of (erase the spare, copy items into it, write the new
// directory). Device I/O only; the decisions are in the pure files.
#pragma once

#include "rotation.h"
#include "zelusb.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zel {

// ZELReadDirectoryAndSectors with the caller's room: `entries` holds `room`
// entries; a chain that lists more, or links more blocks than `room` + 1, is
// refused (-1) without writing past it.
int readDirectoryEntries(int unit, int& directorySector, unsigned short& sectorCount, _direntry* entries, int& count,
                         int room, unsigned char* sectorMap);

struct DirectoryRead {
    int result = -1;          // as ZELReadDirectoryAndSectors
    int directorySector = -1; // -1 when the unit has none
    unsigned short sectorCount = 0;
    std::vector<_direntry> entries;
    std::array<uint8_t, 256> map{};
};
// The whole directory, room for 256 entries.
DirectoryRead readDirectory(int unit);

// Erases a sector, printing "Erasing addr=%u..." and "DONE".
bool eraseSector(int unit, int sector);

struct CopyOptions {
    bool announce = false;    // "Copying..." and "DONE" around each copy
    bool cancellable = false; // the cancel flag is tested before each copy
};
bool copyItems(int unit, const std::vector<MemoryCopy>& copies, CopyOptions options);

int writeDirectory(int unit, int newSector, int oldSector, std::vector<_direntry>& list);

} // namespace zel
