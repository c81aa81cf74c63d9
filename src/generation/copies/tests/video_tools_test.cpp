#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "common/run_program.h"
#include "generation/copies/copy_folder.h"
#include "generation/copies/video_tools.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::TempDir;

// Tiny videos made once for every test here, 160x120 and a second or two long.
class VideoToolsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        programs = findVideoPrograms();
        if (!programs.ok()) {
            return;
        }
        dir = new TempDir;
        const std::string source = "testsrc=size=160x120:rate=25:duration=1";
        const std::string sound = "sine=duration=1";
        made = make({"-f", "lavfi", "-i", source, "-f", "lavfi", "-i", sound, "-c:v", "libx264",
                     "-pix_fmt", "yuv420p", "-c:a", "aac", "-movflags", "+faststart"},
                    "fast.mp4") &&
               make({"-f", "lavfi", "-i", source, "-f", "lavfi", "-i", sound, "-c:v", "libx264",
                     "-pix_fmt", "yuv420p", "-c:a", "aac"},
                    "indexlast.mp4") &&
               make({"-f", "lavfi", "-i", source, "-c:v", "libx265", "-pix_fmt", "yuv420p",
                     "-x265-params", "log-level=error"},
                    "plain.mov") &&
               make({"-f", "lavfi", "-i", source, "-f", "lavfi", "-i", sound, "-c:v", "libx265",
                     "-pix_fmt", "yuv420p", "-x265-params", "log-level=error", "-c:a", "aac"},
                    "sound.mov") &&
               // ffmpeg writes the rotation of a copied stream only.
               make({"-i", *dir / "plain.mov", "-c", "copy", "-metadata:s:v:0", "rotate=90"},
                    "turned.mov") &&
               make({"-f", "lavfi", "-i", source, "-f", "lavfi", "-i", sound, "-c:v", "libvpx-vp9",
                     "-deadline", "realtime", "-c:a", "libopus"},
                    "clip.webm") &&
               make({"-filter_complex", "color=black:size=160x120:rate=25:duration=1[b];" + source +
                                            "[t];[b][t]concat=n=2:v=1:a=0"},
                    "black-start.mp4") &&
               make({"-f", "lavfi", "-i", "color=black:size=160x120:rate=25:duration=1"},
                    "night.mp4") &&
               make({"-f", "lavfi", "-i", source, "-frames:v", "1"}, "frame.png") &&
               make({"-f", "lavfi", "-i", source, "-frames:v", "1", "-c:v", "libx264"},
                    "one-frame.mp4") &&
               make({"-f", "lavfi", "-i", source, "-vf", "setsar=2", "-c:v", "libx264", "-pix_fmt",
                     "yuv420p"},
                    "wide.mkv") &&
               make({"-i", *dir / "fast.mp4", "-c", "copy", "-metadata",
                     "creation_time=2024-05-01T12:34:56.000000Z"},
                    "utc.mp4") &&
               make({"-i", *dir / "utc.mp4", "-c", "copy", "-movflags", "use_metadata_tags",
                     "-metadata", "com.apple.quicktime.creationdate=2024-05-01T14:34:56+0200",
                     "-metadata", "com.apple.quicktime.make=Apple", "-metadata",
                     "com.apple.quicktime.model=iPhone\t15 Pro\n"},
                    "phone.mov") &&
               // A camera's QuickTime user data (©mod), and a Matroska tag.
               make({"-i", *dir / "utc.mp4", "-c", "copy", "-metadata", "model=EOS R6"},
                    "camera.mov") &&
               make({"-i", *dir / "utc.mp4", "-c", "copy", "-metadata", "MODEL=HC-V480"},
                    "camera.mkv") &&
               // Where it was shot, on a standing video, and as phones write it.
               make({"-i", *dir / "utc.mp4", "-c", "copy", "-metadata",
                     "location=" + std::string(kPlace), "-metadata:s:v:0", "rotate=90", "-metadata",
                     "creation_time=2024-05-01T12:34:56.000000Z"},
                    "located.mp4") &&
               make({"-i", *dir / "utc.mp4", "-c", "copy", "-movflags", "use_metadata_tags",
                     "-metadata", "com.apple.quicktime.location.ISO6709=" + std::string(kPlace)},
                    "phone-located.mov") &&
               // Twelve frames, the last stamped ten hours in.
               make({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-frames:v", "12", "-vf",
                     "setpts='if(eq(N,11),36000/TB,PTS)'", "-fps_mode", "passthrough", "-c:v",
                     "libx264", "-preset", "ultrafast"},
                    "ten-hours.mkv") &&
               make({"-f", "lavfi", "-i", source, "-c:v", "mpeg2video"}, "outside/private.ts");
        dir->write("text.mp4", "not a video at all\n");
        // Files that name another file: playlists and a concat script.
        const std::string outside = *dir / "outside/private.ts";
        for (const auto& [name, line] : std::vector<std::pair<std::string, std::string>>{
                 {"absolute.mp4", outside},
                 {"relative.mov", "../outside/private.ts"},
                 {"url.mkv", "file:" + outside}}) {
            dir->write("pics/" + name, "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1,\n" + line +
                                           "\n#EXT-X-ENDLIST\n");
        }
        dir->write("pics/concat.mp4", "ffconcat version 1.0\nfile '" + outside + "'\n");
        std::error_code ec;
        std::filesystem::copy_file(*dir / "fast.mp4", *dir / "-i.mp4", ec);
        std::filesystem::copy_file(*dir / "frame.png", *dir / "picture.mp4", ec);
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!programs.ok()) {
            GTEST_SKIP() << "ffmpeg is not installed";
        }
        ASSERT_TRUE(made);
    }

    static constexpr const char* kPlace = "+35.6586+139.7454+012.000/";

    static bool make(std::vector<std::string> arguments, const std::string& name) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(*dir / name).parent_path(), ec);
        std::vector<std::string> argv = {programs.ffmpeg, "-nostdin", "-hide_banner", "-loglevel",
                                         "error"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        argv.insert(argv.end(), {"-y", *dir / name});
        ProgramResult result;
        const bool ok = runProgram(argv, ProgramRun{}, result);
        EXPECT_TRUE(ok) << name << ": " << result.errorTail;
        return ok;
    }

    // The MD5 of a video's first sound stream as stored, packet for packet; empty without one.
    static std::string soundHash(const std::string& path) {
        ProgramRun how;
        how.captureOutput = true;
        ProgramResult result;
        if (!runProgram({programs.ffmpeg, "-nostdin", "-loglevel", "error", "-i", path, "-map",
                         "0:a:0", "-c", "copy", "-f", "hash", "-hash", "md5", "-"},
                        how, result)) {
            return {};
        }
        return result.output;
    }

    static std::vector<std::string> hdr(const std::string& transfer,
                                        const std::vector<std::string>& codec) {
        std::vector<std::string> argv = {
            "-f", "lavfi", "-i",
            "gradients=size=320x180:rate=25:seed=3:c0=0xff4000:c1=0x00c0ff:c2=0x90ff30:"
            "nb_colors=3,trim=end_frame=1,loop=loop=49:size=1"};
        argv.insert(argv.end(), codec.begin(), codec.end());
        argv.insert(argv.end(), {"-x265-params", "log-level=error", "-color_trc", transfer,
                                 "-color_primaries", "bt2020", "-colorspace", "bt2020nc"});
        return argv;
    }

    static VideoFacts probe(const std::string& path) {
        VideoFacts facts;
        std::string error;
        EXPECT_TRUE(probeVideo(programs, path, facts, error, nullptr)) << path << ": " << error;
        return facts;
    }

    static VideoPrograms programs;
    static TempDir* dir;
    static bool made;
};

