// A file written under a temporary name beside its target and renamed onto
// it only when everything is written: readers never see half a file, and a
// failed export leaves nothing behind.
#pragma once

#include <cstdio>
#include <string>

struct PendingFile {
    std::string target;
    std::string temporary;
    FILE* file = nullptr; // open for writing, binary
};

// Creates the temporary file (a new name, never an existing file).
bool createPendingFile(const std::string& target, PendingFile& out, std::string& error);
// Closes the file, reporting any write error.
bool closePendingFile(PendingFile& pending, std::string& error);
// Renames the closed temporary file onto the target, replacing it.
bool commitPendingFile(PendingFile& pending, std::string& error);
// Closes if open and removes the temporary file.
void discardPendingFile(PendingFile& pending);
