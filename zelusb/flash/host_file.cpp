#include "host_file.h"

#include "../link/transport.h"
#include "flash_errors.h"

namespace zel {

std::FILE* openHostFile(int unit, const char* name, const char* mode) {
    std::FILE* file = std::fopen(name, mode);
    if (!file) {
        std::printf("Error opening file.\n");
        setError(unit, kFileError, 0);
    }
    return file;
}

} // namespace zel
