// A unit folder keeps identity and storage exactly, saves only what changed,
// survives torn writes and refuses damage loudly.
#include "scratch_dir.h"

#include "vfactory/layout.h"
#include "vstore/folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using vunit::Identity;
using vunit::Storage;

void expectSameIdentity(const Identity& a, const Identity& b) {
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.vendorId, b.vendorId);
    EXPECT_EQ(a.usbMajor, b.usbMajor);
    EXPECT_EQ(a.usbMinor, b.usbMinor);
    EXPECT_EQ(a.firmwareMajor, b.firmwareMajor);
    EXPECT_EQ(a.firmwareMinor, b.firmwareMinor);
    EXPECT_EQ(a.chipCode, b.chipCode);
    EXPECT_EQ(a.chips, b.chips);
    EXPECT_EQ(a.cpuId, b.cpuId);
    EXPECT_EQ(a.serial, b.serial);
    EXPECT_EQ(a.seed, b.seed);
    EXPECT_EQ(a.path, b.path);
}

void expectSameStorage(const Storage& a, const Storage& b) {
    for (std::size_t s = 0; s < a.sectors.size(); ++s) EXPECT_TRUE(a.sectors[s] == b.sectors[s]) << "sector " << s;
    EXPECT_EQ(a.eeprom, b.eeprom);
    EXPECT_TRUE(a.programFlash == b.programFlash);
    EXPECT_EQ(a.applicationValid, b.applicationValid);
    EXPECT_EQ(a.resetVectorBroken, b.resetVectorBroken);
}

// Deterministic non-trivial bytes.
void scribble(std::vector<uint8_t>& bytes, std::size_t from, std::size_t n, uint8_t seed) {
    for (std::size_t i = 0; i < n; ++i) bytes[from + i] = static_cast<uint8_t>(seed + i * 7);
}

std::size_t sectorFiles(const fs::path& dir) {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir / "flash")) n += e.path().extension() == ".bin" ? 1 : 0;
    return n;
}

void writeRaw(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct Made {
    Identity identity;
    Storage storage;
};

Made makeDefault(const fs::path& dir) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.path = "virtual:test";
    d.identity.seed = 77;
    d.logFiles = true;
    Made m{d.identity, vfactory::buildUnit(d)};
    scribble(m.storage.programFlash, 0, 300, 3);
    m.storage.applicationValid = false;
    m.storage.resetVectorBroken = true;
    vunit::createUnitFolder(dir, m.identity, m.storage);
    return m;
}

TEST(UnitFolder, RoundTripKeepsIdentityAndStorage) {
    ScratchDir dir("roundtrip");
    const Made made = makeDefault(dir.path);
    const vunit::UnitFolder loaded = vunit::loadUnitFolder(dir.path);
    expectSameIdentity(made.identity, loaded.identity);
    expectSameStorage(made.storage, loaded.storage);
    EXPECT_FALSE(loaded.options.timing);
    EXPECT_TRUE(loaded.faults.empty());
    // Sector 0 holds sounds and the directory; the others only erased log files.
    EXPECT_EQ(sectorFiles(dir.path), 1u);
}

TEST(UnitFolder, FourSlotUnitAndOptionsRoundTrip) {
    ScratchDir dir("fourslot");
    Identity id;
    id.kind = vunit::Kind::Packet;
    id.chipCode = 0xAA;
    id.chips = {17, 0, 18, 21};
    id.cpuId = 0x0C45;
    id.firmwareMajor = 31;
    id.firmwareMinor = 2;
    id.usbMajor = 2;
    id.usbMinor = 0;
    id.vendorId = 0x4242;
    id.serial = 0xFFFFFFFFu;
    Storage st = vunit::blankStorage(id);
    scribble(st.sectors[3], 100, 5000, 1);
    scribble(st.sectors[128 + 7], 0, 65536, 2);
    scribble(st.sectors[255], 65000, 536, 9);
    scribble(st.programFlash, 0, 16, 4);
    st.eeprom[200] = 0x12;
    vunit::FolderOptions options;
    options.timing = true;
    options.tracePath = "wire trace.txt";
    vunit::createUnitFolder(dir.path, id, st, options);

    const vunit::UnitFolder loaded = vunit::loadUnitFolder(dir.path);
    id.path = fs::absolute(dir.path).lexically_normal().string(); // filled in at creation
    expectSameIdentity(id, loaded.identity);
    expectSameStorage(st, loaded.storage);
    EXPECT_TRUE(loaded.options.timing);
    EXPECT_EQ(loaded.options.tracePath, "wire trace.txt");
    EXPECT_EQ(sectorFiles(dir.path), 3u);
}

