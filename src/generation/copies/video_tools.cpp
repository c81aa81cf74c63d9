#include "generation/copies/video_tools.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <map>
#include <random>

#include "common/run_program.h"
#include "common/system_reason.h"
#include "common/translate.h"
#include "generation/copies/copy_folder.h"

namespace mivo {

namespace {

// The largest web video, either way round: 1080p.
constexpr long kWebLongEdge = 1920;
constexpr long kWebShortEdge = 1080;
// The poster is at most the display copy's size; larger frames are shrunk before they are
// compared, which keeps the frames the poster is chosen from small in memory.
constexpr long kPosterEdge = 2048;
// Frames the poster is chosen among, and how far into the video they are looked for.
constexpr int kPosterCandidates = 12;
constexpr double kPosterSearchSeconds = 10;
// Average brightness (8-bit, black is 16) a frame needs to be a poster: fades from black and
// a lens cap are passed over.
constexpr int kPosterMinimumBrightness = 24;
constexpr double kProbeTimeLimit = 60;
constexpr double kPosterTimeLimit = 120;
// No ffmpeg call runs longer than this, whatever the video claims to be: a few frames stamped
// hours apart would otherwise keep a transcode busy for the hours in between.
constexpr double kLongestCall = 600;

// The demuxers of the containers Mivo lists (MP4/MOV/3GP, Matroska/WebM, AVI). None of them
// opens another file as ffmpeg is run here (the MOV demuxer's external data references are off
// unless asked for); a playlist, a concat script or an image sequence named .mp4 is refused.
constexpr const char* kVideoDemuxers = "mov,matroska,avi";

// A file from the user's folder is read as the one file it is: the file protocol only, never
// a name read as an option ("-i.mp4") or another protocol ("http:x.mp4"), and only through
// the demuxers above.
std::vector<std::string> inputArguments(const std::string& path) {
    return {"-protocol_whitelist", "file", "-format_whitelist",
            kVideoDemuxers,        "-i",   "file:" + (path.starts_with('/') ? path : "./" + path)};
}

std::vector<std::string> quietProgram(const std::string& program) {
    return {program, "-nostdin", "-hide_banner", "-loglevel", "error"};
}

std::string lowerExtension(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool isMovFamily(const VideoFacts& facts) {
    return facts.container.find("mp4") != std::string::npos ||
           facts.container.find("mov") != std::string::npos;
}

bool isMatroska(const VideoFacts& facts) {
    return facts.container.find("matroska") != std::string::npos ||
           facts.container.find("webm") != std::string::npos;
}

bool fitsWeb(const VideoFacts& facts) {
    return std::max(facts.width, facts.height) <= kWebLongEdge &&
           std::min(facts.width, facts.height) <= kWebShortEdge;
}

// H.264 that every browser plays: 8-bit 4:2:0 (a 10-bit or 4:2:2 stream is H.264 too, but
// only some browsers show it).
bool isWebH264(const VideoFacts& facts) {
    return facts.videoCodec == "h264" &&
           (facts.pixelFormat.empty() || facts.pixelFormat == "yuv420p" ||
            facts.pixelFormat == "yuvj420p");
}

// One value of ffprobe's "flat" output, its quotes and escapes taken off.
std::string flatValue(std::string_view raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') {
        return std::string(raw);
    }
    raw = raw.substr(1, raw.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            ++i;
            value.push_back(raw[i] == 'n' ? '\n' : raw[i] == 't' ? '\t' : raw[i]);
        } else {
            value.push_back(raw[i]);
        }
    }
    return value;
}

std::map<std::string, std::string> parseFlat(const std::string& text) {
    std::map<std::string, std::string> values;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line(text.data() + begin, end - begin);
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            values[std::string(line.substr(0, equals))] = flatValue(line.substr(equals + 1));
        }
        begin = end + 1;
    }
    return values;
}

double toNumber(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && std::isfinite(value) ? value : 0;
}

