#include "downloadpage.h"

#include <cstdio>

const char* const kSaveDialogTitle = "Save Bexo log";
const char* const kSaveDialogFilter = "Text files (*.TXT)";
const char* const kSaveDialogPattern = "*.txt";
const char* const kInvalidFileNameText = "Please enter a valid file name";

DownloadPageView downloadPageView(const UnitState& state, bool unitOpen, MergeOptions merge,
                                  DownloadPageView shownBefore) {
    if (!unitOpen || !state.unitConfigurable) {
        shownBefore.enabled = false;
        return shownBefore;
    }
    return DownloadPageView{true, merge.deadWildlife, merge.crossingWildlife};
}

bool fileNameUsable(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "a+");
    if (!file) return false;
    std::fclose(file);
    return true;
}

namespace {

void statusBox(std::string& statusMessage, const DownloadPageSteps& steps) {
    if (steps.messageBox) steps.messageBox(statusMessage, "Download status", MessageIcon::Information);
    statusMessage.clear();
}

} // namespace

void clearFlow(std::string& statusMessage, const DownloadPageSteps& steps) {
    if (steps.runPreparationDialog) steps.runPreparationDialog();
    if (steps.runUnitRefresh) steps.runUnitRefresh();
    if (steps.populatePage) steps.populatePage();
    statusBox(statusMessage, steps);
}

void downloadFlow(const std::string& chosenPath, bool clearAfter, std::string& logFilePath,
                  std::string& statusMessage, const DownloadPageSteps& steps) {
    if (chosenPath.empty()) return;
    if (!fileNameUsable(chosenPath)) {
        if (steps.messageBox) steps.messageBox(kInvalidFileNameText, "Error", MessageIcon::Error);
        return;
    }
    logFilePath = chosenPath;
    // Failed or cancelled: the download dialog has said why; nothing follows.
    if (!steps.runDownloadDialog || steps.runDownloadDialog() == 0) return;
    if (clearAfter) {
        if (steps.runPreparationDialog) steps.runPreparationDialog();
        if (steps.runUnitRefresh) steps.runUnitRefresh();
        if (steps.populatePage) steps.populatePage();
    }
    statusBox(statusMessage, steps);
}