TEST(UnitFolder, SaveWritesOnlyDirtyPartsAndClearsTheirFlags) {
    ScratchDir dir("dirty");
    makeDefault(dir.path);
    vunit::UnitFolder u = vunit::loadUnitFolder(dir.path);
    const Storage before = u.storage;

    scribble(u.storage.sectors[5], 0, 64, 11); // dirty: saved
    u.storage.dirtySectors[5] = true;
    scribble(u.storage.sectors[6], 0, 64, 12); // not marked: left alone
    u.storage.sectors[0].assign(vunit::kSectorSize, 0xFF); // erased and dirty: file goes
    u.storage.dirtySectors[0] = true;
    u.storage.eeprom[9] = 0x42; // not marked
    u.storage.applicationValid = true;
    u.storage.stateDirty = true;
    vunit::saveStorage(dir.path, u.storage);

    EXPECT_FALSE(u.storage.dirtySectors[5]);
    EXPECT_FALSE(u.storage.dirtySectors[0]);
    EXPECT_FALSE(u.storage.stateDirty);
    EXPECT_FALSE(fs::exists(dir / "flash/000.bin"));

    const vunit::UnitFolder again = vunit::loadUnitFolder(dir.path);
    EXPECT_TRUE(again.storage.sectors[5] == u.storage.sectors[5]);
    EXPECT_TRUE(again.storage.sectors[6] == before.sectors[6]);
    EXPECT_TRUE(again.storage.sectors[0] == u.storage.sectors[0]);
    EXPECT_EQ(again.storage.eeprom, before.eeprom);
    EXPECT_TRUE(again.storage.applicationValid);
}

TEST(UnitFolder, StaleTemporaryFilesFromACrashLeaveTheOldStateReadable) {
    ScratchDir dir("crash");
    const Made made = makeDefault(dir.path);
    // A crash after writing the temporary files but before renaming them.
    writeRaw(dir / "eeprom.bin.tmp", std::string(256, '\x11'));
    writeRaw(dir / "flash/000.bin.tmp", std::string(1000, '\x22')); // torn, too short
    writeRaw(dir / "flash/007.bin.tmp", std::string(65536, '\x33'));
    writeRaw(dir / "unit.conf.tmp", "kind = bogus\n");
    writeRaw(dir / "state.tmp", "application-valid = maybe");

    vunit::UnitFolder u = vunit::loadUnitFolder(dir.path);
    expectSameIdentity(made.identity, u.identity);
    expectSameStorage(made.storage, u.storage);

    // The next save writes over the stale temporary file and takes effect.
    u.storage.eeprom[1] = 0x83;
    u.storage.eepromDirty = true;
    vunit::saveStorage(dir.path, u.storage);
    EXPECT_FALSE(fs::exists(dir / "eeprom.bin.tmp"));
    EXPECT_EQ(vunit::loadUnitFolder(dir.path).storage.eeprom[1], 0x83);
}

TEST(UnitFolder, CreationRefusesAnExistingUnitAndAMismatchedStorage) {
    ScratchDir dir("exists");
    const Made made = makeDefault(dir.path);
    EXPECT_THROW(vunit::createUnitFolder(dir.path, made.identity, vunit::blankStorage(made.identity)), std::runtime_error);
    expectSameStorage(made.storage, vunit::loadUnitFolder(dir.path).storage);

    Identity small = made.identity;
    small.chipCode = 17; // 4 sectors, but the storage has 32
    EXPECT_THROW(vunit::createUnitFolder(dir / "other", small, made.storage), std::runtime_error);
    EXPECT_FALSE(vunit::isUnitFolder(dir / "other"));
    EXPECT_THROW(vunit::loadUnitFolder(dir / "other"), std::runtime_error);
}

TEST(UnitFolder, AnInterruptedCreationIsMadeAgainFromScratch) {
    ScratchDir dir("interrupted");
    // What a creation that died before writing unit.conf leaves behind.
    fs::create_directories(dir / "flash");
    writeRaw(dir / "flash/005.bin", std::string(65536, '\x01'));
    writeRaw(dir / "program.bin", std::string(65536, '\x02'));
    writeRaw(dir / "faults", "drop-response\n");
    ASSERT_FALSE(vunit::isUnitFolder(dir.path));

    const Made made = makeDefault(dir.path);
    const vunit::UnitFolder u = vunit::loadUnitFolder(dir.path);
    expectSameStorage(made.storage, u.storage);
    EXPECT_TRUE(u.faults.empty());
}

TEST(UnitFolder, DamagedFilesAreRefusedNamingTheFile) {
    struct Case {
        const char* file;
        std::string contents;
        const char* mentions;
    };
    const Case cases[] = {
        {"unit.conf", "kind = stream\ncolour = blue\n", "colour"},
        {"unit.conf", "kind = usb\n", "kind"},
        {"unit.conf", "cpu = 0x10000\n", "cpu"},
        {"unit.conf", "firmware = 1\n", "firmware"},
        {"unit.conf", "chip = 170\n", "chips"},
        {"flash/000.bin", std::string(100, '\0'), "65536"},
        {"flash/040.bin", std::string(65536, '\0'), "not present"},
        {"flash/junk.bin", "x", "sector file"},
        {"eeprom.bin", std::string(255, '\0'), "256"},
        {"program.bin", std::string(10, '\0'), "program flash"},
        {"state", "application-valid = perhaps\n", "application-valid"},
    };
    for (const Case& c : cases) {
        ScratchDir dir("damaged");
        makeDefault(dir.path);
        writeRaw(dir / c.file, c.contents);
        try {
            vunit::loadUnitFolder(dir.path);
            ADD_FAILURE() << c.file << " with damage '" << c.mentions << "' was accepted";
        } catch (const std::runtime_error& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(fs::path(c.file).filename().string()), std::string::npos) << what;
            EXPECT_NE(what.find(c.mentions), std::string::npos) << what;
        }
    }
}

} // namespace
