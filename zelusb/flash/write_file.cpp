// Writing a host file or a buffer into flash, a page at a time.
#include "../link/status.h"
#include "../link/transport.h"
#include "../link/unit_table.h"
#include "flash_errors.h"
#include "host_file.h"
#include "zelusb.h"

#include <cstdio>
#include <cstring>

using namespace zel;

namespace {
constexpr uint32_t kWriteError = 0x20000;
constexpr unsigned long kPage = 256;

bool allErased(const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (bytes[i] != 0xFF) return false;
    return true;
}
} // namespace

int ZELWriteFile(int unit, unsigned long address, unsigned long& length, char* fileName, unsigned char* buffer) {
    UnitRecord* u = record(unit);
    if (!u) return 0;
    std::FILE* file = nullptr;
    unsigned long total = length;
    if (fileName) {
        file = openHostFile(unit, fileName, "rb");
        if (!file) return 0;
        if (length == 0) total = 0xFFFFFFFFul;
    } else if (!buffer) {
        total = 0;
    }
    const int range = static_cast<int>(length);
    unsigned long chunk = kPage - (address % kPage);
    if (chunk > total) chunk = total;
    setError(unit, 0, 0);
    postStatus(unit, ZEL_STATUS_FILE_WRITE, 0, range);

    unsigned long position = 0, remaining = total;
    uint8_t page[kPage];
    auto finish = [&](uint32_t failure) {
        if (failure) u->errorCode |= failure;
        if (file) std::fclose(file);
        length = position;
        return failure ? 0 : 1;
    };
    while (remaining > 0) {
        if (u->cancel) {
            postStatus(unit, ZEL_STATUS_CANCELLED, 0, 0);
            u->cancel = false;
            return finish(kCancelled);
        }
        unsigned long taken;
        if (file) {
            taken = static_cast<unsigned long>(std::fread(page, 1, chunk, file));
        } else {
            std::memcpy(page, buffer + position, chunk);
            taken = chunk;
        }
        if (taken == 0) break;
        if (!allErased(page, taken) &&
            !ZELWriteMemory(unit, static_cast<unsigned int>(address), page, static_cast<unsigned short>(taken)))
            return finish(kWriteError);
        address += taken;
        position += taken;
        remaining -= taken;
        postStatus(unit, ZEL_STATUS_FILE_WRITE, static_cast<int>(position), range);
        chunk = remaining < kPage ? remaining : kPage;
    }
    return finish(0);
}