long toWhole(const std::string& text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : 0;
}

// The box "moov" (the index) before "mdat" (the media data) among the top-level boxes of an
// MP4 or MOV file. true when neither is found: nothing then says the index is at the end.
bool indexComesFirst(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return true;
    }
    bool first = true;
    std::uint64_t offset = 0;
    for (int box = 0; box < 10000; ++box) {
        unsigned char header[16];
        const ssize_t got = ::pread(fd, header, sizeof header, static_cast<off_t>(offset));
        if (got < 8) {
            break;
        }
        const std::string_view type(reinterpret_cast<const char*>(header + 4), 4);
        if (type == "moov" || type == "mdat") {
            first = type == "moov";
            break;
        }
        std::uint64_t size = (std::uint64_t{header[0]} << 24) | (std::uint64_t{header[1]} << 16) |
                             (std::uint64_t{header[2]} << 8) | header[3];
        if (size == 1 && got == 16) {
            size = 0;
            for (int i = 8; i < 16; ++i) {
                size = (size << 8) | header[i];
            }
        }
        if (size < 8) {
            break; // 0: the box runs to the end of the file; smaller: damaged
        }
        offset += size;
    }
    ::close(fd);
    return first;
}

// "2024-05-01T12:34:56.000000Z" (UTC) as local time, or "2024-05-01T14:34:56+0200" (the
// camera's own time, as Apple writes it) as it is; both as "2024:05:01 14:34:56".
std::string exifDate(const std::string& stamp) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = 0;
    if (std::sscanf(stamp.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &year, &month, &day, &separator,
                    &hour, &minute, &second) != 7 ||
        (separator != 'T' && separator != ' ') || year < 1971 || month < 1 || month > 12 ||
        day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return {};
    }
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    if (stamp.ends_with('Z')) {
        const std::time_t instant = ::timegm(&when);
        std::tm local{};
        if (instant == static_cast<std::time_t>(-1) || ::localtime_r(&instant, &local) == nullptr) {
            return {};
        }
        when = local;
    }
    char text[80];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", when.tm_year + 1900,
                  when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return text;
}

// "2024-05-01T12:34:56.000000Z" as "2024-05-01T12:34:56Z", the form ffmpeg writes back into a
// copy; "" for anything else (the text comes from the file and goes on to ffmpeg).
std::string utcCreationTime(const std::string& stamp) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = 0;
    if (!stamp.ends_with('Z') ||
        std::sscanf(stamp.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &year, &month, &day, &separator,
                    &hour, &minute, &second) != 7 ||
        separator != 'T' || year < 1971 || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || second > 60) {
        return {};
    }
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour,
                  minute, second);
    return text;
}

// The clockwise turn a stream is shown with: a display matrix (ffprobe gives its
// counter-clockwise angle) or the older "rotate" tag.
int streamRotation(const std::map<std::string, std::string>& values, const std::string& stream) {
    double degrees = 0;
    bool found = false;
    const std::string sideData = stream + "side_data_list.side_data.";
    for (auto it = values.lower_bound(sideData);
         it != values.end() && it->first.starts_with(sideData); ++it) {
        if (it->first.ends_with(".rotation")) {
            degrees = -toNumber(it->second);
            found = true;
            break;
        }
    }
    if (!found) {
        const auto tag = values.find(stream + "tags.rotate");
        if (tag == values.end()) {
            return 0;
        }
        degrees = toNumber(tag->second);
    }
    const long quarter = std::lround(degrees / 90.0);
    return static_cast<int>(((quarter % 4) + 4) % 4) * 90;
}

std::string valueOf(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto it = values.find(key);
    return it == values.end() || it->second == "N/A" ? std::string() : it->second;
}

