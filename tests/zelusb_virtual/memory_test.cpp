// Flash by address on virtual units: NOR rules, erase, copy, download mode,
// files written page by page.
#include "opened.h"

#include <cstdio>
#include <fstream>

using namespace testunits;

namespace {

constexpr unsigned kSector5 = 5u << 16;

std::vector<uint8_t> readMemory(int unit, unsigned address, unsigned short length) {
    std::vector<uint8_t> b(length);
    unsigned short n = length;
    EXPECT_EQ(ZELReadMemory(unit, address, b.data(), n), 1);
    return b;
}

TEST(Memory, ProgrammingOnlyClearsBitsUntilErased) {
    Opened o;
    unsigned char a[4] = {0x0F, 0x0F, 0xFF, 0x10};
    unsigned char b[4] = {0xF0, 0xFF, 0x0F, 0x03};
    ASSERT_EQ(ZELWriteMemory(o.unit, kSector5 + 8, a, 4), 1);
    ASSERT_EQ(ZELWriteMemory(o.unit, kSector5 + 8, b, 4), 1);
    EXPECT_EQ(readMemory(o.unit, kSector5 + 8, 4), (std::vector<uint8_t>{0x00, 0x0F, 0x0F, 0x00}));
    ASSERT_EQ(ZELEraseMemory(o.unit, kSector5), 1);
    EXPECT_EQ(readMemory(o.unit, kSector5 + 8, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST(Memory, CopyInsideTheUnit) {
    Opened o;
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(ZELWriteMemory(o.unit, kSector5, data.data(), 300), 1); // longer than one report
    ASSERT_EQ(ZELCopyMemory(o.unit, kSector5, (6u << 16) + 0x100, 300), 1);
    EXPECT_EQ(readMemory(o.unit, (6u << 16) + 0x100, 256), std::vector<uint8_t>(data.begin(), data.begin() + 256));
}

TEST(Memory, ShortReplyTellsWhatCame) {
    Opened o; // a stream unit serves at most 256 bytes a read
    std::vector<uint8_t> b(300, 0xAB);
    unsigned short length = 300;
    EXPECT_EQ(ZELReadMemory(o.unit, kSector5, b.data(), length), 0);
    EXPECT_EQ(length, 256);
    uint32_t detail = 0;
    EXPECT_EQ(lastError(o.unit, &detail), 0x02000000u);
    EXPECT_EQ(detail, 300u | (256u << 16));
    EXPECT_EQ(b[0], 0xAB); // nothing copied
}

TEST(Memory, PacketUnitReadsLargeChunks) {
    UnitSpec spec;
    spec.kind = vunit::Kind::Packet;
    Opened o(spec);
    std::vector<uint8_t> data(262, 0x5A);
    ASSERT_EQ(ZELWriteMemory(o.unit, kSector5 + 4000, data.data(), 62), 1);
    const auto got = readMemory(o.unit, kSector5, 4075);
    EXPECT_EQ(got[3999], 0xFF);
    EXPECT_EQ(got[4000], 0x5A);
    EXPECT_EQ(got[4061], 0x5A);
    // A message longer than a packet report is refused before it is sent.
    std::vector<uint8_t> big(263, 1);
    EXPECT_EQ(ZELWriteMemory(o.unit, kSector5, big.data(), 263), 0);
}

TEST(Memory, AbsentSectorsAreRefused) {
    UnitSpec spec;
    spec.chipCode = 17; // four sectors
    Opened o(spec);
    unsigned char b[4] = {};
    unsigned short n = 4;
    EXPECT_EQ(ZELReadMemory(o.unit, 9u << 16, b, n), 0);
    EXPECT_EQ(lastError(o.unit) & 0xFF000000u, 0x02000000u);
    EXPECT_EQ(ZELEraseMemory(o.unit, 9u << 16), 0);
    EXPECT_EQ(lastError(o.unit), 0x06000000u);
}

TEST(Memory, DownloadMode) {
    Opened o;
    EXPECT_EQ(ZELSetDownloadMode(o.unit, 1), 1);
    EXPECT_EQ(ZELSetDownloadMode(o.unit, 0), 1);
}

TEST(Memory, EraseWaitsWhileTheUnitIsBusy) {
    UnitSpec spec;
    spec.timing = true;
    spec.trace = true;
    Opened o(spec);
    ASSERT_EQ(ZELEraseMemory(o.unit, kSector5), 1);
    // The follow-up came while the sector was still erasing.
    EXPECT_NE(o.plugged->trace().find("IN  01 02 05 03"), std::string::npos);
}

#if !defined(_WIN32)
struct Progress {
    Collector collector;
    int unit;
    explicit Progress(int u) : unit(u) { ZELRegisterStatusWindow(u, &collector.sink, 77); }
    std::vector<int> positions(int kind) {
        std::vector<int> out;
        std::lock_guard<std::mutex> lock(collector.mutex);
        for (const auto& r : collector.records) {
            EXPECT_EQ(r.tag, 77u);
            EXPECT_EQ(r.unit, unit);
            if (r.kind == kind) out.push_back(r.position);
        }
        return out;
    }
};

TEST(WriteFile, FirstChunkStopsAtThePageBoundary) {
    Opened o;
    Progress progress(o.unit);
    std::vector<uint8_t> data(600);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    unsigned long length = 600;
    ASSERT_EQ(ZELWriteFile(o.unit, kSector5 + 0x1F0, length, nullptr, data.data()), 1);
    EXPECT_EQ(length, 600u);
    EXPECT_EQ(progress.positions(ZEL_STATUS_FILE_WRITE), (std::vector<int>{0, 16, 272, 528, 600}));
    EXPECT_EQ(readMemory(o.unit, kSector5 + 0x1F0, 256), std::vector<uint8_t>(data.begin(), data.begin() + 256));
}

TEST(WriteFile, CancelledBeforeTheFirstPage) {
    Opened o;
    Progress progress(o.unit);
    std::vector<uint8_t> data(512, 1);
    unsigned long length = 512;
    ZELCancelIO(o.unit);
    EXPECT_EQ(ZELWriteFile(o.unit, kSector5, length, nullptr, data.data()), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(lastError(o.unit), 0x30000u);
    EXPECT_EQ(progress.positions(ZEL_STATUS_CANCELLED).size(), 1u);
    EXPECT_EQ(ZELWriteFile(o.unit, kSector5, length = 512, nullptr, data.data()), 1); // the flag was cleared
}
#endif

TEST(WriteFile, ErasedPagesAreNotSent) {
    UnitSpec spec;
    spec.trace = true;
    Opened o(spec);
    const std::string before = o.plugged->trace();
    std::vector<uint8_t> erased(65536, 0xFF);
    unsigned long length = static_cast<unsigned long>(erased.size());
    EXPECT_EQ(ZELWriteFile(o.unit, kSector5, length, nullptr, erased.data()), 1);
    EXPECT_EQ(length, 65536u);
    EXPECT_EQ(o.plugged->trace(), before); // not one report went out
}

TEST(WriteFile, WholeFileWhenLengthIsZero) {
    Opened o;
    const auto file = o.plugged->dir / "image.bin";
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 1000; ++i) out.put(static_cast<char>(i % 251));
    }
    unsigned long length = 0;
    ASSERT_EQ(ZELWriteFile(o.unit, kSector5, length, const_cast<char*>(file.string().c_str()), nullptr), 1);
    EXPECT_EQ(length, 1000u);
    EXPECT_EQ(readMemory(o.unit, kSector5 + 744, 256)[255], static_cast<uint8_t>(999 % 251));

    length = 0;
    char missing[] = "/nonexistent/zelusb-test-file";
    EXPECT_EQ(ZELWriteFile(o.unit, kSector5, length, missing, nullptr), 0);
    EXPECT_EQ(lastError(o.unit), 0x10000u);
}

} // namespace
