// Loads and saves a large Mivo.ini the way start-up and exit do, and prints the time of each
// against reading the same file's bytes once, measured in the same run.
//   mivo_ini_bench [MEGABYTES]     (default 5; a file of short "k=v" lines in an extra section)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text_file.h"
#include "settings/settings.h"

namespace {

double seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 5;
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "mivo-ini-bench";
    fs::create_directories(folder);
    const std::string ini = (folder / "Mivo.ini").string();
    {
        std::ofstream out(ini, std::ios::binary);
        out << "[Ini]\r\nMode=1\r\n[Html]\r\nTitle=Bench\r\n\r\n[Extra]\r\n";
        const long target = megabytes * 1024 * 1024;
        for (long i = 0, written = 0; written < target; ++i) {
            const std::string line = "k" + std::to_string(i) + "=v\r\n";
            out << line;
            written += static_cast<long>(line.size());
        }
        out << "\r\n[Link]\r\nName1=Home\r\n";
    }
    const long before = peakKiB();

    auto start = std::chrono::steady_clock::now();
    std::string bytes;
    mivo::readFileBytes(ini, bytes);
    const double readOnce = seconds(start);
    bytes = std::string();

    start = std::chrono::steady_clock::now();
    mivo::Settings loaded;
    mivo::mainGetIni(ini, folder.string(), loaded);
    const double load = seconds(start);

    mivo::Settings changed = loaded;
    changed.TextTitle = "Changed";
    changed.TextLinkURL[0] = "/";
    changed.TextOpen[3] = "/usr/bin/gimp";
    start = std::chrono::steady_clock::now();
    const bool saved = mivo::mainSetIni(ini, loaded, changed);
    const double save = seconds(start);

    std::printf("Mivo.ini of %ld MB: read once %.4f s; load %.4f s (%.1fx); save of 3 changes "
                "%.4f s (%.1fx, %s); peak %.1f MB (%.1f MB before loading)\n",
                megabytes, readOnce, load, load / readOnce, save, save / readOnce,
                saved ? "saved" : "NOT SAVED", static_cast<double>(peakKiB()) / 1024.0,
                static_cast<double>(before) / 1024.0);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return saved ? 0 : 1;
}