bool readFacts(const std::string& output, const std::string& path, VideoFacts& facts,
               std::string& error) {
    const auto values = parseFlat(output);
    facts = VideoFacts{};
    facts.container = valueOf(values, "format.format_name");
    facts.durationSeconds = toNumber(valueOf(values, "format.duration"));
    std::string videoStream;
    for (int i = 0;; ++i) {
        const std::string stream = "streams.stream." + std::to_string(i) + ".";
        const std::string type = valueOf(values, stream + "codec_type");
        if (type.empty() && values.find(stream + "index") == values.end()) {
            break;
        }
        // A cover picture is shown as a video stream of one frame: not the video.
        if (type == "video" && videoStream.empty() &&
            valueOf(values, stream + "disposition.attached_pic") != "1") {
            videoStream = stream;
        } else if (type == "audio" && facts.audioCodec.empty()) {
            facts.audioCodec = valueOf(values, stream + "codec_name");
        }
    }
    if (videoStream.empty()) {
        error = "no video stream";
        return false;
    }
    facts.videoCodec = valueOf(values, videoStream + "codec_name");
    facts.pixelFormat = valueOf(values, videoStream + "pix_fmt");
    facts.rotation = streamRotation(values, videoStream);
    facts.width = toWhole(valueOf(values, videoStream + "width"));
    // Pixels that are not square (DV, some old cameras) are shown wider or narrower.
    const std::string aspect = valueOf(values, videoStream + "sample_aspect_ratio");
    if (const std::size_t colon = aspect.find(':'); colon != std::string::npos) {
        const double across = toNumber(aspect.substr(0, colon));
        const double down = toNumber(aspect.substr(colon + 1));
        if (across > 0 && down > 0 && across != down) {
            facts.width = std::lround(static_cast<double>(facts.width) * across / down);
        }
    }
    facts.height = toWhole(valueOf(values, videoStream + "height"));
    if (facts.rotation == 90 || facts.rotation == 270) {
        std::swap(facts.width, facts.height);
    }
    if (facts.durationSeconds <= 0) {
        facts.durationSeconds = toNumber(valueOf(values, videoStream + "duration"));
    }
    if (facts.width <= 0 || facts.height <= 0 || facts.durationSeconds <= 0 ||
        facts.videoCodec.empty()) {
        error = facts.durationSeconds <= 0 ? "no duration" : "no picture size";
        return false;
    }
    // ffprobe's flat output writes the dots of a tag's name as "_".
    std::string date = exifDate(valueOf(values, "format.tags.com_apple_quicktime_creationdate"));
    if (date.empty()) {
        date = exifDate(valueOf(values, "format.tags.creation_time"));
    }
    if (date.empty()) {
        date = exifDate(valueOf(values, videoStream + "tags.creation_time"));
    }
    facts.dateTaken = date;
    facts.creationTime = utcCreationTime(valueOf(values, "format.tags.creation_time"));
    facts.indexFirst = !isMovFamily(facts) || indexComesFirst(path);
    return true;
}

std::string failure(const std::string& what, const ProgramResult& run) {
    if (run.stopped) {
        return what + ": stopped";
    }
    if (run.timedOut) {
        return what + ": " + translatable("時間がかかりすぎたため止めました");
    }
    std::string tail = run.errorTail;
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ')) {
        tail.pop_back();
    }
    if (const std::size_t line = tail.find_last_of('\n'); line != std::string::npos) {
        tail.erase(0, line + 1); // the last line says why
    }
    if (tail.empty()) {
        tail =
            run.exitCode < 0 ? "ended abnormally" : "exit status " + std::to_string(run.exitCode);
    }
    return what + ": " + tail;
}

std::string randomSuffix() {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 engine(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix.push_back(kLetters[pick(engine)]);
    }
    return suffix;
}

// A new hidden temporary file for `name` in `folder`, open for writing. O_EXCL and O_NOFOLLOW:
// always a new file, never a name that was there.
bool makeTemporary(const CopyFolder& folder, const std::string& name, std::string& temp, int& fd) {
    fd = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = "." + name + ".part-" + randomSuffix();
        fd = ::openat(folder.fd(), temp.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || (errno != EEXIST && errno != EINTR)) {
            break;
        }
    }
    return fd >= 0;
}