VideoPrograms VideoToolsTest::programs;
TempDir* VideoToolsTest::dir = nullptr;
bool VideoToolsTest::made = false;

std::vector<std::string> namesIn(const CopyFolder& folder) {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(folder.list(entries));
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const FolderEntry& entry : entries) {
        names.push_back(entry.name);
    }
    return names;
}

TEST_F(VideoToolsTest, ProbeTellsHowTheBrowserGetsEachVideo) {
    const VideoFacts fast = probe(*dir / "fast.mp4");
    EXPECT_EQ(fast.videoCodec, "h264");
    EXPECT_EQ(fast.audioCodec, "aac");
    EXPECT_EQ(fast.width, 160);
    EXPECT_EQ(fast.height, 120);
    EXPECT_NEAR(fast.durationSeconds, 1.0, 0.1);
    EXPECT_TRUE(fast.indexFirst);
    EXPECT_EQ(webVideoWay(fast, "fast.mp4"), WebVideoWay::Original);
    EXPECT_EQ(webVideoType(fast, WebVideoWay::Original), "video/mp4");
    // The same streams in a MOV are copied into an MP4.
    EXPECT_EQ(webVideoWay(fast, "FAST.MOV"), WebVideoWay::Remux);

    const VideoFacts indexLast = probe(*dir / "indexlast.mp4");
    EXPECT_FALSE(indexLast.indexFirst);
    EXPECT_EQ(webVideoWay(indexLast, "indexlast.mp4"), WebVideoWay::Remux);

    const VideoFacts turned = probe(*dir / "turned.mov");
    EXPECT_EQ(turned.videoCodec, "hevc");
    EXPECT_EQ(turned.audioCodec, "");
    EXPECT_EQ(turned.width, 120); // upright
    EXPECT_EQ(turned.height, 160);
    EXPECT_EQ(turned.rotation % 180, 90);
    EXPECT_EQ(webVideoWay(turned, "turned.mov"), WebVideoWay::Transcode);

    const VideoFacts webm = probe(*dir / "clip.webm");
    EXPECT_EQ(webm.videoCodec, "vp9");
    EXPECT_EQ(webm.audioCodec, "opus");
    EXPECT_EQ(webVideoWay(webm, "clip.webm"), WebVideoWay::Original);
    EXPECT_EQ(webVideoType(webm, WebVideoWay::Original), "video/webm");
    EXPECT_EQ(webVideoWay(webm, "clip.mkv"), WebVideoWay::Transcode);

    // Pixels twice as wide as high are shown so.
    const VideoFacts wide = probe(*dir / "wide.mkv");
    EXPECT_EQ(wide.width, 320);
    EXPECT_EQ(wide.height, 120);
    EXPECT_EQ(webVideoWay(wide, "wide.mkv"), WebVideoWay::Remux);

    VideoFacts facts;
    std::string error;
    EXPECT_FALSE(probeVideo(programs, *dir / "text.mp4", facts, error, nullptr));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(probeVideo(programs, *dir / "missing.mp4", facts, error, nullptr));
    // A still picture is a video stream of no duration to ffprobe.
    EXPECT_FALSE(probeVideo(programs, *dir / "picture.mp4", facts, error, nullptr));

    // Names that look like an option or a protocol are files all the same, given as a path or
    // relative to the working folder.
    EXPECT_EQ(probe(*dir / "-i.mp4").videoCodec, "h264");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir->path());
    std::error_code ec;
    std::filesystem::copy_file("fast.mp4", "http:x.mp4", ec);
    EXPECT_EQ(probe("-i.mp4").videoCodec, "h264");
    EXPECT_EQ(probe("http:x.mp4").videoCodec, "h264");
    std::filesystem::current_path(before);
}

