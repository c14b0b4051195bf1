#include "vfactory/eeprom.h"

namespace vfactory {

namespace {

constexpr std::size_t kReadByExport = 124;
constexpr std::size_t kFamily = 0, kSerial = 2, kVolume = 6, kBatterySaver = 45;

} // namespace

std::array<uint8_t, vunit::kEepromSize> makeEeprom(const EepromSettings& s) {
    std::array<uint8_t, vunit::kEepromSize> e{};
    e.fill(0xFF);
    for (std::size_t i = 0; i < kReadByExport; ++i) e[i] = 0;
    e[kFamily] = static_cast<uint8_t>(s.family);
    e[kFamily + 1] = static_cast<uint8_t>(s.family >> 8);
    for (std::size_t i = 0; i < 4; ++i) e[kSerial + i] = static_cast<uint8_t>(s.serial >> (8 * i));
    e[kVolume] = s.volume;
    e[kBatterySaver] = static_cast<uint8_t>(s.batterySaverSeconds);
    e[kBatterySaver + 1] = static_cast<uint8_t>(s.batterySaverSeconds >> 8);
    return e;
}

EepromSettings readEepromSettings(const std::array<uint8_t, vunit::kEepromSize>& e) {
    EepromSettings s;
    s.family = static_cast<uint16_t>(e[kFamily] | e[kFamily + 1] << 8);
    s.serial = 0;
    for (std::size_t i = 0; i < 4; ++i) s.serial |= static_cast<uint32_t>(e[kSerial + i]) << (8 * i);
    s.volume = e[kVolume];
    s.batterySaverSeconds = static_cast<uint16_t>(e[kBatterySaver] | e[kBatterySaver + 1] << 8);
    return s;
}

} // namespace vfactory
