#include "window/pictures_folder.h"

#include <fstream>

#include "common/paths.h"
#include "common/text.h"
#include "window/services.h"

namespace mivo {

namespace {

std::string variable(const EnvironmentLookup& lookup, const char* name) {
    const char* value = lookup ? lookup(name) : nullptr;
    return value != nullptr ? std::string(value) : std::string();
}

/// The value of XDG_PICTURES_DIR in user-dirs.dirs (shell syntax: "$HOME/Pictures"), with
/// $HOME put in; "" when the file does not set it.
std::string picturesFromUserDirs(const std::string& file, const std::string& home) {
    std::ifstream in(file);
    std::string line;
    const std::string key = "XDG_PICTURES_DIR=";
    while (std::getline(in, line)) {
        if (!startsWith(line, key)) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (startsWith(value, "$HOME")) {
            value.replace(0, 5, home);
        }
        return startsWith(value, "/") ? value : std::string();
    }
    return {};
}

} // namespace

std::string userPicturesFolder(const EnvironmentLookup& lookup) {
    std::string home = variable(lookup, "HOME");
    std::string pictures = variable(lookup, "XDG_PICTURES_DIR");
    if (pictures.empty()) {
        std::string config = variable(lookup, "XDG_CONFIG_HOME");
        if (!startsWith(config, "/")) {
            config = home.empty() ? std::string() : cmAddPath(home, ".config", kPathSeparator);
        }
        if (!config.empty()) {
            pictures =
                picturesFromUserDirs(cmAddPath(config, "user-dirs.dirs", kPathSeparator), home);
        }
    }
    if (!pictures.empty() && isFolder(pictures)) {
        return pictures;
    }
    return home;
}

std::string WindowServices::picturesFolder() const {
    return userPicturesFolder(processEnvironment());
}

} // namespace mivo