TEST_F(VideoToolsTest, DateTakenIsTheCameraClockWithItsZoneAndModel) {
    EXPECT_EQ(probe(*dir / "fast.mp4").dateTaken, "");
    // The phone's own clock, as it wrote it, before the time in UTC, with its offset, and the
    // model on one line.
    const VideoFacts phone = probe(*dir / "phone.mov");
    EXPECT_EQ(phone.dateTaken, "2024:05:01 14:34:56");
    EXPECT_EQ(phone.timeZone, "+02:00");
    EXPECT_EQ(phone.model, "iPhone 15 Pro");
    EXPECT_EQ(probe(*dir / "camera.mov").model, "EOS R6");
    EXPECT_EQ(probe(*dir / "camera.mkv").model, "HC-V480");
    // A time in UTC says nothing of the camera's zone.
    EXPECT_EQ(probe(*dir / "utc.mp4").timeZone, "");
    EXPECT_EQ(probe(*dir / "utc.mp4").model, "");
    // UTC alone is shown in this machine's time zone.
    const char* zone = std::getenv("TZ");
    const std::string saved = zone != nullptr ? zone : "";
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    EXPECT_EQ(probe(*dir / "utc.mp4").dateTaken, "2024:05:01 21:34:56");
    if (zone != nullptr) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(WebVideoWayTest, OnlyWhatEveryBrowserPlaysIsLinkedAsItIs) {
    VideoFacts mp4;
    mp4.videoCodec = "h264";
    mp4.pixelFormat = "yuv420p";
    mp4.container = "mov,mp4,m4a,3gp,3g2,mj2";
    mp4.width = 1920;
    mp4.height = 1080;
    EXPECT_EQ(webVideoWay(mp4, "a.m4v"), WebVideoWay::Original); // no sound is fine
    VideoFacts standing = mp4;
    standing.width = 1080;
    standing.height = 1920;
    EXPECT_EQ(webVideoWay(standing, "a.mp4"), WebVideoWay::Original);
    VideoFacts large = mp4;
    large.width = 3840;
    large.height = 2160;
    EXPECT_EQ(webVideoWay(large, "a.mp4"), WebVideoWay::Transcode);
    VideoFacts deep = mp4;
    deep.pixelFormat = "yuv420p10le";
    EXPECT_EQ(webVideoWay(deep, "a.mp4"), WebVideoWay::Transcode);
    VideoFacts sound = mp4;
    sound.audioCodec = "pcm_s16le";
    EXPECT_EQ(webVideoWay(sound, "a.mp4"), WebVideoWay::Transcode);
    VideoFacts mkv = mp4;
    mkv.container = "matroska,webm";
    mkv.audioCodec = "aac";
    EXPECT_EQ(webVideoWay(mkv, "a.mkv"), WebVideoWay::Remux);
    VideoFacts avi = mp4;
    avi.container = "avi";
    EXPECT_EQ(webVideoWay(avi, "a.avi"), WebVideoWay::Transcode);
    VideoFacts webm = mp4;
    webm.container = "matroska,webm";
    webm.videoCodec = "av1";
    webm.audioCodec = "vorbis";
    EXPECT_EQ(webVideoWay(webm, "a.webm"), WebVideoWay::Original);
    webm.audioCodec = "aac";
    EXPECT_EQ(webVideoWay(webm, "a.webm"), WebVideoWay::Transcode);
}

TEST_F(VideoToolsTest, WebVideosPlayAndAreWrittenWhole) {
    CopyFolder folder;
    std::string error;
    ASSERT_TRUE(folder.openExisting(dir->mkdir("view"), error)) << error;

    const VideoFacts indexLast = probe(*dir / "indexlast.mp4");
    ASSERT_TRUE(makeWebVideo(programs, *dir / "indexlast.mp4", indexLast, WebVideoWay::Remux,
                             folder, "indexlast.mp4.mp4", error, nullptr))
        << error;
    const VideoFacts remuxed = probe(*dir / "view/indexlast.mp4.mp4");
    EXPECT_TRUE(remuxed.indexFirst);
    EXPECT_EQ(remuxed.videoCodec, "h264");
    EXPECT_EQ(remuxed.audioCodec, "aac");
    EXPECT_EQ(webVideoWay(remuxed, "indexlast.mp4.mp4"), WebVideoWay::Original);

    const VideoFacts turned = probe(*dir / "turned.mov");
    const std::vector<std::string> command =
        webVideoCommand(programs, *dir / "turned.mov", turned, WebVideoWay::Transcode, "out.mp4");
    ASSERT_FALSE(command.empty());
    EXPECT_EQ(command.front(), programs.ffmpeg);
    EXPECT_EQ(command.back(), "out.mp4");
    ASSERT_TRUE(makeWebVideo(programs, *dir / "turned.mov", turned, WebVideoWay::Transcode, folder,
                             "turned.mov.mp4", error, nullptr))
        << error;
    const VideoFacts transcoded = probe(*dir / "view/turned.mov.mp4");
    EXPECT_EQ(transcoded.videoCodec, "h264");
    EXPECT_EQ(transcoded.pixelFormat, "yuv420p");
    EXPECT_EQ(transcoded.width, 120);
    EXPECT_EQ(transcoded.height, 160);
    EXPECT_TRUE(transcoded.indexFirst);
    EXPECT_EQ(webVideoWay(transcoded, "turned.mov.mp4"), WebVideoWay::Original);

    // AAC sound goes with a transcoded copy packet for packet; any other is made AAC.
    const VideoFacts sound = probe(*dir / "sound.mov");
    ASSERT_TRUE(makeWebVideo(programs, *dir / "sound.mov", sound, WebVideoWay::Transcode, folder,
                             "sound.mov.mp4", error, nullptr))
        << error;
    EXPECT_EQ(probe(*dir / "view/sound.mov.mp4").videoCodec, "h264");
    EXPECT_EQ(soundHash(*dir / "view/sound.mov.mp4"), soundHash(*dir / "sound.mov"));
    EXPECT_FALSE(soundHash(*dir / "sound.mov").empty());
    const VideoFacts opus = probe(*dir / "clip.webm");
    ASSERT_TRUE(makeWebVideo(programs, *dir / "clip.webm", opus, WebVideoWay::Transcode, folder,
                             "clip.webm.mp4", error, nullptr))
        << error;
    EXPECT_EQ(probe(*dir / "view/clip.webm.mp4").audioCodec, "aac");
    ASSERT_TRUE(folder.removeFile("sound.mov.mp4", error)) << error;
    ASSERT_TRUE(folder.removeFile("clip.webm.mp4", error)) << error;

    // A file that is not a video leaves nothing behind, not even over an older copy.
    EXPECT_FALSE(makeWebVideo(programs, *dir / "text.mp4", turned, WebVideoWay::Transcode, folder,
                              "turned.mov.mp4", error, nullptr));
    EXPECT_NE(error.find("turned.mov.mp4"), std::string::npos) << error;
    std::vector<std::string> names = namesIn(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"indexlast.mp4.mp4", "turned.mov.mp4"}));
    EXPECT_EQ(probe(*dir / "view/turned.mov.mp4").height, 160);
}

