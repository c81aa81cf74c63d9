// Times readPictureSize over every file of a folder against a baseline loop that only opens
// each file and reads its first 64 KiB, alternating the two twice in one run.
//   header_reader FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "generation/pictures/picture_header.h"

namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double baseline(const std::vector<std::string>& files, long& checksum) {
    static std::vector<char> buffer(64 * 1024);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : files) {
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            checksum += static_cast<long>(std::fread(buffer.data(), 1, buffer.size(), f));
            std::fclose(f);
        }
    }
    return seconds(std::chrono::steady_clock::now() - start);
}

double reader(const std::vector<std::string>& files, long& failures, long& checksum) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : files) {
        long width = 0;
        long height = 0;
        if (mivo::readPictureSize(path, width, height)) {
            checksum += width + height;
        } else {
            ++failures;
        }
    }
    return seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: header_reader FOLDER\n");
        return 2;
    }
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1], ec)) {
        files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no files in %s\n", argv[1]);
        return 2;
    }
    const double n = static_cast<double>(files.size());
    std::printf("%zu files\n", files.size());
    long failures = 0;
    long checksum = 0;
    double baseTotal = 0;
    double readTotal = 0;
    for (int round = 1; round <= 2; ++round) {
        const double b = baseline(files, checksum);
        const double r = reader(files, failures, checksum);
        baseTotal += b;
        readTotal += r;
        std::printf("round %d: baseline (open + read 64 KiB) %.0f files/s, header reader %.0f "
                    "files/s, reader/baseline speed %.2f\n",
                    round, n / b, n / r, b / r);
    }
    std::printf("total: baseline %.0f files/s, header reader %.0f files/s, reader/baseline "
                "speed %.2f, unmeasured files %ld (checksum %ld)\n",
                2 * n / baseTotal, 2 * n / readTotal, baseTotal / readTotal, failures, checksum);
    return failures == 0 ? 0 : 1;
}
