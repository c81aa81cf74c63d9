// Helpers for make_bench.sh, built by it with the system compiler.
//   bench_tools make <folder> <count> <base.jpg>   camera-like JPEG files: the base picture
//                                                  behind an EXIF block of 20 to 60 KiB
//   bench_tools read <folder>                      the floor of any maker: open every file
//                                                  and read its first 64 KiB
//   bench_tools pread <folder> <threads>           the parallel floor: <threads> threads open
//                                                  the files and read the first 4 KiB of each
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::uint64_t gState = 0x9e3779b97f4a7c15ULL;

std::uint64_t nextRandom() {
    gState ^= gState << 13;
    gState ^= gState >> 7;
    gState ^= gState << 17;
    return gState;
}

bool readWhole(const char* path, std::string& out) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        out.append(buffer, got);
    }
    std::fclose(f);
    return true;
}

void put16be(std::string& s, unsigned v) {
    s += static_cast<char>((v >> 8) & 0xff);
    s += static_cast<char>(v & 0xff);
}

void put16le(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>((v >> 8) & 0xff);
}

void put32le(std::string& s, std::uint32_t v) {
    put16le(s, v & 0xffff);
    put16le(s, v >> 16);
}

/// APP1 "Exif" segment of `total` bytes (marker included): one IFD with Orientation 1, then
/// filler standing in for the maker notes and the embedded preview of a camera file.
std::string exifSegment(std::size_t total) {
    std::string tiff = "II*";
    tiff += '\0';
    put32le(tiff, 8);
    put16le(tiff, 1);      // one entry
    put16le(tiff, 0x0112); // Orientation
    put16le(tiff, 3);      // SHORT
    put32le(tiff, 1);
    put16le(tiff, 1);
    put16le(tiff, 0);
    put32le(tiff, 0); // no next IFD
    std::string body("Exif\0\0", 6);
    body += tiff;
    const std::size_t payload = total - 4;
    while (body.size() < payload) {
        const std::uint64_t r = nextRandom();
        for (int i = 0; i < 8 && body.size() < payload; ++i) {
            body += static_cast<char>((r >> (i * 8)) & 0xff);
        }
    }
    std::string segment = "\xff\xe1";
    put16be(segment, static_cast<unsigned>(payload + 2));
    return segment + body;
}

int makeFiles(const std::string& folder, long count, const char* basePath) {
    std::string base;
    if (!readWhole(basePath, base) || base.size() < 4 || base.compare(0, 2, "\xff\xd8") != 0) {
        std::fprintf(stderr, "bench_tools: %s is no JPEG file\n", basePath);
        return 1;
    }
    for (long i = 1; i <= count; ++i) {
        const std::size_t exif = 20 * 1024 + nextRandom() % (40 * 1024 + 1);
        char name[32];
        std::snprintf(name, sizeof name, "/IMG_%06ld.jpg", i);
        const std::string path = folder + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            std::perror(path.c_str());
            return 1;
        }
        const std::string segment = exifSegment(exif);
        std::fwrite("\xff\xd8", 1, 2, f);
        std::fwrite(segment.data(), 1, segment.size(), f);
        std::fwrite(base.data() + 2, 1, base.size() - 2, f);
        if (std::fclose(f) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}

int readFiles(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        std::perror(folder.c_str());
        return 1;
    }
    std::vector<char> buffer(64 * 1024);
    long files = 0;
    unsigned sum = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) {
            continue;
        }
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got > 0) {
            sum += static_cast<unsigned char>(buffer[static_cast<std::size_t>(got) - 1]);
        }
        close(fd);
        ++files;
    }
    closedir(dir);
    std::printf("%ld %u\n", files, sum);
    return 0;
}

int readFilesInParallel(const std::string& folder, int threads) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        std::perror(folder.c_str());
        return 1;
    }
    std::vector<std::string> paths;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') {
            paths.push_back(folder + "/" + entry->d_name);
        }
    }
    closedir(dir);
    std::atomic<std::size_t> next{0};
    std::atomic<unsigned> sum{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            char buffer[4096];
            for (std::size_t i = next++; i < paths.size(); i = next++) {
                const int fd = open(paths[i].c_str(), O_RDONLY);
                if (fd < 0) {
                    continue;
                }
                const ssize_t got = read(fd, buffer, sizeof buffer);
                if (got > 0) {
                    sum += static_cast<unsigned char>(buffer[got - 1]);
                }
                close(fd);
            }
        });
    }
    for (std::thread& thread : pool) {
        thread.join();
    }
    std::printf("%zu %u\n", paths.size(), sum.load());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "make") == 0) {
        return makeFiles(argv[2], std::atol(argv[3]), argv[4]);
    }
    if (argc == 3 && std::strcmp(argv[1], "read") == 0) {
        return readFiles(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "pread") == 0) {
        return readFilesInParallel(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: bench_tools make <folder> <count> <base.jpg> | read <folder> | "
                         "pread <folder> <threads>\n");
    return 2;
}
