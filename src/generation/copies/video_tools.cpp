#include "generation/copies/video_tools.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <random>
#include <string_view>

#include "common/run_program.h"
#include "common/system_reason.h"
#include "common/translate.h"
#include "generation/copies/copy_folder.h"
#include "generation/copies/frame_brightness.h"
#include "generation/copies/picture_resize.h"

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
// Asking ffmpeg which filters it has.
constexpr double kQuestionTimeLimit = 60;
// No ffmpeg call runs longer than this, whatever the video claims to be: a few frames stamped
// hours apart would otherwise keep a transcode busy for the hours in between.
constexpr double kLongestCall = 600;
// A GIF's animation copy: a few minutes at most, however many frames it holds.
constexpr double kAnimationTimeLimit = 300;
// How x264 makes a web video or an animation copy. "veryfast" takes some 40 % less processor
// time than "fast"; a CRF two steps lower keeps the quality: on 1080p clips, PSNR within
// 0.4 dB of "fast" at CRF 23, files from 15 % smaller to 10 % larger.
constexpr const char* kX264Preset = "veryfast";
constexpr const char* kX264Crf = "21";

// The demuxers of the containers Mivo lists (MP4/MOV/3GP, Matroska/WebM, AVI). None of them
// opens another file as ffmpeg is run here (the MOV demuxer's external data references are off
// unless asked for); a playlist, a concat script or an image sequence named .mp4 is refused.
constexpr const char* kVideoDemuxers = "mov,matroska,avi";

// A file from the user's folder is read as the one file it is: the file protocol only, never
// a name read as an option ("-i.mp4") or another protocol ("http:x.mp4"), and only through
// the demuxers above.
std::vector<std::string> inputArguments(const std::string& path,
                                        const char* demuxers = kVideoDemuxers) {
    return {"-protocol_whitelist",
            "file",
            "-format_whitelist",
            demuxers,
            "-i",
            "file:" + (path.starts_with('/') ? path : "./" + path)};
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

std::string valueOf(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto it = values.find(key);
    return it == values.end() || it->second == "N/A" ? std::string() : it->second;
}

// The offset from UTC at the end of "2024-05-12T08:00:00+0900" (or "+09:00", after fractions
// of a second) as "+09:00"; "" for a time without one, or in UTC.
std::string zoneOffset(const std::string& stamp) {
    if (stamp.size() < 19) {
        return {};
    }
    std::string_view rest = std::string_view(stamp).substr(19);
    if (rest.starts_with('.')) {
        rest.remove_prefix(1);
        while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
            rest.remove_prefix(1);
        }
    }
    const auto digits = [](std::string_view text) {
        return text.size() == 2 && text[0] >= '0' && text[0] <= '9' && text[1] >= '0' &&
               text[1] <= '9';
    };
    if ((rest.size() != 5 && rest.size() != 6) || (rest[0] != '+' && rest[0] != '-')) {
        return {};
    }
    const std::string_view hours = rest.substr(1, 2);
    const std::string_view minutes = rest.substr(rest.size() - 2);
    if (!digits(hours) || !digits(minutes) || (rest.size() == 6 && rest[3] != ':') ||
        hours > "14" || minutes > "59") {
        return {};
    }
    return std::string(1, rest[0]) + std::string(hours) + ":" + std::string(minutes);
}

