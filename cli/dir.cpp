// bexolog dir: the unit's directory, then how full each sector is.
#include "commands.h"
#include "unit_session.h"

#include <algorithm>
#include <cstdio>

namespace {

// Bytes at the top of a sector that a directory of n entries takes.
unsigned directoryBytes(size_t n) {
    if (n <= 22) return 256;
    return static_cast<unsigned>(256 * ((n - 1) / 22) + 11 * ((n - 1) % 22 + 1) + 11);
}

void runDir(const UnitChoice& choice) {
    UnitSession session("bexolog dir", choice);
    session.open(true);
    DirectoryListing d = readListing(session);
    if (d.result == 0) {
        std::printf("The unit has no directory.\n");
        return;
    }
    ZELPrintDirectory(d.entries.data(), static_cast<int>(d.entries.size()));
    std::fflush(stdout);
    std::printf("\nsector  items  item bytes  directory  free bytes\n");
    for (int s = 0; s < d.sectorCount && s < 256; ++s) {
        if (!d.map[s]) continue;
        unsigned items = 0, used = 0, end = 0;
        for (const _direntry& e : d.entries) {
            if (static_cast<int>(e.address >> 16) != s) continue;
            ++items;
            used += e.size;
            end = std::max(end, (e.address & 0xFFFFu) + e.size);
        }
        const unsigned directory = s == d.directorySector ? directoryBytes(d.entries.size()) : 0;
        const unsigned free = end + directory >= 65536 ? 0 : 65536 - end - directory;
        std::printf("%6d  %5u  %10u  %9u  %10u\n", s, items, used, directory, free);
    }
}

} // namespace

void addDirCommand(CLI::App& app) {
    CLI::App* cmd = app.add_subcommand("dir", "List the unit's directory and the used and free bytes of each sector.");
    auto choice = std::make_shared<UnitChoice>();
    addUnitOptions(cmd, *choice);
    cmd->callback([choice] { runDir(*choice); });
}
