#include "run_sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

namespace {

// Under Wine a build-tree path is a Unix path, which Windows sees on drive Z:.
std::string native(std::string path) {
#if defined(_WIN32)
    for (char& c : path)
        if (c == '/') c = '\\';
    if (!path.empty() && path[0] == '\\') path = "Z:" + path;
#endif
    return path;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

// Appended, not `"\"" + native(...)`: GCC 12 at -O3 misreads that form (-Wrestrict).
std::string quoted(const std::filesystem::path& path) {
    std::string q = "\"";
    q += native(path.string());
    q += '"';
    return q;
}

SimResult runSim(const std::string& args) {
    // Test cases run as parallel processes: every run gets its own files.
    static int runs = 0;
    const std::string stem = "bexo-sim-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                             "-" + std::to_string(runs++);
    const auto out = std::filesystem::temp_directory_path() / (stem + ".stdout");
    const auto err = std::filesystem::temp_directory_path() / (stem + ".stderr");
    std::string command = quoted(BEXO_SIM_PATH) + " " + args + " >" + quoted(out) + " 2>" + quoted(err);
#if defined(_WIN32)
    command = "\"" + command + "\""; // cmd.exe strips one pair of outer quotes
#endif
    const int status = std::system(command.c_str());
    SimResult result;
#if defined(_WIN32)
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    result.out = slurp(out);
    result.err = slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}
