// Reading a flash range in chunks into a host file and/or a buffer, with an
// early stop at the erased tail of a log file.
#include "../link/status.h"
#include "../link/transport.h"
#include "cancel.h"
#include "flash_errors.h"
#include "host_file.h"
#include "zelusb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace zel;

namespace {
constexpr unsigned long kStreamChunk = 100;
constexpr unsigned long kPacketChunk = 4075;
constexpr int kErasedRun = 5;

bool hasErasedRun(const uint8_t* bytes, unsigned long n) {
    for (long i = 0; i < static_cast<long>(n) - (kErasedRun - 1); ++i) {
        bool erased = true;
        for (int k = 0; k < kErasedRun && erased; ++k) erased = bytes[i + k] == 0xFF;
        if (erased) return true;
    }
    return false;
}
} // namespace

int ZELReadFile(int unit, unsigned long address, unsigned long& length, char* fileName, char* buffer,
                int stopAtErased) {
    UnitRecord* u = record(unit);
    if (!u) return 0;
    clearCancel(unit);
    const unsigned long cap = isStreamUnit(unit) ? kStreamChunk : kPacketChunk;
    std::FILE* file = nullptr;
    if (fileName) {
        file = openHostFile(unit, fileName, "w+b");
        if (!file) return 0;
    }
    const int range = static_cast<int>(length);
    unsigned long remaining = length, position = 0;
    unsigned long chunk = std::min(remaining, cap);
    setError(unit, 0, 0);
    postStatus(unit, ZEL_STATUS_FILE_READ, 0, range);

    auto finish = [&](uint32_t failure) {
        if (failure) u->errorCode |= failure;
        if (file) std::fclose(file);
        length = position;
        return failure ? 0 : 1;
    };
    std::vector<uint8_t> bytes(cap);
    while (remaining != 0) {
        if (u->cancel) {
            postStatus(unit, ZEL_STATUS_CANCELLED, 0, 0);
            u->cancel = false;
            return finish(kCancelled);
        }
        auto n = static_cast<unsigned short>(chunk);
        if (!ZELReadMemory(unit, static_cast<unsigned int>(address), bytes.data(), n)) {
            if (errorCode(unit) != kShortOrWrongReply) return finish(kReadFailed);
            // A short or wrong reply says how much came; once more with that,
            // unless nothing came (no progress) or it claims more than asked.
            if (n == 0) return finish(kReadFailed);
            chunk = std::min<unsigned long>(n, chunk);
            n = static_cast<unsigned short>(chunk);
            if (!ZELReadMemory(unit, static_cast<unsigned int>(address), bytes.data(), n)) return finish(kReadFailed);
        }
        if (file && std::fwrite(bytes.data(), 1, chunk, file) != chunk) return finish(kFileError);
        if (buffer) std::memcpy(buffer + position, bytes.data(), chunk);
        remaining -= chunk;
        address += chunk;
        position += chunk;
        postStatus(unit, ZEL_STATUS_FILE_READ, static_cast<int>(position), range);
        if (stopAtErased && hasErasedRun(bytes.data(), chunk)) {
            postStatus(unit, ZEL_STATUS_FILE_READ, static_cast<int>(position), static_cast<int>(position));
            return finish(0);
        }
        chunk = std::min(remaining, cap);
    }
    return finish(0);
}
