// The two boot-loader commands the identification sequence needs, and the
// sequence itself.
#include "../link/clock.h"
#include "../link/transport.h"
#include "../firmware/chip_table.h"
#include "zelusb.h"

#include <cstring>

using namespace zel;

int ZELUnframedGetCPUid(int unit, unsigned short* cpuId) {
    uint8_t request[7] = {0x07, 0, 0, 0, 0, 0, 0};
    uint8_t answer[7] = {};
    if (!ZELDoUnframedTransaction(unit, request, 7, answer, 7, 500, 0)) return 0;
    if (cpuId) *cpuId = static_cast<unsigned short>(answer[0] | (answer[1] << 8));
    return 1;
}

int ZELUnframedSetCounter(int unit, unsigned short value) {
    const uint8_t lo = static_cast<uint8_t>(value & 0xFF), hi = static_cast<uint8_t>(value >> 8);
    uint8_t request[7] = {0x01, lo, hi, 0, 0, 0, 0};
    uint8_t answer[7] = {};
    if (!ZELDoUnframedTransaction(unit, request, 7, answer, 7, 500, 0)) return 0;
    const uint8_t expected[7] = {lo, hi, 0xB5, 0xB4, 0xB3, 0xB2, 0xB1};
    return std::memcmp(answer, expected, 7) == 0 ? 1 : 0;
}

int ZELInitDevice(int unit, unsigned char* bootMode, unsigned short* usbVersion, unsigned short* firmwareVersion,
                  unsigned short* cpuId, unsigned char* memoryCode, char* cpuName) {
    ZELReframe(unit);
    fixedWait(2000);
    _ZEL_STATUS status{};
    if (!ZELStatus(unit, &status)) return 0;
    if (usbVersion) *usbVersion = static_cast<unsigned short>(status.b[2] * 256 + status.b[3]);
    const bool powered = status.b[1] & 1;
    if (!powered) {
        if (!ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 0}})) return 0;
        fixedWait(500);
    }
    ZELReframe(unit);
    uint8_t zeros[49] = {};
    ZELDoUnframedTransaction(unit, zeros, 49, nullptr, 0, 0, 0);

    unsigned short id = 0;
    if (ZELUnframedSetCounter(unit, 0)) {
        if (bootMode) *bootMode = 1;
        if (firmwareVersion) *firmwareVersion = 0;
        if (!ZELUnframedGetCPUid(unit, &id)) id = 0;
        if (cpuId) *cpuId = id;
    } else {
        if (bootMode) *bootMode = 0;
        if (!powered && !ZELPowerOn(unit)) return 0;
        ZELReframe(unit);
        uint8_t request = 0x0D;
        uint8_t answer[1024] = {};
        if (!ZELDoTransaction(unit, &request, 1, answer, sizeof answer, kResponseTimeoutMs) || answer[0] != 8)
            return 0;
        const unsigned short version = static_cast<unsigned short>(answer[1] * 256 + answer[2]);
        if (firmwareVersion) *firmwareVersion = version;
        if (memoryCode) *memoryCode = answer[3];
        if ((version >= 0x0116 && version <= 0x6300) || version >= 0x6307)
            id = static_cast<unsigned short>(answer[4] | (answer[5] << 8));
        if (cpuId) *cpuId = id;
    }
    if (cpuName) std::strcpy(cpuName, cpuNameOf(id));
    return 1;
}