// A tag's text as one line of at most 64 bytes: control characters as blanks, runs of blanks
// as one, none at either end, cut only between whole UTF-8 characters.
std::string oneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const bool blank = static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ' ';
        if (blank) {
            if (!line.empty() && line.back() != ' ') {
                line.push_back(' ');
            }
        } else {
            line.push_back(c);
        }
    }
    constexpr std::size_t kLongest = 64;
    if (line.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        line.resize(cut);
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

// The camera model a container names: Apple's QuickTime key, the QuickTime user data
// (©mod) or MP4 key ffprobe calls "model", or a Matroska tag MODEL, else the maker alone
// the same ways. Matroska has no standard tag for the camera; ENCODER names the program that
// wrote the file, not the camera, and is not taken.
std::string cameraModel(const std::map<std::string, std::string>& values) {
    for (const char* const key : {"com_apple_quicktime_model", "model", "MODEL",
                                  "com_apple_quicktime_make", "make", "MAKE"}) {
        std::string text = oneLine(valueOf(values, std::string("format.tags.") + key));
        if (!text.empty()) {
            return text;
        }
    }
    return {};
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

// "10000000/10000" or "1000" as a number.
double ratioNumber(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return toNumber(text);
    }
    const double down = toNumber(text.substr(slash + 1));
    return down > 0 ? toNumber(text.substr(0, slash)) / down : 0;
}

// The stream's brightest light in cd/m2: its content light level (MaxCLL), else its mastering
// display's peak, as ffmpeg's tonemap filter takes them; 0 when neither is given.
double peakLuminance(const std::map<std::string, std::string>& values, const std::string& stream) {
    double content = 0;
    double mastering = 0;
    const std::string sideData = stream + "side_data_list.side_data.";
    for (auto it = values.lower_bound(sideData);
         it != values.end() && it->first.starts_with(sideData); ++it) {
        if (it->first.ends_with(".max_content")) {
            content = ratioNumber(it->second);
        } else if (it->first.ends_with(".max_luminance")) {
            mastering = ratioNumber(it->second);
        }
    }
    const double peak = content > 0 ? content : mastering;
    return peak > 0 && peak <= 100000 ? peak : 0;
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
    const std::string cameraClock = valueOf(values, "format.tags.com_apple_quicktime_creationdate");
    std::string date = exifDate(cameraClock);
    if (!date.empty()) {
        facts.timeZone = zoneOffset(cameraClock);
    } else {
        date = exifDate(valueOf(values, "format.tags.creation_time"));
    }
    if (date.empty()) {
        date = exifDate(valueOf(values, videoStream + "tags.creation_time"));
    }
    facts.dateTaken = date;
    facts.model = cameraModel(values);
    facts.creationTime = utcCreationTime(valueOf(values, "format.tags.creation_time"));
    facts.colorTransfer = valueOf(values, videoStream + "color_transfer");
    facts.colorPrimaries = valueOf(values, videoStream + "color_primaries");
    facts.colorSpace = valueOf(values, videoStream + "color_space");
    facts.colorRange = valueOf(values, videoStream + "color_range");
    facts.peakLuminance = peakLuminance(values, videoStream);
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

// ---- Colours a browser shows right ------------------------------------------------------
// Browsers show HDR video (HLG or PQ) and BT.2020 colours differently, and an 8-bit H.264 copy
// tagged with them looks flat or banded in one and wrong in another: every poster and web copy
// of such a video is turned into SDR BT.709 and tagged so.

// How the values of a stream turn into light.
enum class Light { Standard, Hlg, Pq };

Light lightOf(const VideoFacts& facts) {
    if (facts.colorTransfer == "arib-std-b67") {
        return Light::Hlg;
    }
    return facts.colorTransfer == "smpte2084" ? Light::Pq : Light::Standard;
}

// The names below go into a filter graph: only names from these lists, never text the file
// gave, whatever ffprobe read from it.
template <std::size_t N>
const char* knownName(const std::string& name, const char* const (&known)[N], const char* other) {
    for (const char* candidate : known) {
        if (name == candidate) {
            return candidate;
        }
    }
    return other;
}

const char* transferName(const VideoFacts& facts) {
    static const char* const kKnown[] = {"arib-std-b67", "smpte2084", "bt709",
                                         "bt2020-10",    "bt2020-12", "smpte170m"};
    return knownName(facts.colorTransfer, kKnown, "bt709");
}

// BT.2020 where the stream does not say (its transfer or primaries already did).
const char* primariesName(const VideoFacts& facts) {
    static const char* const kKnown[] = {"bt2020", "bt709", "smpte432", "smpte170m", "bt470bg"};
    return knownName(facts.colorPrimaries, kKnown, "bt2020");
}

const char* matrixName(const VideoFacts& facts) {
    static const char* const kKnown[] = {"bt2020nc", "bt2020c", "bt709", "smpte170m", "bt470bg"};
    return knownName(facts.colorSpace, kKnown, "bt2020nc");
}

bool fullRange(const VideoFacts& facts) {
    return facts.colorRange == "pc";
}

// ffmpeg's tonemap filter takes the peak from the frames' light-level or mastering data and
// otherwise assumes 1000 cd/m2; in units of 100 cd/m2, the white the filters below work in.
double peakOf(const VideoFacts& facts) {
    return facts.peakLuminance > 0 ? facts.peakLuminance / 100 : 10;
}

// The red, green and blue of each set of primaries and their white (D65 for all), as xy.
struct Primaries {
    double xy[4][2];
};

Primaries primariesOf(const std::string& name) {
    if (name == "bt709") {
        return {{{0.640, 0.330}, {0.300, 0.600}, {0.150, 0.060}, {0.3127, 0.3290}}};
    }
    if (name == "smpte432") {
        return {{{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.3127, 0.3290}}};
    }
    if (name == "smpte170m") {
        return {{{0.630, 0.340}, {0.310, 0.595}, {0.155, 0.070}, {0.3127, 0.3290}}};
    }
    if (name == "bt470bg") {
        return {{{0.640, 0.330}, {0.290, 0.600}, {0.150, 0.060}, {0.3127, 0.3290}}};
    }
    return {{{0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}, {0.3127, 0.3290}}};
}

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                m[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return m;
}

Matrix inverse(const Matrix& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Matrix r{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
        }
    }
    return r;
}

// Linear RGB of these primaries to CIE XYZ, white at Y = 1.
Matrix toXyz(const Primaries& p) {
    Matrix columns{};
    for (int c = 0; c < 3; ++c) {
        const double x = p.xy[c][0], y = p.xy[c][1];
        columns[0][c] = x / y;
        columns[1][c] = 1;
        columns[2][c] = (1 - x - y) / y;
    }
    const double wx = p.xy[3][0], wy = p.xy[3][1];
    const std::array<double, 3> white = {wx / wy, 1, (1 - wx - wy) / wy};
    const Matrix back = inverse(columns);
    Matrix m{};
    for (int c = 0; c < 3; ++c) {
        const double s = back[c][0] * white[0] + back[c][1] * white[1] + back[c][2] * white[2];
        for (int r = 0; r < 3; ++r) {
            m[r][c] = columns[r][c] * s;
        }
    }
    return m;
}

// The value of one colour as light, 1 = 100 cd/m2, as zimg (which ffmpeg's zscale filter uses)
// reads it for a display: PQ up to 10000 cd/m2; HLG for a display of 1000 cd/m2, its system
// gamma 1.2 on each colour; anything else as a BT.1886 display.
double toLight(Light light, double value) {
    value = std::max(value, 0.0);
    switch (light) {
    case Light::Pq: {
        constexpr double m1 = 0.1593017578125, m2 = 78.84375;
        constexpr double c1 = 0.8359375, c2 = 18.8515625, c3 = 18.6875;
        const double p = std::pow(value, 1 / m2);
        return std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1) * 100;
    }
    case Light::Hlg: {
        constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
        const double scene =
            value <= 0.5 ? value * value / 3 : (std::exp((value - c) / a) + b) / 12;
        return std::pow(scene, 1.2) * 10;
    }
    case Light::Standard:
        break;
    }
    return std::pow(value, 2.4);
}

