// bexo-sim: makes and manages virtual Bexo units kept in folders.
#include "args.h"
#include "commands.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    CLI::App app{"Makes and manages virtual Bexo units, each kept in a folder.", "bexo-sim"};
    // On Windows CLI11 would take "/path/file" for an option named path/file.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    addCreateCommand(app);
    addShowCommand(app);
    addAddLogsCommand(app);
    addLogSpaceCommands(app);
    addEepromCommand(app);
    addFaultCommand(app);
    addSettingCommands(app);
    addPlugCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bexo-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
