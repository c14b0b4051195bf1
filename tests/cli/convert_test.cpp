// bexolog convert, end to end: the real program, image file in, text file out.
#include "cli_support.h"
#include "logimage/logimage.h"

namespace {

class Convert : public CliTest {
protected:
    Convert() : CliTest("convert_") {}
    void TearDown() override {
        for (const char* suffix : {".bin", ".txt", ".o.txt", ".out", ".err"}) std::remove((base_ + suffix).c_str());
    }

    // Converts into the default text file and returns its lines.
    std::vector<std::string> convert(const std::vector<uint8_t>& image, const std::string& options, int records) {
        const Outcome run = bexolog("convert " + writeImage(image) + " " + options);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, std::to_string(records) + " records written to " + base_ + ".txt\n");
        const std::string text = readFile(base_ + ".txt");
        std::vector<std::string> lines;
        for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }
};

// A family-4 run of observation type 5 with one point: two records.
const std::vector<uint8_t> kTwoRecords{0x00, 0x00, 0x00, 0x04, 0x01, 0x05, 0x04, 0x0A, 0x31, 0x70, 0x72, 0x10, 0x5B,
                                       0xC9, 0x14, 0x00, 0x00, 0x10, 0x00, 0x08, 0x41, 0x81, 0x7F, 0x00, 0x00, 0x00};

// Runs of two records each, starting at `secondsOfDay` on 2008-03-18.
std::vector<uint8_t> runs(int family, std::vector<std::pair<unsigned, uint32_t>> typeAndStart) {
    std::vector<uint8_t> image;
    for (const auto& [type, start] : typeAndStart) {
        logimage::TimedFields f;
        f.observation = static_cast<uint8_t>(type);
        f.latDegree = 49;
        f.lonDegree = 112;
        f.date = logimage::dateWord(2008, 3, 18, start);
        f.seconds = logimage::secondsWord(start);
        logimage::RawRun run{family, family == 3 ? logimage::familyThreeHeader(f) : logimage::familyFourHeader(f),
                             {logimage::RawPoint{}}};
        logimage::appendRun(image, run);
    }
    logimage::padTo(image, image.size() + 8);
    return image;
}

constexpr uint32_t k141907 = 51547;

TEST_F(Convert, WritesFlagLayoutBesideTheImageByDefault) {
    EXPECT_EQ(convert(kTwoRecords, "", 2),
              (std::vector<std::string>{"2008/03/18  14:19:07  49.125004  -112.062500  0 0 0",
                                        "2008/03/18  14:19:12  49.124973  -112.062531  0 0 0"}));
    const Outcome run = bexolog("convert " + base_ + ".bin -o " + base_ + ".o.txt");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 records written to " + base_ + ".o.txt\n");
    EXPECT_EQ(readFile(base_ + ".o.txt"), readFile(base_ + ".txt"));
}

TEST_F(Convert, FamilySelectsCodedAndGroupedLayouts) {
    EXPECT_EQ(convert(kTwoRecords, "--family 0x8200", 2)[0],
              "2008/03/18  14:19:07  49.125004  -112.062500  0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ");
    // 33296 is 0x8210; the type-0 point drops out.
    EXPECT_EQ(convert(kTwoRecords, "--family 33296", 2),
              std::vector<std::string>{"2008/03/18  14:19:07  49.125004  -112.062500  0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 "});
}

TEST_F(Convert, OldestVersionOptionAdmitsFamily3Logs) {
    const auto family3 = runs(3, {{0, k141907}});
    EXPECT_TRUE(convert(family3, "", 0).empty());
    EXPECT_EQ(readFile(base_ + ".txt"), "");
    EXPECT_EQ(convert(family3, "--oldest-version 3", 2).size(), 2u);
}

TEST_F(Convert, MergeOptions) {
    // Type 32 is stored as flags 0x41: bit 6, the dead-wildlife flag.
    const auto dead = runs(4, {{0, k141907}, {32, k141907 + 20}});
    EXPECT_EQ(convert(dead, "", 4).size(), 3u);
    EXPECT_EQ(convert(dead, "--no-merge-dead", 4).size(), 4u);
    const auto crossing = runs(4, {{5, k141907}, {5, k141907 + 20}});
    EXPECT_EQ(convert(crossing, "--family 0x8210", 4).size(), 1u);
    EXPECT_EQ(convert(crossing, "--family 0x8210 --no-merge-crossing", 4).size(), 2u);
}

TEST_F(Convert, FailuresExitNonZeroWithAMessage) {
    Outcome run = bexolog("convert " + base_ + ".bin");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find(base_ + ".bin"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(base_ + ".txt"), "<missing>");

    const std::string image = writeImage(kTwoRecords);
    run = bexolog("convert " + image + " -o no_such_folder/x.txt");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("no_such_folder"), std::string::npos) << run.err;

    run = bexolog("convert " + image + " --family 0x10000");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(readFile(base_ + ".txt"), "<missing>");

    // A path that starts with a slash is a path on Windows too, not an option.
    run = bexolog("convert /no-such-image.bin");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("cannot open '/no-such-image.bin'"), std::string::npos) << run.err;
}

} // namespace
