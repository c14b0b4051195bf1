// Reading items: whole, up to the erased tail of a log file, into a buffer or
// a host file, and what a misbehaving unit makes of the chunked reader.
#include "flash_units.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

using namespace flashtest;

namespace {

constexpr uint8_t kLog = 0x60;

// A log file of `size` bytes, written by the unit up to `used` (no 0xFF runs there).
vfactory::Item logFile(uint32_t id, size_t size, size_t used, int sector = -1) {
    vfactory::Item it{kLog, id, std::vector<uint8_t>(size, 0xFF), sector};
    const auto written = pattern(id, used);
    std::copy(written.begin(), written.end(), it.contents.begin());
    return it;
}

std::string fileText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void armNow(const FlashUnit& u, const std::string& spec) {
    testunits::armFault(*u.plugged, spec);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

TEST(ItemRead, WholeItemByTypeAndById) {
    Layout l;
    l.items = {item(0x14, 1, 300), item(0x16, 2, 5000), item(0x16, 3, 40)};
    FlashUnit u(l);
    std::vector<char> b(6000, 'x');
    unsigned int length = 1;
    ASSERT_EQ(ZELReadDirectoryItemByType(u.unit, 0x16, b.data(), &length), 1);
    EXPECT_EQ(length, 5000u); // the first of the type in directory order
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 5000), pattern(2, 5000));
    EXPECT_EQ(b[5000], 'x'); // never past the item's size

    length = 1;
    ASSERT_EQ(ZELReadDirectoryItemByID(u.unit, 3, b.data(), &length), 1);
    EXPECT_EQ(length, 40u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 40), pattern(3, 40));

    length = 1;
    EXPECT_EQ(ZELReadDirectoryItemByID(u.unit, 99, b.data(), &length), 0);
    EXPECT_EQ(testunits::lastError(u.unit), 0u); // the directory read cleared it; no match adds nothing
}

TEST(ItemRead, SizeZeroReadsNothing) {
    Layout l;
    l.items = {item(0x14, 1, 0), logFile(1280, 0, 0)};
    FlashUnit u(l);
    char b[4] = {'x', 'x', 'x', 'x'};
    unsigned int length = 4;
    EXPECT_EQ(ZELReadDirectoryItemByType(u.unit, 0x14, b, &length), 1);
    EXPECT_EQ(length, 0u);
    length = 4;
    EXPECT_EQ(ZELReadDirectoryItemPartialByID(u.unit, 1280, b, &length), 1);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(b[0], 'x');
}

TEST(PartialRead, EmptyLogFileReadsOneChunkAndIsPadded) {
    Layout l;
    l.items = {logFile(1280, 40000, 0)};
    FlashUnit u(l);
    std::vector<char> b(40001, 'x');
    unsigned int length = 40001;
    ASSERT_EQ(ZELReadDirectoryItemPartialByID(u.unit, 1280, b.data(), &length), 1);
    EXPECT_EQ(length, 40000u);
    EXPECT_EQ(std::count(b.begin(), b.begin() + 40000, '\xFF'), 40000);
    EXPECT_EQ(b[40000], 'x');
    // The reader underneath stops after its first chunk.
    const Listing d = readListing(u.unit);
    unsigned long n = 40000;
    ASSERT_EQ(ZELReadFile(u.unit, +d.entries[0].address, n, nullptr, b.data(), 1), 1);
    EXPECT_EQ(n, 4075u);
}

TEST(PartialRead, StopsInTheChunkThatHoldsTheErasedTail) {
    Layout l;
    l.items = {logFile(1280, 20000, 6000), logFile(1281, 3000, 3000)};
    FlashUnit u(l);
    const Listing d = readListing(u.unit);
    std::vector<char> b(20000);
    unsigned long n = 20000;
    ASSERT_EQ(ZELReadFile(u.unit, +d.entries[0].address, n, nullptr, b.data(), 1), 1);
    EXPECT_EQ(n, 2u * 4075);

    // Two log files end to end, as the download lays them out.
    std::vector<char> image(23000, 'x');
    unsigned int length = 23000;
    ASSERT_EQ(ZELReadDirectoryItemPartialByID(u.unit, 1280, image.data(), &length), 1);
    EXPECT_EQ(length, 20000u);
    length = 3000;
    ASSERT_EQ(ZELReadDirectoryItemPartialByID(u.unit, 1281, image.data() + 20000, &length), 1); // written to its end
    EXPECT_EQ(length, 3000u);
    std::vector<uint8_t> expected = l.items[0].contents;
    expected.insert(expected.end(), l.items[1].contents.begin(), l.items[1].contents.end());
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.end()), expected);
}

TEST(ItemRead, ZeroLengthMeansAHostFile) {
    Layout l;
    l.kind = vunit::Kind::Stream; // 100-byte chunks
    l.items = {item(0x14, 7, 1234), logFile(1280, 5000, 250)};
    FlashUnit u(l);
    const auto path = (u.plugged->dir / "item.bin").string();
    unsigned int length = 0;
    ASSERT_EQ(ZELReadDirectoryItemByID(u.unit, 7, const_cast<char*>(path.c_str()), &length), 1);
    EXPECT_EQ(length, 1234u);
    const auto want = pattern(7, 1234);
    EXPECT_EQ(fileText(path), std::string(want.begin(), want.end()));

    length = 0;
    ASSERT_EQ(ZELReadDirectoryItemPartialByID(u.unit, 1280, const_cast<char*>(path.c_str()), &length), 1);
    EXPECT_EQ(length, 5000u);               // the item's size ...
    EXPECT_EQ(fileText(path).size(), 300u); // ... though the file holds what was read

    length = 0;
    char missing[] = "/nonexistent/zelusb-item.bin";
    std::string out = printed([&] { EXPECT_EQ(ZELReadDirectoryItemByID(u.unit, 7, missing, &length), 0); });
    EXPECT_EQ(out, "Error opening file.\n");
    EXPECT_EQ(testunits::lastError(u.unit), 0x10000u);
}

