#include "commands.h"
#include "summarytexts.h"

#include <string>

namespace {

// The suite: the export program's own version, and that of the libraries
// built with it.
std::string versionText() {
    return std::string("bexolog ") + kFileVersion + " (BexoLog Export " + versionLabel(kFileVersion) + ")\n" +
           "zelusb " BEXO_VERSION "\nBexoLog Parser " BEXO_VERSION;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Tools for Bexo GPS loggers and their logs.", "bexolog"};
    // On Windows CLI11 would take "/path/file" for an option named path/file.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.set_version_flag("--version", versionText(), "Show the versions of the export program and its libraries");
    addConvertCommand(app);
    addExportCommand(app);
    addInfoCommand(app);
    addFirmwareCommand(app);
    addDirCommand(app);
    addGetCommand(app);
    addPutCommand(app);
    addRmCommand(app);
    addStatusCommand(app);
    addDownloadCommand(app);
    addClearCommand(app);
    addConfigureCommand(app);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
