// EEPROM access and the family word that names its layout.
#include "../link/transport.h"
#include "exchange.h"
#include "zelusb.h"

#include <cstring>

using namespace zel;

int ZELReadEE(int unit, unsigned char address, unsigned char* buffer, unsigned char count) {
    std::vector<uint8_t> answer;
    if (!exchange(unit, {0x09, address, count}, Exchange{7, 0x0D, 0x0E}, answer)) return 0;
    // A unit that sent fewer bytes than asked leaves the rest of the buffer alone.
    const size_t n = std::min<size_t>(count, answer.size() - 1);
    if (buffer && n) std::memcpy(buffer, answer.data() + 1, n);
    return 1;
}

int ZELWriteEE(int unit, unsigned char address, unsigned char* data, unsigned char count) {
    std::vector<uint8_t> request(2u + (data ? count : 0u));
    request[0] = 0x08;
    request[1] = address;
    if (data && count) std::memcpy(request.data() + 2, data, count);
    std::vector<uint8_t> answer;
    return exchange(unit, request, Exchange{1, 0x0B, 0x0C}, answer) ? 1 : 0;
}

int ZELGetEEFamily(int unit, unsigned short& family) {
    // Zero-filled: a unit that answers with fewer bytes leaves the rest alone.
    uint8_t bytes[2] = {0, 0};
    if (!ZELReadEE(unit, 0, bytes, 2)) return 0;
    family = static_cast<unsigned short>(bytes[0] + 256 * bytes[1]);
    if ((family >= 0x6A01 && family <= 0x6AFF) || (family >= 0x6B01 && family <= 0x6BFF)) return 1;
    setError(unit, 0x0F000000, 0);
    return 0;
}

int ZELSetSerialNumber(int unit, unsigned int serialNumber) {
    unsigned short family;
    if (!ZELGetEEFamily(unit, family)) return 0;
    uint8_t bytes[4] = {static_cast<uint8_t>(serialNumber), static_cast<uint8_t>(serialNumber >> 8),
                        static_cast<uint8_t>(serialNumber >> 16), static_cast<uint8_t>(serialNumber >> 24)};
    return ZELWriteEE(unit, 2, bytes, 4);
}
