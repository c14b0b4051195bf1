// How every change of the directory begins: progress posted, the directory
// read with the sector map, the spare found.
#pragma once

#include "directory_io.h"

namespace zel {

enum class ChangeKind { Write, Delete };

struct ChangeStart {
    DirectoryRead directory; // directorySector -1 when the unit has none
    int spare = -1;
};

// False when the directory cannot be read (0x1B000000 ORed in) or there is
// no spare (said on standard output). Writes clear the cancel flag first.
bool beginChange(int unit, ChangeKind kind, ChangeStart& start);

// Retires every valid marker above the directory sector (a power cut
// between a new directory's marker and the old one's retirement leaves one),
// so that no later directory can fall below it. False when a read or write
// failed.
bool retireStrayDirectories(int unit, const DirectoryRead& directory);

} // namespace zel
