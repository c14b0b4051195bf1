// The Download page without its window: what it enables, how it tries the
// chosen file name, and the order of the three flows (download and retain,
// download and clear, clear only) and what follows each. The window gives
// the steps that are its own: the dialogs, the refresh, the redraw, the box.
#pragma once

#include "dialoglink.h"
#include "loglines.h"
#include "unitrefresh.h"

#include <functional>
#include <string>

extern const char* const kSaveDialogTitle;   // "Save Bexo log"
extern const char* const kSaveDialogFilter;  // "Text files (*.TXT)"
extern const char* const kSaveDialogPattern; // "*.txt"
extern const char* const kInvalidFileNameText; // "Please enter a valid file name"

struct DownloadPageView {
    bool enabled = false;     // the three buttons and both check boxes
    bool mergeDeadChecked = false;
    bool mergeCrossingChecked = false;
};
// populateDownloadPage. Disabled, the check marks are left as they were.
DownloadPageView downloadPageView(const UnitState& state, bool unitOpen, MergeOptions merge,
                                  DownloadPageView shownBefore = {});

// Opened for appending and closed again: creates an empty file where there
// was none, leaves an existing one as it is.
bool fileNameUsable(const std::string& path);

struct DownloadPageSteps {
    std::function<int()> runDownloadDialog;     // dialog 108; its result
    std::function<void()> runPreparationDialog; // dialog 109 with the log-space worker
    std::function<void()> runUnitRefresh;
    std::function<void()> populatePage;
    std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)> messageBox;
};

// Buttons 1013 (clearAfter false) and 1015 (true), after the save dialog:
// `chosenPath` empty when the user cancelled it.
void downloadFlow(const std::string& chosenPath, bool clearAfter, std::string& logFilePath,
                  std::string& statusMessage, const DownloadPageSteps& steps);
// Button 1014; also what follows a completed download when clearing.
void clearFlow(std::string& statusMessage, const DownloadPageSteps& steps);