TEST(ItemRead, NoDirectoryIsAFailure) {
    Layout l;
    l.directory = false;
    FlashUnit u(l);
    char b[4];
    unsigned int length = 4;
    EXPECT_EQ(ZELReadDirectoryItemByType(u.unit, 0x14, b, &length), 0);
    EXPECT_EQ(testunits::lastError(u.unit) & 0xFF000000u, 0x1B000000u);
}

TEST(ReadFile, ShortReplyIsRetriedOnceWithWhatCame) {
    Layout l; // a packet reply has the size its report id gives; only a stream unit's can come short
    l.kind = vunit::Kind::Stream;
    l.items = {item(0x14, 5, 9000)};
    FlashUnit u(l);
    const Listing d = readListing(u.unit);
    armNow(u, "short-read:40");
    std::vector<char> b(9000);
    unsigned long n = 9000;
    ASSERT_EQ(ZELReadFile(u.unit, +d.entries[0].address, n, nullptr, b.data(), 0), 1);
    EXPECT_EQ(n, 9000u);
    const auto want = pattern(5, 9000);
    size_t i = 0;
    while (i < 9000 && static_cast<uint8_t>(b[i]) == want[i]) ++i;
    EXPECT_EQ(i, 9000u) << "first difference"; // went on after the 40 bytes
}

TEST(ReadFile, ReplyWithoutDataFailsInsteadOfLoopingForever) {
    Layout l;
    l.kind = vunit::Kind::Stream;
    l.chipCode = 17; // sectors 0-3: a read across 0x40000 is refused, with no data
    FlashUnit u(l);
    std::vector<char> b(300);
    unsigned long n = 300;
    EXPECT_EQ(ZELReadFile(u.unit, 0x3FF00, n, nullptr, b.data(), 0), 0);
    EXPECT_EQ(n, 200u); // two chunks of 100 came before
    EXPECT_EQ(testunits::lastError(u.unit), 0x02040000u);
}

TEST(ReadFile, MissingReplyFails) {
    Layout l;
    l.items = {item(0x14, 5, 9000)};
    FlashUnit u(l);
    armNow(u, "drop-response");
    std::vector<char> b(9000);
    unsigned long n = 9000;
    EXPECT_EQ(ZELReadFile(u.unit, 0, n, nullptr, b.data(), 0), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(testunits::lastError(u.unit), 0x01042000u);
}

#if !defined(_WIN32)
// Cancels from the status window on the first progress past the start.
struct Canceller {
    testunits::Collector collector;
    int unit = -1;
    ZEL_SINK sink{&Canceller::post, this};
    static void post(void* context, unsigned int message, uintptr_t wParam, intptr_t lParam) {
        auto* self = static_cast<Canceller*>(context);
        const auto* r = reinterpret_cast<const _ZEL_STATUS_RECORD*>(lParam);
        if (message == ZEL_STATUS_MESSAGE && r->kind == ZEL_STATUS_FILE_READ && r->position > 0) ZELCancelIO(self->unit);
        testunits::Collector::post(&self->collector, message, wParam, lParam);
    }
    std::vector<int> kinds() {
        std::lock_guard<std::mutex> lock(collector.mutex);
        std::vector<int> k;
        for (const auto& r : collector.records) k.push_back(r.kind);
        return k;
    }
};

TEST(ReadFile, CancelIsSeenBeforeTheNextChunk) {
    Layout l;
    l.items = {item(0x14, 5, 9000)};
    FlashUnit u(l);
    Canceller c;
    c.unit = u.unit;
    ZELRegisterStatusWindow(u.unit, &c.sink, 1);
    ZELCancelIO(u.unit); // cleared when the read starts
    std::vector<char> b(9000);
    unsigned long n = 9000;
    EXPECT_EQ(ZELReadFile(u.unit, 0, n, nullptr, b.data(), 0), 0);
    EXPECT_EQ(n, 4075u);
    EXPECT_EQ(testunits::lastError(u.unit), 0x30000u);
    EXPECT_EQ(c.kinds(), (std::vector<int>{ZEL_STATUS_FILE_READ, ZEL_STATUS_FILE_READ, ZEL_STATUS_CANCELLED}));
    ZELRegisterStatusWindow(u.unit, nullptr, 0);
    n = 100;
    EXPECT_EQ(ZELReadFile(u.unit, 0, n, nullptr, b.data(), 0), 1); // the flag was cleared
}

TEST(ItemRead, ProgressRecords) {
    Layout l;
    l.items = {logFile(1280, 9000, 4500)};
    FlashUnit u(l);
    testunits::Collector c;
    ZELRegisterStatusWindow(u.unit, &c.sink, 5);
    std::vector<char> b(9000);
    unsigned int length = 9000;
    ASSERT_EQ(ZELReadDirectoryItemPartialByID(u.unit, 1280, b.data(), &length), 1);
    ZELRegisterStatusWindow(u.unit, nullptr, 0);
    std::vector<std::array<int, 3>> got;
    for (const auto& r : c.records) got.push_back({r.kind, r.position, r.range});
    EXPECT_EQ(got, (std::vector<std::array<int, 3>>{{2, 0, 0},
                                                    {1, 0, 9000},
                                                    {1, 4075, 9000},
                                                    {1, 8150, 9000},
                                                    {1, 8150, 8150},
                                                    {4, 8150, 8150}}));
}
#endif

} // namespace
