#include "bootloader_commands.h"

#include "zelusb.h"

#include <cstring>

namespace zel {

namespace {
bool sendWithoutAnswer(int unit, uint8_t* request, unsigned length) {
    return ZELDoUnframedTransaction(unit, request, length, nullptr, 0, 0, 1) != 0;
}
} // namespace

bool bootWrite(int unit, const uint8_t* words, uint32_t count) {
    if (count != 1 && count != 3 && count != 24) return false;
    uint8_t request[49] = {};
    request[0] = count == 24 ? 5 : count == 3 ? 4 : 3;
    const unsigned bytes = 2 * count;
    std::memcpy(request + 1, words, bytes);
    return sendWithoutAnswer(unit, request, count == 24 ? 49 : 7);
}

bool bootErase(int unit) {
    uint8_t request[7] = {6, 0, 0, 0, 0, 0, 0};
    return sendWithoutAnswer(unit, request, sizeof request);
}

bool bootRead(int unit, uint8_t* answer) {
    uint8_t request[7] = {2, 0, 0, 0, 0, 0, 0};
    return ZELDoUnframedTransaction(unit, request, sizeof request, answer, 28, 5000, 0) != 0;
}

} // namespace zel