// John Hable's filmic curve, as ffmpeg's tonemap filter has it.
double hable(double x) {
    constexpr double a = 0.15, b = 0.50, c = 0.10, d = 0.20, e = 0.02, f = 0.30;
    return (x * (x * a + b * c) + d * e) / (x * (x * a + b) + d * f) - e / f;
}

// A 3D colour table (.cube) from the video's R'G'B' (its own primaries and transfer, full
// range) to SDR BT.709 R'G'B': to light, into BT.709 primaries, HDR tone-mapped as the zscale
// chain below does it, and back through BT.1886. 33 points a side keep it within a few
// levels of that chain.
std::string toneTableText(const VideoFacts& facts) {
    constexpr int kPoints = 33;
    const Light light = lightOf(facts);
    const bool tone = light != Light::Standard;
    const Matrix convert =
        multiply(inverse(toXyz(primariesOf("bt709"))), toXyz(primariesOf(primariesName(facts))));
    const double peak = peakOf(facts);
    const double peakCurve = hable(peak);
    std::string text = "LUT_3D_SIZE " + std::to_string(kPoints) + "\n";
    text.reserve(text.size() + std::size_t{kPoints} * kPoints * kPoints * 27);
    for (int b = 0; b < kPoints; ++b) {
        for (int g = 0; g < kPoints; ++g) {
            for (int r = 0; r < kPoints; ++r) {
                const std::array<double, 3> in = {toLight(light, r / double(kPoints - 1)),
                                                  toLight(light, g / double(kPoints - 1)),
                                                  toLight(light, b / double(kPoints - 1))};
                std::array<double, 3> out{};
                for (int i = 0; i < 3; ++i) {
                    out[i] = convert[i][0] * in[0] + convert[i][1] * in[1] + convert[i][2] * in[2];
                }
                if (tone) {
                    // The brightest of the three decides, so that hues stay as they are.
                    const double signal = std::max({out[0], out[1], out[2], 1e-6});
                    const double scale = hable(signal) / peakCurve / signal;
                    for (double& v : out) {
                        v *= scale;
                    }
                }
                char line[64];
                std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n",
                              std::pow(std::clamp(out[0], 0.0, 1.0), 1 / 2.4),
                              std::pow(std::clamp(out[1], 0.0, 1.0), 1 / 2.4),
                              std::pow(std::clamp(out[2], 0.0, 1.0), 1 / 2.4));
                text += line;
            }
        }
    }
    return text;
}

