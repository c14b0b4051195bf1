#include "application_flash.h"

#include "../commands/exchange.h"
#include "../link/transport.h"
#include "zelusb.h"

#include <cstring>

using namespace zel;

namespace {
constexpr Exchange kRead{9, 0x12, 0x13};
constexpr Exchange kWrite{1, 0x10, 0x11};

bool addressCommand(int unit, uint8_t code, uint16_t address) {
    uint8_t request[3] = {code, static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)};
    uint8_t answer[28];
    answer[0] = 0; // a shorter answer leaves the rest as it was
    return ZELDoTransaction(unit, request, sizeof request, answer, sizeof answer, kResponseTimeoutMs) && answer[0] == 1;
}
} // namespace

namespace zel {
bool eraseProgramBlock(int unit, uint16_t address) { return addressCommand(unit, 0x1C, address); }
bool startBootloaderAt(int unit, uint16_t address) { return addressCommand(unit, 0x16, address); }
} // namespace zel

int ZELReadFlash(int unit, unsigned short address, unsigned char* buffer, unsigned short wordCount) {
    if (!buffer && wordCount) return 0;
    std::vector<uint8_t> request{0x10};
    put16(request, address);
    put16(request, wordCount);
    std::vector<uint8_t> answer;
    if (!exchange(unit, request, kRead, answer)) return 0;
    const size_t bytes = 2 * static_cast<size_t>(wordCount);
    // An answer too short for the words asked for is no answer to this read.
    if (answer.size() < 1 + bytes) {
        setError(unit, static_cast<uint32_t>(kRead.refusedOp) << 24, 0);
        return 0;
    }
    if (bytes) std::memcpy(buffer, answer.data() + 1, bytes);
    return 1;
}

int ZELWriteFlash(int unit, unsigned short address, unsigned char* buffer, unsigned short wordCount) {
    if (!buffer && wordCount) return 0;
    std::vector<uint8_t> request{0x11};
    put16(request, address);
    if (wordCount) request.insert(request.end(), buffer, buffer + 2 * static_cast<size_t>(wordCount));
    std::vector<uint8_t> answer;
    return exchange(unit, request, kWrite, answer) ? 1 : 0;
}

int ZELBootloader(int, char*, char*) { return 0; }
