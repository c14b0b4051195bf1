#include "export_support.h"

#include <cstdlib>
#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

namespace exports_test {

ToolRun runTool(const std::string& tool, const std::string& package, const std::string& arguments) {
    ToolRun run;
    if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) {
        ADD_FAILURE() << tool << " is not installed: apt-get install " << package
                      << " (scripts/test.sh installs it)";
        return run;
    }
    FILE* pipe = popen((tool + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << tool;
        return run;
    }
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.output.append(chunk, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void ExportFolder::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::path("out") / (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
}

void ExportFolder::TearDown() {
    if (!HasFailure()) std::filesystem::remove_all(folder_); // kept for a look when something failed
}

ExportResult ExportFolder::exportAs(const std::vector<LogRecord>& records, const std::vector<ExportFormat>& formats,
                                    const std::string& name, const ExportOptions& options) {
    const ExportResult result =
        exportLog(records.data(), records.size(), options, exportFiles(formats, path(name) + ".bin", "", options));
    EXPECT_TRUE(result.ok) << result.error;
    return result;
}

} // namespace exports_test