// Gives the unnamed file `fd` a new hidden temporary name in `folder`, to be renamed over the
// copy's name.
bool nameTemporary(const CopyFolder& folder, const std::string& name, int fd, std::string& temp) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = "." + name + ".part-" + randomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), folder.fd(), temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        if (errno != EEXIST && errno != EINTR) {
            break;
        }
    }
    temp.clear();
    return false;
}

// An even number of pixels from 2 up: 4:2:0 video has no odd sizes.
long evenSize(double value) {
    const long even = static_cast<long>(value / 2) * 2;
    return std::max(even, 2L);
}

// The shown picture inside `longEdge` x `shortEdge` (turned to fit a standing picture), never
// enlarged, in even sizes: 4:2:0 video has no odd ones.
std::pair<long, long> fittedSize(const VideoFacts& facts, long longEdge, long shortEdge) {
    const bool standing = facts.height > facts.width;
    const double boxWidth = static_cast<double>(standing ? shortEdge : longEdge);
    const double boxHeight = static_cast<double>(standing ? longEdge : shortEdge);
    const double width = static_cast<double>(std::max(facts.width, 1L));
    const double height = static_cast<double>(std::max(facts.height, 1L));
    const double scale = std::min({1.0, boxWidth / width, boxHeight / height});
    return {evenSize(std::round(width * scale)), evenSize(std::round(height * scale))};
}

bool runPoster(const VideoPrograms& programs, const std::string& path, const VideoFacts& facts,
               double seek, bool skipDark, std::string& png, ProgramResult& run,
               const std::function<bool()>& stop) {
    std::vector<std::string> argv = quietProgram(programs.ffmpeg);
    char seekText[32];
    std::snprintf(seekText, sizeof seekText, "%.3f", seek);
    char searchText[32];
    std::snprintf(searchText, sizeof searchText, "%.3f", kPosterSearchSeconds);
    // ffmpeg turns the frames upright by the rotation the video is shown with; they are then
    // made the size they are shown at, square pixels, at most the display copy's size.
    const auto [width, height] = fittedSize(facts, kPosterEdge, kPosterEdge);
    std::string filters = "scale=" + std::to_string(width) + ":" + std::to_string(height) +
                          ",setsar=1,format=yuv420p";
    if (skipDark) {
        filters += ",signalstats,metadata=mode=select:key=lavfi.signalstats.YAVG:value=" +
                   std::to_string(kPosterMinimumBrightness) + ":function=greater";
    }
    filters += ",thumbnail=" + std::to_string(kPosterCandidates);
    argv.insert(argv.end(), {"-ss", seekText, "-t", searchText});
    const std::vector<std::string> input = inputArguments(path);
    argv.insert(argv.end(), input.begin(), input.end());
    argv.insert(argv.end(), {"-map", "0:V:0", "-an", "-sn", "-dn", "-map_metadata", "-1", "-vf",
                             filters, "-frames:v", "1", "-f", "image2pipe", "-c:v", "png",
                             "-pix_fmt", "rgb24", "pipe:1"});
    ProgramRun how;
    how.captureOutput = true;
    how.outputLimit = 64u << 20;
    how.timeLimitSeconds = kPosterTimeLimit;
    how.stopRequested = stop;
    const bool ok = runProgram(argv, how, run);
    png = std::move(run.output);
    return ok;
}

} // namespace

VideoPrograms findVideoPrograms() {
    return VideoPrograms{findProgram("ffmpeg"), findProgram("ffprobe")};
}

