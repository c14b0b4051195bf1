#include "chip_table.h"

namespace zel {

namespace {
constexpr FirmwareChip kPic16F877A{"PIC16F877A", 8192, 4, 1, 4, 4, false, false, 0};
constexpr FirmwareChip kPic18F4525{"PIC18F4525", 0xC000, 10, 2, 32, 64, true, false, 0};
constexpr FirmwareChip kPic18F4520{"PIC18F4520", 0x8000, 10, 2, 32, 64, true, false, 0};
constexpr FirmwareChip kPic18F4550{"PIC18F4550", 0x8000, 10, 2, 32, 64, true, true, 0x7FC0};
} // namespace

const FirmwareChip* firmwareChipOf(uint16_t cpuId) {
    switch (cpuId & 0xFFF0) {
    case 0x0000:
    case 0x0E20: return &kPic16F877A;
    case 0x0C40: return &kPic18F4525;
    case 0x1080: return &kPic18F4520;
    case 0x1200: return &kPic18F4550;
    default: return nullptr;
    }
}

const char* cpuNameOf(uint16_t cpuId) {
    const FirmwareChip* chip = firmwareChipOf(cpuId);
    return chip ? chip->name : "UNSUPPORTED";
}

} // namespace zel
