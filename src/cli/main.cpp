#include <cstdio>
#include <cstring>

#include "common/program.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mivo-make %s\n", mivo::cmVersionText().c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: mivo-make [--help | --version]\n");
    return 2;
}