bool probeVideo(const VideoPrograms& programs, const std::string& path, VideoFacts& facts,
                std::string& error, const std::function<bool()>& stopRequested,
                ProgramResult* result) {
    facts = VideoFacts{};
    if (programs.ffprobe.empty()) {
        error = "ffprobe is not installed";
        return false;
    }
    std::vector<std::string> argv = {programs.ffprobe, "-hide_banner", "-loglevel",
                                     "error",          "-of",          "flat",
                                     "-show_format",   "-show_streams"};
    const std::vector<std::string> input = inputArguments(path);
    argv.insert(argv.end(), input.begin(), input.end());
    ProgramRun how;
    how.captureOutput = true;
    how.outputLimit = 16u << 20;
    how.timeLimitSeconds = kProbeTimeLimit;
    how.stopRequested = stopRequested;
    ProgramResult own;
    ProgramResult& run = result != nullptr ? *result : own;
    if (!runProgram(argv, how, run)) {
        error = failure("ffprobe", run);
        return false;
    }
    if (!readFacts(run.output, path, facts, error)) {
        error = "not a video (" + error + ")";
        return false;
    }
    return true;
}

WebVideoWay webVideoWay(const VideoFacts& facts, const std::string& fileName) {
    const std::string extension = lowerExtension(fileName);
    const bool fits = fitsWeb(facts);
    const bool mp4Name = extension == "mp4" || extension == "m4v";
    const bool aacOrNone = facts.audioCodec.empty() || facts.audioCodec == "aac";
    if (fits && isWebH264(facts) && aacOrNone && isMovFamily(facts)) {
        return mp4Name && facts.indexFirst ? WebVideoWay::Original : WebVideoWay::Remux;
    }
    if (fits && isWebH264(facts) && aacOrNone && isMatroska(facts)) {
        return WebVideoWay::Remux;
    }
    const bool webmAudio =
        facts.audioCodec.empty() || facts.audioCodec == "opus" || facts.audioCodec == "vorbis";
    if (fits && extension == "webm" && facts.container.find("webm") != std::string::npos &&
        (facts.videoCodec == "vp9" || facts.videoCodec == "av1") && webmAudio) {
        return WebVideoWay::Original;
    }
    return WebVideoWay::Transcode;
}

std::string webVideoType(const VideoFacts& facts, WebVideoWay way) {
    return way == WebVideoWay::Original && isMatroska(facts) ? "video/webm" : "video/mp4";
}

bool extractPoster(const VideoPrograms& programs, const std::string& path, const VideoFacts& facts,
                   std::string& png, std::string& error, const std::function<bool()>& stop) {
    png.clear();
    if (programs.ffmpeg.empty()) {
        error = "ffmpeg is not installed";
        return false;
    }
    // Not the first frame, often black or a fade: a short way in, and the most typical of the
    // next bright frames.
    const double seek = std::min(1.0, facts.durationSeconds / 10);
    ProgramResult run;
    if (!runPoster(programs, path, facts, seek, true, png, run, stop)) {
        error = failure("ffmpeg", run);
        return false;
    }
    if (png.empty()) {
        // Every frame looked at was dark (a night scene), or the video ends before the seek
        // (a single frame): the most typical frame from the start then.
        if (!runPoster(programs, path, facts, 0, false, png, run, stop)) {
            error = failure("ffmpeg", run);
            return false;
        }
    }
    if (png.empty()) {
        error = "ffmpeg: no frame";
        return false;
    }
    return true;
}

