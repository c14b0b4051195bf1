// bexolog rm ID: delete every item of that id.
#include "commands.h"
#include "numberarg.h"
#include "unit_session.h"

#include <cstdio>
#include <memory>

namespace {

void runRm(const std::string& idText, const UnitChoice& choice) {
    unsigned int id = static_cast<unsigned int>(*parseNumber(idText, 0xFFFFFFFFul));
    UnitSession session("bexolog rm", choice);
    session.open(true);
    const DirectoryListing d = readListing(session);
    size_t found = 0;
    for (const _direntry& e : d.entries) found += e.id == id ? 1 : 0;
    if (found == 0) session.fail("the unit has no item with id " + idText + "; nothing was changed");
    std::fflush(stdout);
    if (!ZELDeleteItemsByID(session.unit, &id, 1)) {
        unsigned long code = 0, detail = 0;
        ZELGetLastError(session.unit, code, detail);
        if (code == 0x1C000000ul)
            session.fail("the sector's other items and the directory would not fit in one sector; nothing was changed",
                         2);
        session.failUnit("deleting the item");
    }
    std::printf("%u item%s with id %u deleted\n", static_cast<unsigned>(found), found == 1 ? "" : "s", id);
}

} // namespace

void addRmCommand(CLI::App& app) {
    auto id = std::make_shared<std::string>();
    auto choice = std::make_shared<UnitChoice>();
    CLI::App* cmd = app.add_subcommand("rm", "Delete the items of an id from the unit.");
    cmd->add_option("ID", *id, "Item id")->required()->check(numberArgument(0xFFFFFFFFul));
    addUnitOptions(cmd, *choice);
    cmd->callback([id, choice] { runRm(*id, *choice); });
}