// A folder for temporary files whose name can stand in a filter graph as it is: TMPDIR when
// its name holds nothing but letters, digits and "/._-", else /tmp.
std::string temporaryBase() {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || dir[0] != '/') {
        return "/tmp";
    }
    const std::string_view name(dir);
    const bool plain = std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '/' || c == '.' || c == '_' || c == '-';
    });
    return plain ? std::string(name) : "/tmp";
}

// The colour table of one ffmpeg call, in a new folder of its own; both go with it.
class ToneTable {
  public:
    ToneTable() = default;
    ~ToneTable() {
        if (!file_.empty()) {
            ::unlink(file_.c_str());
        }
        if (!folder_.empty()) {
            ::rmdir(folder_.c_str());
        }
    }
    ToneTable(const ToneTable&) = delete;
    ToneTable& operator=(const ToneTable&) = delete;

    bool make(const VideoFacts& facts, std::string& error) {
        std::string folder = temporaryBase() + "/mivo-colours-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) {
            error = "colour table: " + systemReasonText(errno);
            return false;
        }
        folder_ = folder;
        // lut3d tells the table's kind by the file's extension.
        const std::string file = folder_ + "/table.cube";
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = "colour table: " + systemReasonText(errno);
            return false;
        }
        file_ = file;
        const std::string text = toneTableText(facts);
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
            if (wrote < 0 && errno == EINTR) {
                continue;
            }
            if (wrote <= 0) {
                error = "colour table: " + systemReasonText(errno);
                ::close(fd);
                return false;
            }
            done += static_cast<std::size_t>(wrote);
        }
        if (::close(fd) != 0) {
            error = "colour table: " + systemReasonText(errno);
            return false;
        }
        return true;
    }
    const std::string& path() const { return file_; }

  private:
    std::string folder_;
    std::string file_;
};