std::vector<std::string> webVideoCommand(const VideoPrograms& programs, const std::string& path,
                                         const VideoFacts& facts, WebVideoWay way,
                                         const std::string& output) {
    if (way == WebVideoWay::Original) {
        return {};
    }
    std::vector<std::string> argv = quietProgram(programs.ffmpeg);
    const std::string threads = std::to_string(programs.threads);
    if (way == WebVideoWay::Transcode && programs.threads > 0) {
        argv.insert(argv.end(), {"-threads", threads, "-filter_threads", threads});
    }
    const std::vector<std::string> input = inputArguments(path);
    argv.insert(argv.end(), input.begin(), input.end());
    // Of the original's metadata only the date it was taken goes with the copy: a phone's
    // videos carry where they were shot, which a published gallery must not give away. The
    // turn a copied stream is shown with is no metadata and stays.
    argv.insert(argv.end(),
                {"-map", "0:V:0", "-map", "0:a:0?", "-map_metadata", "-1", "-map_metadata:s:v",
                 "-1", "-map_metadata:s:a", "-1", "-map_chapters", "-1", "-dn", "-sn"});
    if (!facts.creationTime.empty()) {
        argv.insert(argv.end(), {"-metadata", "creation_time=" + facts.creationTime});
    }
    if (way == WebVideoWay::Remux) {
        argv.insert(argv.end(), {"-c", "copy"});
    } else {
        const auto [width, height] = fittedSize(facts, kWebLongEdge, kWebShortEdge);
        argv.insert(argv.end(),
                    {"-vf",
                     "scale=" + std::to_string(width) + ":" + std::to_string(height) + ",setsar=1",
                     "-c:v", "libx264", "-preset", "fast", "-crf", "23", "-pix_fmt", "yuv420p",
                     // Frames keep their own times: a gap is not filled with copies of the
                     // frame before it.
                     "-fps_mode", "vfr", "-c:a", "aac", "-b:a", "160k"});
        if (programs.threads > 0) {
            argv.insert(argv.end(), {"-threads", threads});
        }
    }
    argv.insert(argv.end(), {"-movflags", "+faststart", "-f", "mp4", "-y", output});
    return argv;
}

double webVideoTimeLimit(const VideoFacts& facts) {
    return std::min(60 + 10 * facts.durationSeconds, kLongestCall);
}

bool makeWebVideo(const VideoPrograms& programs, const std::string& path, const VideoFacts& facts,
                  WebVideoWay way, const CopyFolder& folder, const std::string& name,
                  std::string& error, const std::function<bool()>& stop, ProgramResult* result) {
    const std::string target = folder.path() + "/" + name;
    if (way == WebVideoWay::Original) {
        error = target + ": the original is played as it is";
        return false;
    }
    if (programs.ffmpeg.empty()) {
        error = target + ": ffmpeg is not installed";
        return false;
    }
    if (!isPlainFileName(name)) {
        error = target + ": not a file name";
        return false;
    }
    // ffmpeg writes into a file without a name, which gets one only once ffmpeg succeeded: a
    // run killed meanwhile (ffmpeg dies with it) leaves nothing of the video behind. Where the
    // file system has no such files, into a new hidden name the next run removes.
    std::string temp;
    int fd = ::openat(folder.fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    const bool unnamed = fd >= 0;
    if (!unnamed && !makeTemporary(folder, name, temp, fd)) {
        error = target + ": " + systemReasonText(errno);
        return false;
    }
    // ffmpeg opens our descriptor by its /proc name (twice with fast start, which reads the
    // file back): nothing of the folder's path is looked up again.
    const std::string output = "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd);
    ProgramRun how;
    how.timeLimitSeconds = webVideoTimeLimit(facts);
    how.stopRequested = stop;
    ProgramResult own;
    ProgramResult& run = result != nullptr ? *result : own;
    bool ok = runProgram(webVideoCommand(programs, path, facts, way, output), how, run);
    if (!ok) {
        error = target + ": " + failure("ffmpeg", run);
    }
    if (ok && unnamed && !nameTemporary(folder, name, fd, temp)) {
        ok = false;
        error = target + ": " + systemReasonText(errno);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = target + ": " + systemReasonText(errno);
    }
    // renameat replaces whatever has the name, a link included, and never follows it.
    if (ok && ::renameat(folder.fd(), temp.c_str(), folder.fd(), name.c_str()) != 0) {
        ok = false;
        error = target + ": " + systemReasonText(errno);
    }
    if (!ok && !temp.empty()) {
        ::unlinkat(folder.fd(), temp.c_str(), 0);
    }
    return ok;
}

} // namespace mivo
