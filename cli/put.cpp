// bexolog put TYPE ID FILE: write (or replace) an item, placed by the
// library's planner; says which items it moved to make room.
#include "commands.h"
#include "imagefile.h"
#include "numberarg.h"
#include "unit_session.h"

#include <cstdio>
#include <map>
#include <memory>

namespace {

struct PutOptions {
    std::string type;
    std::string id;
    std::string file;
    UnitChoice unit;
};

void runPut(const PutOptions& o) {
    const auto type = static_cast<unsigned char>(*parseNumber(o.type, 0xFE));
    const auto id = static_cast<unsigned int>(*parseNumber(o.id, 0xFFFFFFFFul));
    std::vector<unsigned char> bytes;
    std::string error;
    if (!readImageFile(o.file, bytes, error)) {
        std::fprintf(stderr, "bexolog put: %s\n", error.c_str());
        throw CLI::RuntimeError(1);
    }
    if (bytes.size() > 0xFFFF) {
        std::fprintf(stderr, "bexolog put: %s holds %lu bytes; an item holds at most 65535\n", o.file.c_str(),
                     static_cast<unsigned long>(bytes.size()));
        throw CLI::RuntimeError(1);
    }
    UnitSession session("bexolog put", o.unit);
    session.open(true);
    const DirectoryListing before = readListing(session);
    _direntry item{0, type, id, static_cast<unsigned short>(bytes.size())};
    std::fflush(stdout);
    if (!ZELWriteDirectoryItem(session.unit, item, bytes.data())) {
        unsigned long code = 0, detail = 0;
        ZELGetLastError(session.unit, code, detail);
        if (code == 0x1C000000ul)
            session.fail("no room on the unit for " + std::to_string(bytes.size()) + " more bytes, even moving up to "
                         "five items; nothing was changed", 2);
        session.failUnit("writing the item");
    }
    const DirectoryListing after = readListing(session);
    std::map<std::pair<unsigned, unsigned>, unsigned> where;
    for (const _direntry& e : before.entries) where[{+e.type, +e.id}] = e.address >> 16;
    for (const _direntry& e : after.entries) {
        auto it = where.find({+e.type, +e.id});
        if (it == where.end() || (e.type == type && e.id == id)) continue;
        if (it->second != e.address >> 16)
            std::printf("moved item %u (type 0x%02X, %u bytes) from sector %u to sector %u\n", e.id, e.type, e.size,
                        it->second, e.address >> 16);
    }
    for (const _direntry& e : after.entries)
        if (e.type == type && e.id == id)
            std::printf("item %u (type 0x%02X, %u bytes) written to sector %u at 0x%08X\n", id, type, e.size,
                        e.address >> 16, e.address);
}

} // namespace

void addPutCommand(CLI::App& app) {
    auto o = std::make_shared<PutOptions>();
    CLI::App* cmd = app.add_subcommand("put", "Write a file as an item, replacing any item of the same type and id; "
                                              "items are moved to make room when needed.");
    cmd->add_option("TYPE", o->type, "Item type, 0x00 to 0xFE")->required()->check(numberArgument(0xFE));
    cmd->add_option("ID", o->id, "Item id")->required()->check(numberArgument(0xFFFFFFFFul));
    cmd->add_option("FILE", o->file, "File holding the item's bytes (at most 65535)")->required();
    addUnitOptions(cmd, o->unit);
    cmd->callback([o] { runPut(*o); });
}