TEST_F(VideoToolsTest, StopKillsFfmpegAndLeavesNoFile) {
    // ffmpeg waits for a writer of the pipe for ever, until it is stopped.
    const std::string pipe = *dir / "waiting.mp4";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    CopyFolder folder;
    std::string error;
    ASSERT_TRUE(folder.openExisting(dir->mkdir("stopped"), error)) << error;
    VideoFacts facts;
    facts.width = 160;
    facts.height = 120;
    facts.durationSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    EXPECT_FALSE(makeWebVideo(programs, pipe, facts, WebVideoWay::Transcode, folder, "w.mp4", error,
                              [&] { return elapsed() > 0.2; }));
    EXPECT_LT(elapsed(), 3);
    EXPECT_NE(error.find("stopped"), std::string::npos) << error;
    EXPECT_TRUE(namesIn(folder).empty());
    ::unlink(pipe.c_str());
}

TEST_F(VideoToolsTest, AVideoFileIsReadAsItselfAlone) {
    CopyFolder folder;
    std::string error;
    ASSERT_TRUE(folder.openExisting(dir->mkdir("view-hostile"), error)) << error;
    VideoFacts facts = probe(*dir / "fast.mp4");
    for (const char* name : {"absolute.mp4", "relative.mov", "url.mkv", "concat.mp4"}) {
        SCOPED_TRACE(name);
        const std::string path = *dir / ("pics/" + std::string(name));
        VideoFacts refused;
        EXPECT_FALSE(probeVideo(programs, path, refused, error, nullptr));
        // Nor when asked straight away, as if the probe had passed.
        std::string png;
        EXPECT_FALSE(extractPoster(programs, path, facts, png, error, nullptr));
        EXPECT_TRUE(png.empty());
        EXPECT_FALSE(makeWebVideo(programs, path, facts, WebVideoWay::Transcode, folder,
                                  std::string(name) + ".mp4", error, nullptr));
        EXPECT_FALSE(makeWebVideo(programs, path, facts, WebVideoWay::Remux, folder,
                                  std::string(name) + ".mp4", error, nullptr));
    }
    EXPECT_TRUE(namesIn(folder).empty());
    // Left to itself, ffprobe follows such a file to the video outside.
    ProgramRun capture;
    capture.captureOutput = true;
    ProgramResult followed;
    runProgram({programs.ffprobe, "-v", "error", "-show_entries", "format=format_name",
                *dir / "pics/absolute.mp4"},
               capture, followed);
    EXPECT_NE(followed.output.find("hls"), std::string::npos) << followed.output;
}

