#include "commands.h"

int main(int argc, char** argv) {
    CLI::App app{"Tools for Bexo GPS loggers and their logs.", "bexolog"};
    // On Windows CLI11 would take "/path/file" for an option named path/file.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    addConvertCommand(app);
    addExportCommand(app);
    addInfoCommand(app);
    addFirmwareCommand(app);
    addDirCommand(app);
    addGetCommand(app);
    addPutCommand(app);
    addRmCommand(app);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