// The colour table unless zscale's own tone mapping is asked for: it is the same mapping
// (posters and web copies some 49 dB PSNR apart, mean brightness within 0.3 %), looked up in
// one pass where the zscale chain runs Hable's curve on every pixel in a pass of its own.
// Between zscale's conversions, which zimg makes with vector instructions, in floating point
// (lut3d's quickest kind of frame): a 10-second 1080p HLG clip's filters take 9.8 s of a core
// where swscale's 16-bit conversions around the same table took 17.5 s; every ffmpeg has
// lut3d, not every one zscale.
ColourFilters colourWay(const VideoPrograms& programs) {
    if (programs.colourFilters != ColourFilters::Default) {
        return programs.colourFilters;
    }
    return ffmpegHasZscale(programs.ffmpeg) ? ColourFilters::Table : ColourFilters::TableSwscale;
}

bool usesTable(ColourFilters way) {
    return way == ColourFilters::Table || way == ColourFilters::TableSwscale;
}

// The filters that make the frames `width` x `height`, SDR BT.709 in 8-bit 4:2:0 and tagged
// so. HDR is tone-mapped as the usual zscale chain does it: into light with 100 cd/m2 as
// white, into BT.709 primaries, Hable's curve on the brightest of the three colours with no
// desaturation, back through BT.1886. The first zscale goes into light and into BT.709 in
// one pass (zimg turns the primaries in linear light either way), one pass over the frame in
// floating point fewer than the usual chain's. The colour table `table` does the same between
// two zscale conversions (to RGB and from it; no dither, which x264 would keep at great
// cost), or between two swscale conversions.
std::string shownColourFilters(ColourFilters way, const VideoFacts& facts, long width, long height,
                               const std::string& table) {
    const std::string size = std::to_string(width) + ":" + std::to_string(height);
    const std::string range = fullRange(facts) ? "pc" : "tv";
    std::string filters;
    if (way == ColourFilters::Zscale) {
        filters = "zscale=w=" + std::to_string(width) + ":h=" + std::to_string(height) +
                  ":f=bicubic:tin=" + transferName(facts) + ":pin=" + primariesName(facts) +
                  ":min=" + matrixName(facts) + ":rin=" + range;
        if (lightOf(facts) != Light::Standard) {
            filters += ":t=linear:npl=100:p=bt709,format=gbrpf32le,"
                       "tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv";
        } else {
            filters += ":t=bt709:p=bt709:m=bt709:r=tv";
        }
    } else if (way == ColourFilters::Table) {
        filters = "zscale=w=" + std::to_string(width) + ":h=" + std::to_string(height) +
                  ":f=bicubic:min=" + matrixName(facts) + ":rin=" + range +
                  ":r=pc,format=gbrpf32le,lut3d=file=" + table +
                  ":interp=tetrahedral,zscale=m=bt709:r=tv:d=none";
    } else {
        const std::string matrix = matrixName(facts);
        const std::string swsMatrix = matrix.starts_with("bt2020") ? "bt2020"
                                      : matrix == "bt709"          ? "bt709"
                                                                   : "smpte170m";
        // The table's 16-bit output is made 8-bit RGB before it becomes YCbCr: swscale would
        // otherwise dither the 16 bits into 8 with a pattern that x264 keeps at great cost (a
        // flat HLG clip's copy 14 times the zscale chain's size).
        filters = "scale=" + size + ":in_color_matrix=" + swsMatrix + ":in_range=" + range +
                  ":out_range=pc,format=gbrp16le,lut3d=file=" + table +
                  ":interp=tetrahedral,format=gbrp,scale=out_color_matrix=bt709:out_range=tv";
    }
    return filters + ",format=yuv420p,setparams=color_primaries=bt709:color_trc=bt709:"
                     "colorspace=bt709:range=tv";
}

