// Log files (type 0x60): laid out empty the way the export program prepares
// the log space, then filled from their start as a unit logs, the files
// taken end to end in directory order.
#pragma once

#include "unit_state.h"
#include "vfactory/directory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vfactory {

constexpr uint8_t kLogFileType = 0x60;
constexpr uint32_t kFirstLogId = 1280;

struct PlannedFile {
    int sector = 0;
    uint16_t size = 0;
};

// The export program's plan for empty log files over the free space left by
// `entries` (a unit without log files), in sector order. The sectors are
// 0-255 by `map`; `sectorCount` bounds the count of usable sectors.
std::vector<PlannedFile> planLogFiles(const std::array<uint8_t, vunit::kMaxSectors>& map, int sectorCount,
                                      const std::vector<DirEntry>& entries);

// Lays the planned files out (ids 1280, 1281, ... in sector order), each
// after the last item of its planned sector, and appends them to the
// directory. Throws std::invalid_argument when the unit has no directory,
// already has log files, or a file does not fit where it is planned.
std::vector<DirEntry> layOutLogFiles(vunit::Storage& storage, const vunit::Identity& identity);

// Drops every log file from the directory and erases its bytes; the other
// items of those sectors move down to keep each sector packed from offset 0.
void removeLogFiles(vunit::Storage& storage, const vunit::Identity& identity);

// Log files in directory order.
std::vector<DirEntry> logFiles(const vunit::Storage& storage, const vunit::Identity& identity);

// The log files end to end: what the export program downloads.
std::vector<uint8_t> logImage(const vunit::Storage& storage, const vunit::Identity& identity);

struct LogSpace {
    std::size_t capacity = 0; // bytes in all log files
    std::size_t used = 0;     // up to and including the last byte logged
};
LogSpace logSpace(const vunit::Storage& storage, const vunit::Identity& identity);

// Writes `bytes` right after what is already logged, across file ends as
// needed. Throws std::invalid_argument (nothing written) when they do not
// fit. Returns the image offset they start at.
std::size_t appendLog(vunit::Storage& storage, const vunit::Identity& identity, const std::vector<uint8_t>& bytes);

} // namespace vfactory
