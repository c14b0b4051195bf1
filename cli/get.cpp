// bexolog get ID -o FILE: an item's bytes into a file (a log file up to the
// end of what the unit has written into it).
#include "commands.h"
#include "numberarg.h"
#include "unit_session.h"

#include <cstdio>
#include <memory>

namespace {

struct GetOptions {
    std::string id;
    std::string output;
    UnitChoice unit;
};

constexpr unsigned char kLogFile = 0x60;

void runGet(const GetOptions& o) {
    const unsigned int id = static_cast<unsigned int>(*parseNumber(o.id, 0xFFFFFFFFul));
    UnitSession session("bexolog get", o.unit);
    session.open(true);
    const DirectoryListing d = readListing(session);
    const _direntry* item = nullptr;
    for (const _direntry& e : d.entries)
        if (e.id == id) {
            item = &e;
            break;
        }
    if (!item) session.fail("the unit has no item with id " + o.id);
    const bool logFile = item->type == kLogFile;
    std::vector<char> path(o.output.begin(), o.output.end());
    path.push_back('\0');
    unsigned int length = 0; // 0: into the file named
    const int ok = logFile ? ZELReadDirectoryItemPartialByID(session.unit, id, path.data(), &length)
                           : ZELReadDirectoryItemByID(session.unit, id, path.data(), &length);
    if (!ok) session.failUnit("reading item " + o.id + " into " + o.output);
    std::FILE* written = std::fopen(o.output.c_str(), "rb");
    long bytes = 0;
    if (written) {
        std::fseek(written, 0, SEEK_END);
        bytes = std::ftell(written);
        std::fclose(written);
    }
    std::printf("%ld bytes of item %u (type 0x%02X, %u bytes%s) written to %s\n", bytes, id, item->type, item->size,
                logFile ? ", read up to its erased tail" : "", o.output.c_str());
}

} // namespace

void addGetCommand(CLI::App& app) {
    auto o = std::make_shared<GetOptions>();
    CLI::App* cmd = app.add_subcommand("get", "Copy an item's bytes into a file; a log file (type 0x60) up to the "
                                              "end of what the unit has logged.");
    cmd->add_option("ID", o->id, "Item id (decimal, or hex as 0x..)")->required()->check(numberArgument(0xFFFFFFFFul));
    cmd->add_option("-o,--output", o->output, "File to write")->required();
    addUnitOptions(cmd, o->unit);
    cmd->callback([o] { runGet(*o); });
}