bool runPoster(const VideoPrograms& programs, const std::string& path, const VideoFacts& facts,
               const std::string& table, double seek, bool skipDark, std::string& png,
               ProgramResult& run, const std::function<bool()>& stop) {
    std::vector<std::string> argv = quietProgram(programs.ffmpeg);
    char seekText[32];
    std::snprintf(seekText, sizeof seekText, "%.3f", seek);
    char searchText[32];
    std::snprintf(searchText, sizeof searchText, "%.3f", kPosterSearchSeconds);
    // ffmpeg turns the frames upright by the rotation the video is shown with; they are then
    // made the size they are shown at, square pixels, at most the display copy's size.
    const auto [width, height] = fittedSize(facts, kPosterEdge, kPosterEdge);
    std::string filters =
        needsShownColours(facts)
            ? shownColourFilters(colourWay(programs), facts, width, height, table) + ",setsar=1"
            : "scale=" + std::to_string(width) + ":" + std::to_string(height) +
                  ",setsar=1,format=yuv420p";
    if (skipDark) {
        filters += ",signalstats,metadata=mode=select:key=lavfi.signalstats.YAVG:value=" +
                   std::to_string(kPosterMinimumBrightness) + ":function=greater";
    }
    filters += ",thumbnail=" + std::to_string(kPosterCandidates);
    argv.insert(argv.end(), {"-ss", seekText, "-t", searchText});
    const std::vector<std::string> input = inputArguments(path);
    argv.insert(argv.end(), input.begin(), input.end());
    // The PNG only carries the frame through the pipe: stored without compression or row
    // filters it is made in half the time (some 0.08 s of a core less at 1080p), the pixels
    // are the same, and its brightness is read straight from its bytes.
    argv.insert(argv.end(), {"-map",       "0:V:0",         "-an",  "-sn",
                             "-dn",        "-map_metadata", "-1",   "-vf",
                             filters,      "-frames:v",     "1",    "-f",
                             "image2pipe", "-c:v",          "png",  "-compression_level",
                             "0",          "-pred",         "none", "-pix_fmt",
                             "rgb24",      "pipe:1"});
    ProgramRun how;
    how.captureOutput = true;
    how.outputLimit = 64u << 20;
    how.timeLimitSeconds = programs.posterSeconds;
    how.stopRequested = stop;
    const bool ok = runProgram(argv, how, run);
    png = std::move(run.output);
    return ok;
}

} // namespace

bool isHdrVideo(const VideoFacts& facts) {
    return lightOf(facts) != Light::Standard;
}

bool needsShownColours(const VideoFacts& facts) {
    return isHdrVideo(facts) || facts.colorPrimaries == "bt2020" ||
           facts.colorSpace.starts_with("bt2020");
}

VideoPrograms findVideoPrograms() {
    return VideoPrograms{findProgram("ffmpeg"), findProgram("ffprobe")};
}