TEST_F(VideoToolsTest, AWebVideoCostsItsFramesAndCarriesNoPlace) {
    // Ten hours claimed, twelve frames held: the copy is made of the twelve.
    const VideoFacts tenHours = probe(*dir / "ten-hours.mkv");
    EXPECT_GT(tenHours.durationSeconds, 35000);
    EXPECT_EQ(webVideoTimeLimit(tenHours), 600);
    EXPECT_NEAR(webVideoTimeLimit(probe(*dir / "fast.mp4")), 70, 1);
    // Only a clip that ran the whole ten minutes is set aside for good; a short one stopped by
    // its own limit (a busy machine) is tried again by the next run.
    EXPECT_TRUE(webVideoLimitIsTheLongest(tenHours));
    EXPECT_FALSE(webVideoLimitIsTheLongest(probe(*dir / "fast.mp4")));
    CopyFolder folder;
    std::string error;
    ASSERT_TRUE(folder.openExisting(dir->mkdir("view-bounded"), error)) << error;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(makeWebVideo(programs, *dir / "ten-hours.mkv", tenHours, WebVideoWay::Transcode,
                             folder, "ten-hours.mkv.mp4", error, nullptr))
        << error;
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20);

    // Copied or transcoded, a web video keeps the date and the turn but not the place.
    for (const char* source : {"located.mp4", "phone-located.mov"}) {
        const VideoFacts located = probe(*dir / source);
        for (const WebVideoWay way : {WebVideoWay::Remux, WebVideoWay::Transcode}) {
            const std::string name = std::string(source) +
                                     (way == WebVideoWay::Remux ? ".copied" : ".transcoded") +
                                     ".mp4";
            SCOPED_TRACE(name);
            ASSERT_TRUE(
                makeWebVideo(programs, *dir / source, located, way, folder, name, error, nullptr))
                << error;
            const std::string bytes = test::readBytes(*dir / ("view-bounded/" + name));
            EXPECT_EQ(bytes.find("35.6586"), std::string::npos);
            EXPECT_EQ(bytes.find("ISO6709"), std::string::npos);
            const VideoFacts copy = probe(*dir / ("view-bounded/" + name));
            EXPECT_EQ(copy.width, located.width);
            EXPECT_EQ(copy.height, located.height);
            EXPECT_EQ(copy.creationTime, located.creationTime);
            EXPECT_EQ(copy.dateTaken, located.dateTaken);
        }
    }
    const VideoFacts located = probe(*dir / "located.mp4");
    EXPECT_EQ(located.creationTime, "2024-05-01T12:34:56Z");
    EXPECT_EQ(located.rotation % 180, 90);
    EXPECT_EQ(probe(*dir / "view-bounded/located.mp4.copied.mp4").rotation, located.rotation);
    // The poster is a frame and nothing else.
    std::string png;
    ASSERT_TRUE(extractPoster(programs, *dir / "located.mp4", located, png, error, nullptr));
    EXPECT_EQ(png.find("35.6586"), std::string::npos);
}

