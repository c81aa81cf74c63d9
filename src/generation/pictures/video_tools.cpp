#include "generation/pictures/video_tools.h"

#include "generation/pictures/copy_folder.h"

namespace mivo {

VideoPrograms findVideoPrograms() {
    return {};
}

bool probeVideo(const VideoPrograms& /*programs*/, const std::string& /*path*/,
                VideoFacts& /*facts*/, std::string& error,
                const std::function<bool()>& /*stopRequested*/) {
    error = "not yet";
    return false;
}

WebVideoWay webVideoWay(const VideoFacts& /*facts*/, const std::string& /*fileName*/) {
    return WebVideoWay::Transcode;
}

std::string webVideoType(const VideoFacts& /*facts*/, WebVideoWay /*way*/) {
    return "video/mp4";
}

bool extractPoster(const VideoPrograms& /*programs*/, const std::string& /*path*/,
                   const VideoFacts& /*facts*/, std::string& /*png*/, std::string& error,
                   const std::function<bool()>& /*stop*/) {
    error = "not yet";
    return false;
}

std::vector<std::string> webVideoCommand(const VideoPrograms& /*programs*/,
                                         const std::string& /*path*/, const VideoFacts& /*facts*/,
                                         WebVideoWay /*way*/, const std::string& /*output*/) {
    return {};
}

double webVideoTimeLimit(const VideoFacts& facts) {
    return 60 + 10 * facts.durationSeconds;
}

bool makeWebVideo(const VideoPrograms& /*programs*/, const std::string& /*path*/,
                  const VideoFacts& /*facts*/, WebVideoWay /*way*/, const CopyFolder& /*folder*/,
                  const std::string& /*name*/, std::string& error,
                  const std::function<bool()>& /*stop*/) {
    error = "not yet";
    return false;
}

} // namespace mivo