bool ffmpegHasZscale(const std::string& ffmpeg) {
    static std::mutex mutex;
    static std::map<std::string, bool> known;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = known.find(ffmpeg);
    if (found != known.end()) {
        return found->second;
    }
    // "Filter zscale" and its options, or "Unknown filter 'zscale'." on standard error.
    ProgramRun how;
    how.captureOutput = true;
    how.outputLimit = 1u << 20;
    how.timeLimitSeconds = kQuestionTimeLimit;
    ProgramResult run;
    std::vector<std::string> argv = quietProgram(ffmpeg);
    argv.insert(argv.end(), {"-h", "filter=zscale"});
    const bool has = !ffmpeg.empty() && runProgram(argv, how, run) &&
                     std::string_view(run.output).starts_with("Filter zscale");
    known.emplace(ffmpeg, has);
    return has;
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
    how.timeLimitSeconds = programs.probeSeconds;
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
    // HDR is never linked or copied as it is: browsers show it each their own way.
    if (needsShownColours(facts)) {
        return WebVideoWay::Transcode;
    }
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
                   std::string& png, std::string& error, const std::function<bool()>& stop,
                   ProgramResult* result) {
    png.clear();
    ProgramResult own;
    ProgramResult& run = result != nullptr ? *result : own;
    run = ProgramResult{};
    if (programs.ffmpeg.empty()) {
        error = "ffmpeg is not installed";
        return false;
    }
    // Not the first frame, often black or a fade: a short way in, and the most typical of the
    // next frames if it is bright, of the next bright frames if not.
    const double seek = std::min(1.0, facts.durationSeconds / 10);
    ToneTable table;
    if (needsShownColours(facts) && usesTable(colourWay(programs)) && !table.make(facts, error)) {
        return false;
    }
    // The most typical of the frames there; most videos are bright there, and measuring
    // every frame's brightness in ffmpeg (signalstats) costs more than choosing among them.
    if (!runPoster(programs, path, facts, table.path(), seek, false, png, run, stop)) {
        error = failure("ffmpeg", run);
        return false;
    }
    double brightness = 0;
    if (!png.empty() &&
        !(storedPngBrightness(png, brightness) && brightness > kPosterMinimumBrightness)) {
        // Dark (or not known to be bright): the most typical of the next bright frames.
        if (!runPoster(programs, path, facts, table.path(), seek, true, png, run, stop)) {
            error = failure("ffmpeg", run);
            return false;
        }
    }
    if (png.empty()) {
        // Every frame looked at was dark (a night scene), or the video ends before the seek
        // (a single frame): the most typical frame from the start then.
        if (!runPoster(programs, path, facts, table.path(), 0, false, png, run, stop)) {
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
                                         const std::string& output, const std::string& toneTable) {
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
        const bool shown = needsShownColours(facts);
        const std::string filters =
            shown ? shownColourFilters(colourWay(programs), facts, width, height,
                                       toneTable.empty() ? "tone.cube" : toneTable) +
                        ",setsar=1"
                  : "scale=" + std::to_string(width) + ":" + std::to_string(height) + ",setsar=1";
        argv.insert(argv.end(), {"-vf", filters, "-c:v", "libx264", "-preset", kX264Preset, "-crf",
                                 kX264Crf, "-pix_fmt", "yuv420p",
                                 // Frames keep their own times: a gap is not filled with copies
                                 // of the frame before it.
                                 "-fps_mode", "vfr"});
        // AAC sound, as phones and cameras record it, goes with the copy as it is, as it
        // does when a video is only remuxed: every browser plays it, and encoding it again
        // would cost it quality and a tenth of a 1080p clip's time.
        if (facts.audioCodec == "aac") {
            argv.insert(argv.end(), {"-c:a", "copy"});
        } else {
            argv.insert(argv.end(), {"-c:a", "aac", "-b:a", "160k"});
        }
        if (shown) {
            // The stream and the container say BT.709, never the original's BT.2020 or HDR.
            argv.insert(argv.end(), {"-color_primaries", "bt709", "-color_trc", "bt709",
                                     "-colorspace", "bt709", "-color_range", "tv"});
        }
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

bool webVideoLimitIsTheLongest(const VideoFacts& facts) {
    return webVideoTimeLimit(facts) >= kLongestCall;
}

namespace {

// Writes what ffmpeg (`command` for a given output file) makes as `name` into the open folder
// `folder`: into a new temporary file of the folder, renamed over `name` only when ffmpeg
// succeeded, removed on failure, stop or time limit, so that no partial file is ever left.
bool writeThroughFfmpeg(const CopyFolder& folder, const std::string& name,
                        const std::function<std::vector<std::string>(const std::string&)>& command,
                        const ProgramRun& how, std::string& error, ProgramResult& run) {
    const std::string target = folder.path() + "/" + name;
    if (!isPlainFileName(name)) {
        error = target + ": not a file name";
        return false;
    }
    // ffmpeg writes into a file without a name, which gets one only once ffmpeg succeeded: a
    // run killed meanwhile (ffmpeg dies with it) leaves nothing of the file behind. Where the
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
    bool ok = runProgram(command(output), how, run);
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

} // namespace

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
    ProgramRun how;
    how.timeLimitSeconds = webVideoTimeLimit(facts);
    how.stopRequested = stop;
    ProgramResult own;
    ProgramResult& run = result != nullptr ? *result : own;
    ToneTable table;
    if (way == WebVideoWay::Transcode && needsShownColours(facts) &&
        usesTable(colourWay(programs)) && !table.make(facts, error)) {
        error = target + ": " + error;
        return false;
    }
    return writeThroughFfmpeg(
        folder, name,
        [&](const std::string& output) {
            return webVideoCommand(programs, path, facts, way, output, table.path());
        },
        how, error, run);
}

std::vector<std::string> animationCommand(const VideoPrograms& programs, const std::string& path,
                                          long width, long height, const std::string& output) {
    // H.264 in 4:2:0 wants even sizes; never more than the display copy's.
    const long evenWidth = std::max(2L, width - width % 2);
    const long evenHeight = std::max(2L, height - height % 2);
    std::vector<std::string> argv = quietProgram(programs.ffmpeg);
    const std::string threads = std::to_string(programs.threads);
    if (programs.threads > 0) {
        argv.insert(argv.end(), {"-threads", threads, "-filter_complex_threads", threads});
    }
    // The GIF is read as the one GIF it is, as a video is read as one video.
    const std::vector<std::string> input = inputArguments(path, "gif");
    argv.insert(argv.end(), input.begin(), input.end());
    // H.264 holds no transparency (ffmpeg would show it white): each frame is laid on the
    // checker the still copies show, at the GIF's own size, then shrunk. The checker is drawn
    // once, on the first frame, with squares that are kCheckerSquare pixels of the display
    // copy, and stands behind every frame; each frame's time stays its own.
    const std::string ratio =
        std::to_string(std::max(1L, width)) + "/(" + std::to_string(kCheckerSquare) + "*W)";
    const std::string checker = "if(mod(floor(X*" + ratio + ")+floor(Y*" + ratio + "),2)," +
                                std::to_string(kCheckerDark) + "," + std::to_string(kCheckerLight) +
                                ")";
    const std::string graph =
        "[0:V:0]format=rgba,split=3[frame][alpha][first];[alpha]alphaextract,format=gbrp[mask];"
        "[frame]format=gbrp[picture];[first]trim=end_frame=1,format=gray,geq=lum='" +
        checker + "',format=gbrp[checker];[checker][picture][mask]maskedmerge,scale=" +
        std::to_string(evenWidth) + ":" + std::to_string(evenHeight) +
        ":flags=lanczos,setsar=1[out]";
    argv.insert(argv.end(), {"-filter_complex", graph, "-map", "[out]", "-an", "-dn", "-sn",
                             "-map_metadata", "-1", "-map_chapters", "-1", "-c:v", "libx264",
                             "-preset", kX264Preset, "-crf", kX264Crf, "-pix_fmt", "yuv420p",
                             // Each frame stays as long as the GIF shows it.
                             "-fps_mode", "vfr"});
    if (programs.threads > 0) {
        argv.insert(argv.end(), {"-threads", threads});
    }
    argv.insert(argv.end(), {"-movflags", "+faststart", "-f", "mp4", "-y", output});
    return argv;
}

bool makeAnimationCopy(const VideoPrograms& programs, const std::string& path, long width,
                       long height, const CopyFolder& folder, const std::string& name,
                       std::string& error, const std::function<bool()>& stop,
                       ProgramResult* result) {
    if (programs.ffmpeg.empty()) {
        error = folder.path() + "/" + name + ": ffmpeg is not installed";
        return false;
    }
    ProgramRun how;
    how.timeLimitSeconds = kAnimationTimeLimit;
    how.stopRequested = stop;
    ProgramResult own;
    return writeThroughFfmpeg(
        folder, name,
        [&](const std::string& output) {
            return animationCommand(programs, path, width, height, output);
        },
        how, error, result != nullptr ? *result : own);
}

} // namespace mivo
