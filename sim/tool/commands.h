// One function per bexo-sim subcommand; main.cpp lists them.
#pragma once

#include <CLI/CLI.hpp>

void addCreateCommand(CLI::App& app);
void addShowCommand(CLI::App& app);
void addAddLogsCommand(CLI::App& app);
void addLogSpaceCommands(CLI::App& app); // clear-logs, log-image
void addEepromCommand(CLI::App& app);
void addFaultCommand(CLI::App& app);
void addSettingCommands(CLI::App& app); // trace, timing
void addPlugCommands(CLI::App& app);    // plug, unplug
