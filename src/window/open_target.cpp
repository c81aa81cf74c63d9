#include "window/open_target.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace mivo {

namespace fs = std::filesystem;

namespace {

bool isHostLabelChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

} // namespace

bool looksLikeHostName(const std::string& text) {
    const std::size_t end = text.find_first_of(":/?#");
    const std::string host = text.substr(0, end);
    if (host.empty() || host.find('.') == std::string::npos || host.front() == '.' ||
        host.back() == '.' || host.find("..") != std::string::npos) {
        return false;
    }
    for (const char c : host) {
        if (c != '.' && !isHostLabelChar(c)) {
            return false;
        }
    }
    const std::string top = host.substr(host.rfind('.') + 1);
    for (const char c : top) {
        if (std::isalpha(static_cast<unsigned char>(c)) == 0) {
            return false; // "1.5" or "photo.2024" are not host names
        }
    }
    if (top.size() < 2) {
        return false;
    }
    // A missing "readme.txt" is a file name, not a site; "www." always starts a site.
    static const char* const kFileExtensions[] = {"txt", "htm",  "html", "jpg", "jpeg", "gif",
                                                  "bmp", "png",  "csv",  "ini", "log",  "pdf",
                                                  "exe", "docx", "xlsx", "zip", "doc",  "xls"};
    if (host.rfind("www.", 0) != 0) {
        std::string lower;
        for (const char c : top) {
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        for (const char* extension : kFileExtensions) {
            if (lower == extension) {
                return false;
            }
        }
    }
    // After the host only a port or a path may follow: "a.b:8080/x", "a.b/x".
    if (end != std::string::npos && text[end] == ':') {
        const std::size_t portEnd = text.find_first_of("/?#", end);
        const std::string port = text.substr(end + 1, portEnd - end - 1);
        if (port.empty()) {
            return false;
        }
        for (const char c : port) {
            if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
                return false;
            }
        }
    }
    return text.find_first_of(" \t") == std::string::npos;
}

std::string findProgramOnPath(const std::string& name, const std::string& searchPath) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        // An empty entry is the current folder, as the shell takes it.
        const std::string folder = end > start ? searchPath.substr(start, end - start) : ".";
        std::string candidate = folder;
        candidate.append("/").append(name);
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::string resolveLauncherTarget(const std::string& target) {
    std::error_code ec;
    if (target.empty() || fs::exists(target, ec)) {
        return target;
    }
    const char* path = std::getenv("PATH");
    std::string program = findProgramOnPath(target, path != nullptr ? path : "");
    if (!program.empty()) {
        return program;
    }
    if (looksLikeHostName(target)) {
        return "https://" + target;
    }
    return target;
}

} // namespace mivo
