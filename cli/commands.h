// Subcommands of bexolog. Each adds itself to the app; its callback throws
// CLI::RuntimeError with the exit code after reporting a failure on stderr.
#pragma once

#include <CLI/CLI.hpp>

void addConvertCommand(CLI::App& app);
void addExportCommand(CLI::App& app);
void addInfoCommand(CLI::App& app);
void addFirmwareCommand(CLI::App& app);
void addDirCommand(CLI::App& app);
void addGetCommand(CLI::App& app);
void addPutCommand(CLI::App& app);
void addRmCommand(CLI::App& app);
void addStatusCommand(CLI::App& app);
void addDownloadCommand(CLI::App& app);
void addClearCommand(CLI::App& app);
void addConfigureCommand(CLI::App& app);
