// bexolog dir, get, put and rm on virtual units named in ZELUSB_VIRTUAL:
// the real program, and the unit's flash read back without it.
#include "cli_support.h"

#include "vfactory/directory.h"
#include "vfactory/layout.h"
#include "vfactory/logfiles.h"
#include "vstore/folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

void setEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

class Items : public CliTest {
protected:
    Items() : CliTest("items_") {}
    void SetUp() override {
        CliTest::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("bexolog-items-" + std::to_string(std::random_device{}()));
        setEnv("ZELUSB_FAST_CLOCK", "1");
    }
    void TearDown() override {
        for (const char* suffix : {".out", ".err", ".bin", ".got"}) std::remove((base_ + suffix).c_str());
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // A 4-sector packet unit laid out from `d`, the one unit the program sees.
    void makeUnit(vfactory::UnitDescription d) {
        d.identity.kind = vunit::Kind::Packet;
        identity_ = d.identity;
        vunit::createUnitFolder(dir_, d.identity, vfactory::buildUnit(d));
        setEnv("ZELUSB_VIRTUAL", dir_.string());
    }
    vfactory::Directory directory() const {
        const auto folder = vunit::loadUnitFolder(dir_);
        auto d = vfactory::readDirectory(folder.storage, identity_);
        EXPECT_TRUE(d);
        return d.value_or(vfactory::Directory{});
    }
    std::vector<uint8_t> bytesOf(const vfactory::DirEntry& e) const {
        const auto folder = vunit::loadUnitFolder(dir_);
        const auto& s = folder.storage.sectors[e.address >> 16];
        return {s.begin() + (e.address & 0xFFFF), s.begin() + (e.address & 0xFFFF) + e.size};
    }
    std::string writeFile(const std::vector<uint8_t>& bytes) { return writeImage(bytes); }

    std::filesystem::path dir_;
    vunit::Identity identity_;
};

vfactory::UnitDescription fourSectors() {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.chipCode = 17;
    return d; // three sounds in sector 0 with the directory
}

TEST_F(Items, DirListsTheDirectoryAndEachSectorsRoom) {
    makeUnit(fourSectors());
    const Outcome run = bexolog("dir");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "\nDirectory Contents\n==================\n"
                       "( 1) 14 00000000 00000001 5000\n"
                       "( 2) 14 00001388 00000002 7000\n"
                       "( 3) 14 00002EE0 00000003 8000\n"
                       "\nsector  items  item bytes  directory  free bytes\n"
                       "     0      3       20000        256       45280\n"
                       "     1      0           0          0       65536\n"
                       "     2      0           0          0       65536\n"
                       "     3      0           0          0       65536\n");
}

TEST_F(Items, PutGetAndRmRoundTrip) {
    makeUnit(fourSectors());
    std::vector<uint8_t> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    Outcome run = bexolog("put 0x16 77 " + writeFile(bytes));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("moved item 1 (type 0x14, 5000 bytes) from sector 0 to sector 1\n"), std::string::npos);
    EXPECT_NE(run.out.find("item 77 (type 0x16, 3000 bytes) written to sector 1 at 0x00014E20\n"), std::string::npos);
    const auto d = directory();
    ASSERT_EQ(d.entries.size(), 4u);
    EXPECT_EQ(bytesOf(d.entries.back()), bytes);

    run = bexolog("get 77 -o " + base_ + ".got");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "3000 bytes of item 77 (type 0x16, 3000 bytes) written to " + base_ + ".got\n");
    EXPECT_EQ(readFile(base_ + ".got"), std::string(bytes.begin(), bytes.end()));

    run = bexolog("rm 0x4D");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1 item with id 77 deleted\n"), std::string::npos);
    EXPECT_EQ(directory().entries.size(), 3u);
}

TEST_F(Items, GetReadsALogFileUpToWhatWasLogged) {
    vfactory::UnitDescription d = fourSectors();
    d.logFiles = true;
    makeUnit(d);
    auto folder = vunit::loadUnitFolder(dir_);
    vfactory::appendLog(folder.storage, identity_, std::vector<uint8_t>(1000, 0x42));
    for (auto& dirty : folder.storage.dirtySectors) dirty = true;
    vunit::saveStorage(dir_, folder.storage);
    const Outcome run = bexolog("get 1280 -o " + base_ + ".got");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("read up to its erased tail"), std::string::npos);
    const std::string got = readFile(base_ + ".got");
    EXPECT_EQ(got.substr(0, 1000), std::string(1000, 0x42));
    EXPECT_LT(got.size(), 5000u); // one chunk, not the whole file
}

TEST_F(Items, RefusalsSayWhyAndChangeNothing) {
    makeUnit(fourSectors());
    const auto before = vunit::loadUnitFolder(dir_).storage.sectors;
    Outcome run = bexolog("rm 99");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "bexolog rm: the unit has no item with id 99; nothing was changed\n");
    run = bexolog("get 99 -o " + base_ + ".got");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "bexolog get: the unit has no item with id 99\n");
    run = bexolog("put 0x16 5 " + writeFile(std::vector<uint8_t>(70000, 1)));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "bexolog put: " + base_ + ".bin holds 70000 bytes; an item holds at most 65535\n");
    run = bexolog("put 0xFF 5 " + base_ + ".bin");
    EXPECT_NE(run.exitCode, 0);
    run = bexolog("put 0x16 5 nonexistent.bin");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(vunit::loadUnitFolder(dir_).storage.sectors == before);
}

TEST_F(Items, PutFailsBeforeErasingWhenTheFlashCannotTakeIt) {
    // Sectors 1-3 nearly full, no sector left for another 65000 bytes.
    vfactory::UnitDescription d = fourSectors();
    for (int s = 1; s < 3; ++s) d.items.push_back({0x16, static_cast<uint32_t>(10 + s), std::vector<uint8_t>(60000, 3), s});
    makeUnit(d);
    const auto before = vunit::loadUnitFolder(dir_).storage.sectors;
    const Outcome run = bexolog("put 0x16 5 " + writeFile(std::vector<uint8_t>(65000, 9)));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "bexolog put: no room on the unit for 65000 more bytes, even moving up to five items; nothing "
                       "was changed\n");
    EXPECT_TRUE(vunit::loadUnitFolder(dir_).storage.sectors == before);
}

TEST_F(Items, NoUnitIsAClearFailure) {
    setEnv("ZELUSB_VIRTUAL", (dir_ / "none").string());
    const Outcome run = bexolog("dir");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bexolog dir: no Bexo unit found."), std::string::npos);
}

} // namespace
