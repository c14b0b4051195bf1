// Every input of the HEX reader's fuzz corpus, and every assembled program,
// through the fuzz target: its own checks abort on a fault, and the sanitizer
// presets watch its memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

size_t replayFolder(const std::filesystem::path& folder, const std::string& extension = "") {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || (!extension.empty() && entry.path().extension() != extension)) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
        ++n;
    }
    return n;
}

} // namespace

TEST(HexCorpus, EveryInputReplays) {
    EXPECT_GE(replayFolder(HEX_CORPUS), 8u);
    EXPECT_EQ(replayFolder(BEXO_FIRMWARE_PROGRAMS, ".hex"), 8u);
    EXPECT_EQ(LLVMFuzzerTestOneInput(nullptr, 0), 0);
}
