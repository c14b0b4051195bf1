// Flash by address: read, program, erase, copy inside the unit, download mode.
#include "../commands/exchange.h"
#include "../link/clock.h"
#include "../link/transport.h"
#include "zelusb.h"

#include <cstdio>
#include <cstring>

using namespace zel;

int ZELReadMemory(int unit, unsigned int address, unsigned char* buffer, unsigned short& length) {
    std::vector<uint8_t> request{0x12};
    put32(request, address);
    put16(request, length);
    std::vector<uint8_t> answer;
    if (exchangeOutcome(unit, request, Exchange{6, 0x01, 0, 5000}, answer) == Outcome::NoAnswer) return 0;
    const size_t data = answer.empty() ? 0 : answer.size() - 1;
    if (!answer.empty() && answer[0] == 6 && data >= length) {
        if (length) std::memcpy(buffer, answer.data() + 1, length);
        return 1;
    }
    const unsigned short asked = length;
    length = static_cast<unsigned short>(data);
    setError(unit, 0x02000000, asked | (static_cast<uint32_t>(length) << 16));
    return 0;
}

int ZELWriteMemory(int unit, unsigned int address, unsigned char* data, unsigned short length) {
    std::vector<uint8_t> request{0x14};
    put32(request, address);
    if (length && data) request.insert(request.end(), data, data + length);
    std::vector<uint8_t> answer;
    return exchange(unit, request, Exchange{1, 0x03, 0x04}, answer) ? 1 : 0;
}

int ZELEraseMemory(int unit, unsigned int address) {
    std::vector<uint8_t> request{0x13};
    put32(request, address);
    std::vector<uint8_t> answer;
    if (!exchange(unit, request, Exchange{1, 0x05, 0x06}, answer)) return 0;
    request[0] = 0x23;
    if (exchangeOutcome(unit, request, Exchange{1, 0x05, 0}, answer) == Outcome::NoAnswer) return 0;
    if (!answer.empty() && answer[0] == 5) {
        fixedWait(3000); // the unit is still erasing
        return 1;
    }
    if (!answer.empty() && answer[0] == 1) return 1;
    setError(unit, 0x06000000, 0);
    return 0;
}

int ZELCopyMemory(int unit, unsigned int source, unsigned int destination, unsigned short count) {
    std::vector<uint8_t> request{0x15, static_cast<uint8_t>(source >> 16)};
    put16(request, source & 0xFFFF);
    request.push_back(static_cast<uint8_t>(destination >> 16));
    put16(request, destination & 0xFFFF);
    put16(request, count);
    std::vector<uint8_t> answer;
    switch (exchangeOutcome(unit, request, Exchange{1, 0x07, 0x08}, answer)) {
    case Outcome::Ok:
        return 1;
    case Outcome::NoAnswer:
        // A failed send says nothing; only a missing answer is "timed out".
        if ((errorCode(unit) & 0xFFFF) == kNoResponse)
            std::printf("CopyMemory (src=%u, dest=%u, bytes=%u) failed: timed out\n", source & 0xFFFF,
                        destination & 0xFFFF, static_cast<unsigned>(count));
        return 0;
    case Outcome::Refused:
        std::printf("CopyMemory failed: returned %u\n", answer.empty() ? 0u : static_cast<unsigned>(answer[0]));
        return 0;
    }
    return 0;
}

int ZELSetDownloadMode(int unit, unsigned char mode) {
    std::vector<uint8_t> answer;
    return exchange(unit, {static_cast<uint8_t>(mode ? 0x0A : 0x0B)}, Exchange{1, 0x09, 0x0A}, answer) ? 1 : 0;
}
