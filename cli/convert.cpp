// bexolog convert: raw log image -> log text file, as a download would write it.
#include "commands.h"
#include "imagefile.h"
#include "logrecords.h"
#include "numberarg.h"

#include "bexolog_parser.h"
#include "textexport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

struct ConvertOptions {
    std::string image;
    std::string output;
    std::string family = "0x8100"; // a flag-layout family
    std::string oldestVersion;     // empty: leave the parser's default
    bool noMergeDead = false;
    bool noMergeCrossing = false;
};

[[noreturn]] void failConvert(const std::string& message) {
    std::fprintf(stderr, "bexolog convert: %s\n", message.c_str());
    throw CLI::RuntimeError(1);
}

std::string defaultOutputFor(const std::string& image) {
    return std::filesystem::path(image).replace_extension(".txt").string();
}

void runConvert(const ConvertOptions& options) {
    const std::string output = options.output.empty() ? defaultOutputFor(options.image) : options.output;
    std::error_code ignored;
    if (std::filesystem::equivalent(options.image, output, ignored))
        failConvert("the text file would overwrite the image '" + options.image + "'; choose another with -o");

    std::vector<unsigned char> image;
    std::string error;
    if (!readImageFile(options.image, image, error)) failConvert(error);

    if (!options.oldestVersion.empty())
        set_oldest_usable_version(static_cast<int>(*parseNumber(options.oldestVersion, 255)));
    std::vector<LogRecord> records;
    if (!parseImage(image, records, error)) failConvert(error);

    eeFamily = static_cast<uint16_t>(*parseNumber(options.family, 0xFFFF));
    mergeDeadWildlife = !options.noMergeDead;
    mergeCrossingWildlife = !options.noMergeCrossing;

    // Binary mode: the writers put CR LF themselves.
    FILE* file = std::fopen(output.c_str(), "wb");
    if (file == nullptr) failConvert("cannot write '" + output + "': " + std::strerror(errno));
    writeLogTextForFamily(records.data(), static_cast<unsigned>(records.size()), file);
    const bool writeFailed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || writeFailed) failConvert("error while writing '" + output + "'");

    std::printf("%d records written to %s\n", static_cast<int>(records.size()), output.c_str());
}

} // namespace

void addConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert = app.add_subcommand("convert", "Convert a raw log image (e.g. bexo-log.bin) into log text");
    convert->add_option("IMAGE", options->image, "Raw log image file")->required();
    convert->add_option("-o,--output", options->output, "Text file to write (default: IMAGE with extension .txt)");
    convert->add_option("--family", options->family, "EEPROM family word that selects the layout")
        ->type_name("0xHHHH")
        ->check(numberArgument(0xFFFF))
        ->capture_default_str();
    convert->add_flag("--no-merge-dead", options->noMergeDead, "Do not merge log records for dead wildlife");
    convert->add_flag("--no-merge-crossing", options->noMergeCrossing, "Do not merge log records for crossing wildlife");
    convert->add_option("--oldest-version", options->oldestVersion, "Oldest log family the parser accepts (default 4)")
        ->type_name("N")
        ->check(numberArgument(255));
    convert->callback([options] { runConvert(*options); });
}
