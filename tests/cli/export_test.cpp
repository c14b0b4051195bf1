// bexolog export, end to end: the real program on images built here. What
// the files hold is proven by the exports tests; here: naming, messages,
// exit codes, and that a failed run leaves no file behind.
#include "cli_support.h"
#include "logimage/logimage.h"
#include "recorded_tracks.h"

#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

class Export : public CliTest {
protected:
    Export() : CliTest("export_") {}
    void TearDown() override {
        for (const std::string& name : filesHere()) fs::remove_all(name);
    }

    // Every file or folder of this case in the working folder.
    std::set<std::string> filesHere() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator("."))
            if (entry.path().filename().string().rfind(base_, 0) == 0) names.insert(entry.path().filename().string());
        return names;
    }
    // What a run left beside the image and the captured output.
    std::set<std::string> outputsHere() const {
        std::set<std::string> names = filesHere();
        for (const char* suffix : {".bin", ".out", ".err"}) names.erase(base_ + suffix);
        return names;
    }

    void expectFailure(const std::string& args, const std::string& message) {
        SCOPED_TRACE(args);
        const Outcome run = bexolog("export " + args);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(outputsHere(), std::set<std::string>{});
    }
};

std::vector<uint8_t> loggerB() { return recorded::load("logger-b").image; }

// A family-5 run at 2008-03-18 (or `year`) whose two records lie at latitude
// `latDegree` and beyond.
std::vector<uint8_t> run(uint8_t latDegree, int year = 2008) {
    logimage::TimedFields f;
    f.latDegree = latDegree;
    f.lonDegree = 112;
    f.date = logimage::dateWord(year, 3, 18, 51547);
    f.seconds = logimage::secondsWord(51547);
    std::vector<uint8_t> image;
    logimage::appendRun(image, logimage::RawRun{5, logimage::familyFiveHeader(f), {logimage::RawPoint{}}});
    image.push_back(0x00);
    return image;
}

TEST_F(Export, WritesEveryFormatBesideTheImage) {
    const std::string image = writeImage(loggerB());
    std::string formats = "gpx,geojson,kml,csv,dwc,svg,txt";
    std::set<std::string> expected;
    for (const char* extension : {".gpx", ".geojson", ".kml", ".csv", ".dwc.csv", ".svg", ".txt"})
        expected.insert(base_ + extension);
#if !defined(_WIN32)
    formats += ",png";
    expected.insert(base_ + ".png");
#endif
    const Outcome run = bexolog("export " + image + " -f " + formats + " --family 0x8210 --recorded-by Jo");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(outputsHere(), expected); // no temporary file is left
    for (const std::string& file : expected) EXPECT_GT(fs::file_size(file), 100u) << file;
    EXPECT_NE(run.out.find("gpx: 154 track points in 1 segment, 13 observations written to " + base_ + ".gpx\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("dwc: 13 occurrences written to " + base_ + ".dwc.csv\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("txt: 154 records written to " + base_ + ".txt\n"), std::string::npos) << run.out;
}

TEST_F(Export, OutputNamesAFileABaseOrAFolder) {
    const std::string image = writeImage(loggerB());
    Outcome run = bexolog("export " + image + " -f gpx -o " + base_ + ".data");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = bexolog("export " + image + " -f gpx -f kml -o " + base_ + "-base");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    fs::create_directory(base_ + "-folder");
    run = bexolog("export " + image + " -f geojson,gpx -o " + base_ + "-folder");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(outputsHere(), (std::set<std::string>{base_ + ".data", base_ + "-base.gpx", base_ + "-base.kml",
                                                    base_ + "-folder"}));
    EXPECT_TRUE(fs::exists(base_ + "-folder/" + base_ + ".geojson"));
    EXPECT_TRUE(fs::exists(base_ + "-folder/" + base_ + ".gpx"));
    EXPECT_EQ(readFile(base_ + ".data"), readFile(base_ + "-base.gpx"));
}

TEST_F(Export, BadInputFailsWithAMessageAndLeavesNoFile) {
    writeImage({});
    expectFailure(base_ + ".bin -f gpx", "is empty");
    writeImage(run(127));
    expectFailure(base_ + ".bin -f gpx,kml", "none of the 2 records has a valid time and position");
    std::vector<uint8_t> cut = loggerB();
    cut.resize(cut.size() / 2);
    while (cut.back() == 0x00 || cut.back() == 0xFF) cut.pop_back();
    writeImage(cut);
    expectFailure(base_ + ".bin -f gpx", "ends inside a log run");
    const Outcome accepted = bexolog("export " + base_ + ".bin -f gpx --accept-truncated -o " + base_ + "-cut.gpx");
    EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
    EXPECT_TRUE(fs::remove(base_ + "-cut.gpx"));

    writeImage(loggerB());
    expectFailure(base_ + ".bin -f gpx -o no_such_folder/x.gpx", "no_such_folder/x.gpx");
    expectFailure(base_ + ".bin -f gpx -o " + base_ + ".bin", "would overwrite the image");
    expectFailure(base_ + ".bin -f gpx --tz Nowhere/Special", "unknown time zone 'Nowhere/Special'");
    expectFailure(base_ + ".bin -f shapefile", "shapefile");
    expectFailure(base_ + "-none.bin -f gpx", base_ + "-none.bin");
    // A later format that cannot be written takes the earlier ones with it.
    fs::create_directory(base_ + "-x.kml");
    const Outcome blocked = bexolog("export " + base_ + ".bin -f gpx,kml -o " + base_ + "-x");
    EXPECT_NE(blocked.exitCode, 0);
    EXPECT_NE(blocked.err.find("it is a folder"), std::string::npos) << blocked.err;
    EXPECT_EQ(outputsHere(), std::set<std::string>{base_ + "-x.kml"});
}

TEST_F(Export, RecordsLeftOutOfTheGeometryAreCountedOnStderr) {
    std::vector<uint8_t> image = loggerB();
    for (const auto& extra : {run(127), run(49, 2040)}) // off the earth; past 2038, a negative time
        image.insert(image.end(), extra.begin(), extra.end());
    const Outcome result = bexolog("export " + writeImage(image) + " -f gpx");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "bexolog export: warning: 4 records of 158 left out of the geometry: 2 with a negative time, "
                          "2 with a position outside the earth\n");
}

TEST_F(Export, TimeZoneChangesOnlyTheLocalColumn) {
    const std::string image = writeImage(loggerB());
#if defined(_WIN32)
    const char* zone = "CET-1CEST";
#else
    const char* zone = "Europe/Berlin";
#endif
    const Outcome result = bexolog("export " + image + " -f csv --tz " + zone);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string csv = readFile(base_ + ".csv");
    EXPECT_NE(csv.find("\r\n1,2004-08-07T03:29:08Z,2004-08-07T05:29:08+02:00,42.530"), std::string::npos)
        << csv.substr(0, 300);
}

#if defined(_WIN32)
TEST_F(Export, WindowsBuildSaysWhatItCannotWrite) {
    const std::string image = writeImage(loggerB());
    expectFailure(image + " -f svg,png", "png is not available in this build");
    expectFailure(image + " -f dwc --archive", "Darwin Core Archive (dwc --archive) is not available in this build");
}
#else
TEST_F(Export, ArchiveAndPngAreWritten) {
    const std::string image = writeImage(loggerB());
    const Outcome result = bexolog("export " + image + " -f dwc,png --archive");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(outputsHere(), (std::set<std::string>{base_ + ".dwca.zip", base_ + ".png"}));
}
#endif

} // namespace
