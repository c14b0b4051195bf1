// ZELReadFlash and ZELWriteFlash: program words through the application, and
// their error words.
#include "../zelusb_virtual/opened.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

using namespace testunits;

namespace {

std::vector<unsigned char> counting(size_t n) {
    std::vector<unsigned char> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(i * 5 + 1);
    return b;
}

} // namespace

TEST(ProgramFlash, WordsWrittenAreReadBackAtTheirDeviceAddress) {
    Opened o;
    auto words = counting(256);
    ASSERT_EQ(ZELWriteFlash(o.unit, 0x2000, words.data(), 128), 1);
    std::vector<unsigned char> back(120, 0);
    ASSERT_EQ(ZELReadFlash(o.unit, 0x2000 + 2 * 60, back.data(), 60), 1); // byte addresses on a PIC18
    EXPECT_EQ(back, std::vector<unsigned char>(words.begin() + 120, words.begin() + 240));
    EXPECT_EQ(storedState(*o.plugged).programFlash[0x2000 + 255], words[255]);

    UnitSpec pic16;
    pic16.cpuId = 0x0E2A;
    Opened p(pic16);
    unsigned char two[4] = {0x34, 0x12, 0xFF, 0x3F};
    ASSERT_EQ(ZELWriteFlash(p.unit, 0x100, two, 2), 1);
    EXPECT_EQ(storedState(*p.plugged).programFlash[0x200], 0x34); // word addresses on the PIC16F877A
}

TEST(ProgramFlash, RefusedAndMissingAnswersLeaveTheirOperationCodes) {
    Opened o;
    std::vector<unsigned char> buffer(2 * 129, 0);
    unsigned long code = 0, detail = 7;
    EXPECT_EQ(ZELReadFlash(o.unit, 0, buffer.data(), 61), 0); // more than the application's buffer
    ZELGetLastError(o.unit, code, detail);
    EXPECT_EQ(code, 0x13000000u);
    EXPECT_EQ(detail, 0u);

    armNow(o, "short-read:10");
    EXPECT_EQ(ZELReadFlash(o.unit, 0, buffer.data(), 20), 0); // an answer short of the words asked for
    EXPECT_EQ(lastError(o.unit), 0x13000000u);

    armNow(o, "drop-response");
    EXPECT_EQ(ZELReadFlash(o.unit, 0, buffer.data(), 4), 0);
    EXPECT_EQ(lastError(o.unit), 0x12002000u);

    EXPECT_EQ(ZELWriteFlash(o.unit, 0, buffer.data(), 129), 0);
    detail = 7;
    ZELGetLastError(o.unit, code, detail);
    EXPECT_EQ(code, 0x11000000u);
    EXPECT_EQ(detail, 0u);

    armNow(o, "drop-response");
    EXPECT_EQ(ZELWriteFlash(o.unit, 0x400, buffer.data(), 4), 0);
    EXPECT_EQ(lastError(o.unit), 0x10002000u);

    EXPECT_EQ(ZELReadFlash(o.unit, 0, nullptr, 4), 0);
    EXPECT_EQ(ZELReadFlash(o.unit, 0, buffer.data(), 4), 1); // and the next conversation is fine
}