// The average brightness and the size of a PNG.
struct PngLook {
    double average = -1;
    int width = 0;
    int height = 0;
};

PngLook look(const std::string& png) {
    PngLook result;
    VipsImage* image = vips_image_new_from_buffer(png.data(), png.size(), "", nullptr);
    if (image == nullptr) {
        return result;
    }
    result.width = vips_image_get_width(image);
    result.height = vips_image_get_height(image);
    vips_avg(image, &result.average, nullptr);
    g_object_unref(image);
    return result;
}

TEST_F(VideoToolsTest, PostersAreBrightAndUpright) {
    ASSERT_EQ(VIPS_INIT("mivo-test"), 0);
    std::string png;
    std::string error;
    const VideoFacts blackStart = probe(*dir / "black-start.mp4");
    ASSERT_TRUE(extractPoster(programs, *dir / "black-start.mp4", blackStart, png, error, nullptr))
        << error;
    const PngLook bright = look(png);
    EXPECT_EQ(bright.width, 160);
    EXPECT_GT(bright.average, 60);

    const VideoFacts turned = probe(*dir / "turned.mov");
    ASSERT_TRUE(extractPoster(programs, *dir / "turned.mov", turned, png, error, nullptr)) << error;
    const PngLook upright = look(png);
    EXPECT_EQ(upright.width, 120);
    EXPECT_EQ(upright.height, 160);

    const VideoFacts wide = probe(*dir / "wide.mkv");
    ASSERT_TRUE(extractPoster(programs, *dir / "wide.mkv", wide, png, error, nullptr)) << error;
    EXPECT_EQ(look(png).width, 320);
    EXPECT_EQ(look(png).height, 120);

    // A video dark all through still has a poster.
    const VideoFacts night = probe(*dir / "night.mp4");
    ASSERT_TRUE(extractPoster(programs, *dir / "night.mp4", night, png, error, nullptr)) << error;
    EXPECT_LT(look(png).average, 20);
    // So does a video of a single frame, which ends before the poster's usual place.
    const VideoFacts single = probe(*dir / "one-frame.mp4");
    ASSERT_TRUE(extractPoster(programs, *dir / "one-frame.mp4", single, png, error, nullptr))
        << error;
    EXPECT_GT(look(png).average, 60);

    EXPECT_FALSE(extractPoster(programs, *dir / "text.mp4", turned, png, error, nullptr));
    EXPECT_FALSE(error.empty());
}

