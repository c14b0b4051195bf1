#include "commands.h"

int main(int argc, char** argv) {
    CLI::App app{"Tools for Bexo GPS loggers and their logs.", "bexolog"};
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
