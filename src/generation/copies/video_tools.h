#pragma once

#include <functional>
#include <string>
#include <vector>

namespace mivo {

class CopyFolder;
struct ProgramResult;

/// What ffprobe tells of a file.
struct VideoFacts {
    double durationSeconds = 0;
    long width = 0, height = 0; // as shown: rotation (90/270 swap them), non-square pixels
    int rotation = 0;         // clockwise degrees the frames are turned when shown: 0, 90, 180, 270
    std::string videoCodec;   // ffprobe codec_name: "h264", "hevc", "vp9", "av1", ...
    std::string pixelFormat;  // ffprobe pix_fmt: "yuv420p", "yuv420p10le", ...
    std::string audioCodec;   // "" when no audio stream
    std::string container;    // format_name: "mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm", ...
    bool indexFirst = true;   // MP4/MOV: the moov box comes before mdat (fast start)
    std::string dateTaken;    // creation_time as "YYYY:MM:DD HH:MM:SS" (EXIF style), or ""
    std::string timeZone;     // the camera's offset from UTC that dateTaken is in: "+09:00", or
                              // "" when the file does not say (a UTC time shown here as local)
    std::string model;        // the camera model the container names (QuickTime, MP4 or
                              // Matroska tags), one line of printable text; "" when none
    std::string creationTime; // the container's creation_time, "YYYY-MM-DDTHH:MM:SSZ", or ""
    // How the video stream's values are to be read, as ffprobe names them ("" when the file
    // does not say): transfer "bt709", "arib-std-b67" (HLG), "smpte2084" (PQ)...; primaries
    // "bt709", "bt2020"...; matrix "bt709", "bt2020nc"...; range "tv" or "pc".
    std::string colorTransfer, colorPrimaries, colorSpace, colorRange;
    // The brightest light the stream says it holds, in cd/m2 (its content light level, else
    // its mastering display's peak); 0 when it does not say.
    double peakLuminance = 0;
};

/// How HDR and wide-gamut video is turned into SDR BT.709: a colour table Mivo computes and
/// ffmpeg's own lut3d filter applies to frames zscale turned into floating-point RGB (Table),
/// the same table between swscale's 16-bit conversions (TableSwscale, for an ffmpeg without
/// zimg), or ffmpeg's zscale and tonemap filters (Zscale). All three are the same mapping;
/// Table takes the least processor time. Default: Table where the ffmpeg has zscale, else
/// TableSwscale.
enum class ColourFilters { Default, Zscale, Table, TableSwscale };

/// The ffmpeg and ffprobe programs of this machine, looked up once per run.
struct VideoPrograms {
    std::string ffmpeg, ffprobe;
    // Threads one transcode may use; 0 leaves it to ffmpeg (every core). A run that keeps
    // every core busy with one item each gives each transcode one, so none waits on another.
    int threads = 0;
    ColourFilters colourFilters = ColourFilters::Default;
    // How long one ffprobe call and one poster call may take before they are killed.
    double probeSeconds = 60;
    double posterSeconds = 120;
    bool ok() const { return !ffmpeg.empty() && !ffprobe.empty(); }
};

/// Looks both programs up on PATH ("" for one that is missing).
VideoPrograms findVideoPrograms();

/// True when the ffmpeg program `ffmpeg` has the zscale filter (it was built with zimg). Asked
/// of each program once per process, the first time an HDR or wide-gamut video needs it.
bool ffmpegHasZscale(const std::string& ffmpeg);

/// Reads what the video `path` is. false with `error` when the file is not a video ffprobe can
/// read (a text file named .mp4, no video stream, zero duration) or ffprobe failed or was
/// stopped (`result`, when given, tells which).
bool probeVideo(const VideoPrograms& programs, const std::string& path, VideoFacts& facts,
                std::string& error, const std::function<bool()>& stopRequested,
                ProgramResult* result = nullptr);

/// HDR video: HLG or PQ.
bool isHdrVideo(const VideoFacts& facts);

/// Video whose colours a browser shows right only once they are turned into SDR BT.709: HDR,
/// or BT.2020 primaries or matrix.
bool needsShownColours(const VideoFacts& facts);

/// How the browser gets a playable file.
enum class WebVideoWay {
    Original,  // 8-bit 4:2:0 H.264 (+AAC) MP4 with its index first, or VP9/AV1 (+Opus/Vorbis)
               // WebM, at most 1080p
    Remux,     // H.264 (+AAC) in MP4 with the index at the end, or in MOV/MKV: copied into MP4
    Transcode, // anything else, and every HDR or BT.2020 video: H.264/AAC MP4
};

/// How the browser gets a playable file for the video `fileName` (its extension counts: a
/// .mov is never linked as it is).
WebVideoWay webVideoWay(const VideoFacts& facts, const std::string& fileName);

/// The MIME type the page gives the playable file: "video/webm" for an original WebM,
/// "video/mp4" otherwise.
std::string webVideoType(const VideoFacts& facts, WebVideoWay way);

/// The poster: one frame a short way into the video (not a black first frame), upright, in
/// SDR BT.709 colours (HDR tone-mapped), as PNG bytes.
/// `result`, when given, tells what became of the last ffmpeg call (whether it was stopped or
/// ran out of time, which says nothing of the file).
bool extractPoster(const VideoPrograms& programs, const std::string& path, const VideoFacts& facts,
                   std::string& png, std::string& error, const std::function<bool()>& stop,
                   ProgramResult* result = nullptr);

/// The ffmpeg argument vector (argv[0] is ffmpeg's path) that writes the web video of `path`
/// (Remux or Transcode) as MP4 to `output`, for the log and for replaying it alone; empty for
/// Original. `toneTable`: the colour table file the lut3d filter reads where the colours are
/// turned with a table ("tone.cube" when not given, for the log).
std::vector<std::string> webVideoCommand(const VideoPrograms& programs, const std::string& path,
                                         const VideoFacts& facts, WebVideoWay way,
                                         const std::string& output,
                                         const std::string& toneTable = {});

/// The seconds ffmpeg may take to write the web video of `facts`: ten times its length and a
/// minute, at most ten minutes.
double webVideoTimeLimit(const VideoFacts& facts);
/// True when `facts`'s limit is the ten minutes no ffmpeg call may pass, whatever its length.
bool webVideoLimitIsTheLongest(const VideoFacts& facts);

/// Writes the web video (Remux or Transcode) as `name` into the open folder `folder`: into a
/// new temporary file of the folder, renamed over `name` only when ffmpeg succeeded, removed
/// on failure, stop or time limit, so that no partial file is ever left.
/// Transcode: H.264 (yuv420p) + AAC, at most 1920x1080 (1080x1920 upright), even sizes,
/// fast start; HDR and BT.2020 video tone-mapped into SDR BT.709 and tagged so.
/// `result`, when given, tells how ffmpeg ended (timedOut: past webVideoTimeLimit).
bool makeWebVideo(const VideoPrograms& programs, const std::string& path, const VideoFacts& facts,
                  WebVideoWay way, const CopyFolder& folder, const std::string& name,
                  std::string& error, const std::function<bool()>& stop,
                  ProgramResult* result = nullptr);

/// The ffmpeg argument vector (argv[0] is ffmpeg's path) that writes the animation copy of the
/// moving GIF `path` to `output`: a muted MP4 (H.264, yuv420p, fast start) at `width` x
/// `height` made even, that the viewer loops. Only the gif demuxer reads the file.
std::vector<std::string> animationCommand(const VideoPrograms& programs, const std::string& path,
                                          long width, long height, const std::string& output);

/// Writes the animation copy of the moving GIF `path` as `name` into the open folder `folder`,
/// as makeWebVideo writes a web video: nothing partial is ever left.
bool makeAnimationCopy(const VideoPrograms& programs, const std::string& path, long width,
                       long height, const CopyFolder& folder, const std::string& name,
                       std::string& error, const std::function<bool()>& stop,
                       ProgramResult* result = nullptr);

} // namespace mivo