// The first frame of `path` through `filters`, as PNG.
std::string frameThrough(const VideoPrograms& programs, const std::string& path,
                         const std::string& filters) {
    ProgramRun how;
    how.captureOutput = true;
    ProgramResult result;
    EXPECT_TRUE(runProgram({programs.ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error", "-i",
                            path, "-frames:v", "1", "-vf", filters + ",format=rgb24", "-f",
                            "image2pipe", "-c:v", "png", "pipe:1"},
                           how, result))
        << result.errorTail;
    return result.output;
}

// ffmpeg's own tone-mapping chain, the usual way to see HDR on an SDR screen.
constexpr const char* kToneMapped =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";

TEST_F(VideoToolsTest, HdrPostersAndWebVideosAreToneMappedIntoBt709) {
    ASSERT_EQ(VIPS_INIT("mivo-test"), 0);
    // HDR as phones shoot it: 10-bit HEVC, BT.2020, HLG and PQ; and an 8-bit H.264 tagged HLG,
    // which browsers would be handed as it is. One still picture of saturated colours, where a
    // frame read without its transfer and primaries looks far from a tone-mapped one.
    ASSERT_TRUE(
        make(hdr("arib-std-b67", {"-c:v", "libx265", "-pix_fmt", "yuv420p10le"}), "hlg.mov"));
    ASSERT_TRUE(make(hdr("smpte2084", {"-c:v", "libx265", "-pix_fmt", "yuv420p10le"}), "pq.mp4"));
    ASSERT_TRUE(make(
        hdr("arib-std-b67", {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-movflags", "+faststart"}),
        "hlg-8bit.mp4"));
    CopyFolder folder;
    std::string error;
    ASSERT_TRUE(folder.openExisting(dir->mkdir("view-hdr"), error)) << error;

    const VideoFacts hlg8 = probe(*dir / "hlg-8bit.mp4");
    EXPECT_TRUE(isHdrVideo(hlg8));
    EXPECT_EQ(webVideoWay(hlg8, "hlg-8bit.mp4"), WebVideoWay::Transcode)
        << "an HDR original is never linked as it is";
    VideoFacts wide = probe(*dir / "fast.mp4");
    EXPECT_FALSE(needsShownColours(wide));
    wide.colorPrimaries = "bt2020";
    EXPECT_FALSE(isHdrVideo(wide));
    EXPECT_EQ(webVideoWay(wide, "fast.mp4"), WebVideoWay::Transcode);

    for (const std::string name : {"hlg.mov", "pq.mp4"}) {
        const VideoFacts facts = probe(*dir / name);
        EXPECT_EQ(facts.colorTransfer, name == "hlg.mov" ? "arib-std-b67" : "smpte2084");
        EXPECT_EQ(facts.colorPrimaries, "bt2020");
        EXPECT_EQ(facts.colorSpace, "bt2020nc");
        EXPECT_TRUE(isHdrVideo(facts));
        EXPECT_EQ(webVideoWay(facts, name), WebVideoWay::Transcode);

        const double reference = look(frameThrough(programs, *dir / name, kToneMapped)).average;
        const double untouched =
            look(frameThrough(programs, *dir / name, "format=yuv420p")).average;
        ASSERT_GT(std::abs(untouched - reference), reference * 0.2)
            << name << ": the clip tells a tone-mapped frame from one that is not";

        // By default the colour table, the cheapest of the ways: in floating point between
        // zscale's conversions where this ffmpeg has zscale (Debian's has), else between
        // swscale's; zscale's own tone mapping only when asked.
        std::string filters;
        for (const std::string& arg :
             webVideoCommand(programs, *dir / name, facts, WebVideoWay::Transcode, "out.mp4")) {
            filters += arg + ' ';
        }
        EXPECT_NE(filters.find("lut3d="), std::string::npos) << filters;
        EXPECT_EQ(filters.find("tonemap"), std::string::npos) << filters;
        EXPECT_EQ(filters.find("format=gbrpf32le,lut3d=") != std::string::npos,
                  ffmpegHasZscale(programs.ffmpeg))
            << filters;
        // Every way gives the same colours.
        for (const ColourFilters way :
             {ColourFilters::Zscale, ColourFilters::Table, ColourFilters::TableSwscale}) {
            VideoPrograms these = programs;
            these.colourFilters = way;
            const char* const kWayNames[] = {"", "z-", "t-", "s-"};
            const std::string label = name + " by way " + kWayNames[static_cast<int>(way)];
            std::string png;
            ASSERT_TRUE(extractPoster(these, *dir / name, facts, png, error, nullptr)) << error;
            const PngLook poster = look(png);
            EXPECT_EQ(poster.width, 320) << label;
            EXPECT_NEAR(poster.average, reference, reference * 0.1) << label;

            const std::string copy = kWayNames[static_cast<int>(way)] + name + ".mp4";
            ASSERT_TRUE(makeWebVideo(these, *dir / name, facts, WebVideoWay::Transcode, folder,
                                     copy, error, nullptr))
                << error;
            const VideoFacts web = probe(*dir / ("view-hdr/" + copy));
            EXPECT_EQ(web.videoCodec, "h264") << label;
            EXPECT_EQ(web.pixelFormat, "yuv420p") << label;
            EXPECT_EQ(web.colorTransfer, "bt709") << label;
            EXPECT_EQ(web.colorPrimaries, "bt709") << label;
            EXPECT_EQ(web.colorSpace, "bt709") << label;
            EXPECT_FALSE(needsShownColours(web)) << label;
            EXPECT_NEAR(look(frameThrough(programs, *dir / ("view-hdr/" + copy), "null")).average,
                        reference, reference * 0.1)
                << label;
        }
    }
    // The colour tables went with their calls: only the web videos are left.
    std::vector<std::string> names = namesIn(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"s-hlg.mov.mp4", "s-pq.mp4.mp4", "t-hlg.mov.mp4",
                                               "t-pq.mp4.mp4", "z-hlg.mov.mp4", "z-pq.mp4.mp4"}));
}

} // namespace
} // namespace mivo
