#include <gtest/gtest.h>

#include <vips/vips.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "generation/copies/copy_folders.h"
#include "generation/copies/picture_resize.h"
#include "generation/copies/resize_pool.h"
#include "generation/copies/web_sizes.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;

/// A JPEG of `width` x `height` made by ImageMagick; `extra` goes before the output name.
bool convertJpeg(const std::string& path, int width, int height, const std::string& extra = "") {
    const std::string command = "convert -size " + std::to_string(width) + "x" +
                                std::to_string(height) + " xc:skyblue " + extra + " '" + path +
                                "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

/// The items of `folder` as the listing makes them: pictures, and videos by their .mp4 name.
PictureList listOf(const std::string& folder, const std::vector<std::string>& names) {
    PictureList pictures;
    for (const std::string& name : names) {
        const bool video = name.ends_with(".mp4");
        pictures.add(listedItem(folder, name, video ? ItemKind::Video : ItemKind::Picture));
    }
    return pictures;
}

fs::file_time_type writtenAt(const std::string& path) {
    std::error_code ec;
    return fs::last_write_time(path, ec);
}

class WebSizesTest : public ::testing::Test {
  protected:
    WebSizesTest() : pics(dir.mkdir("pics")), out(dir.mkdir("out")) {
        request.boxWidth = 160;
        request.boxHeight = 120;
        request.viewEdge = 400;
    }

    WebSizesReport run(const std::vector<std::string>& names,
                       const std::function<bool()>& stopRequested = {}) {
        PictureList pictures = listOf(pics, names);
        WebSizesReport report;
        errors.assign(names.size(), std::string());
        folderError.clear();
        CopyJob job;
        job.pageFolder = out;
        job.request = request;
        job.workers = 2;
        job.tools = tools;
        job.stopRequested = stopRequested;
        job.progress = [&](std::size_t i, const Item& item, const std::string& error) {
            EXPECT_EQ(item.name(), names[i]);
            EXPECT_NE(item.copy, nullptr);
            errors[i] = error;
        };
        made = makeWebSizes(job, pictures, report, folderError);
        copies.clear();
        for (const Item& item : pictures) {
            copies.push_back(*item.copy);
        }
        return report;
    }
    std::string record() const { return readBytes(out + "/thumbs/.mivo-copies"); }
    std::string thumb(const std::string& name) const { return out + "/thumbs/" + name; }
    std::string thumb2x(const std::string& name) const { return out + "/thumbs/2x/" + name; }
    std::string view(const std::string& name) const { return out + "/view/" + name; }

    TempDir dir;
    std::string pics;
    std::string out;
    ResizeRequest request;
    MediaTools tools;
    std::vector<WebCopy> copies;
    std::vector<std::string> errors;
    std::string folderError;
    bool made = false;
};

TEST_F(WebSizesTest, CopiesAreMadeOnlyWhenMissingOrOutOfDateAndOnlyMivosAreDeleted) {
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 800, 600));
    ASSERT_TRUE(convertJpeg(pics + "/b.JPG", 300, 600));
    ASSERT_TRUE(convertJpeg(pics + "/c.gif", 100, 50));
    dir.write("pics/broken.jpg", "not a picture at all");
    // The user's own files in the folders Mivo writes to: one under a picture's copy name.
    dir.write("out/thumbs/user.txt", "mine");
    ASSERT_TRUE(convertJpeg(pics + "/taken.jpg", 64, 64));
    dir.write("out/view/taken.jpg", "the user's own");
    const std::vector<std::string> names = {"a.jpg", "b.JPG", "c.gif", "broken.jpg", "taken.jpg"};

    WebSizesReport first = run(names);
    EXPECT_TRUE(made);
    EXPECT_EQ(first.made, 3U);
    EXPECT_EQ(first.failed, 1U);  // the broken picture
    EXPECT_EQ(first.skipped, 1U); // the user's file under a copy's name
    // Fitted into 160 x 120 and into 320 x 240, never enlarged, a long edge of 400 at most.
    ASSERT_TRUE(copies[0].ok);
    EXPECT_EQ(copies[0].sizes.thumbWidth, 160);
    EXPECT_EQ(copies[0].sizes.thumbHeight, 120);
    EXPECT_EQ(copies[0].sizes.thumb2xWidth, 320);
    EXPECT_EQ(copies[0].sizes.viewWidth, 400);
    EXPECT_EQ(copies[0].sizes.viewHeight, 300);
    ASSERT_TRUE(copies[1].ok);
    EXPECT_EQ(copies[1].fileName, "b.JPG");
    EXPECT_EQ(copies[1].sizes.thumbWidth, 60);
    EXPECT_EQ(copies[1].sizes.thumbHeight, 120);
    // A GIF's copies are JPEGs, named so; a small picture is not enlarged.
    ASSERT_TRUE(copies[2].ok);
    EXPECT_EQ(copies[2].fileName, "c.gif.jpg");
    EXPECT_EQ(copies[2].sizes.thumb2xWidth, 100);
    EXPECT_EQ(copies[2].sizes.viewWidth, 100);
    EXPECT_NE(readBytes(thumb("c.gif.jpg")).rfind("\xFF\xD8", 0), std::string::npos);
    EXPECT_FALSE(copies[3].ok);
    EXPECT_TRUE(copies[3].failed);
    EXPECT_FALSE(errors[3].empty());
    EXPECT_FALSE(copies[4].ok);
    EXPECT_FALSE(copies[4].failed);
    EXPECT_EQ(readBytes(view("taken.jpg")), "the user's own");
    EXPECT_FALSE(fs::exists(thumb("taken.jpg")));

    // Nothing changed: no good picture is read again; the broken one is tried again.
    const auto madeAt = writtenAt(thumb("a.jpg"));
    WebSizesReport second = run(names);
    EXPECT_EQ(second.made, 0U);
    EXPECT_EQ(second.kept, 3U);
    EXPECT_EQ(second.failed, 1U);
    EXPECT_EQ(writtenAt(thumb("a.jpg")), madeAt);
    EXPECT_EQ(copies[0].sizes.viewWidth, 400); // sizes come from the record
    // Without the broken picture, a run with nothing changed leaves the record as it is.
    fs::remove(pics + "/broken.jpg");
    run(names);
    const auto recordedAt = writtenAt(out + "/thumbs/.mivo-copies");
    EXPECT_EQ(run(names).kept, 3U);
    EXPECT_EQ(writtenAt(out + "/thumbs/.mivo-copies"), recordedAt);
    dir.write("pics/broken.jpg", "not a picture at all");

    // A changed picture, a lost copy: made again, and only those.
    ASSERT_TRUE(convertJpeg(pics + "/b.JPG", 600, 300));
    fs::remove(thumb2x("c.gif.jpg"));
    WebSizesReport third = run(names);
    EXPECT_EQ(third.made, 2U);
    EXPECT_EQ(copies[1].sizes.thumbWidth, 160);
    EXPECT_EQ(copies[1].sizes.thumbHeight, 80);
    EXPECT_TRUE(fs::exists(thumb2x("c.gif.jpg")));
    EXPECT_EQ(writtenAt(thumb("a.jpg")), madeAt);

    // Other sizes asked for: every copy is made again.
    request.boxWidth = 100;
    EXPECT_EQ(run(names).made, 3U);

    // A picture gone: its copies go too; the user's files stay.
    fs::remove(pics + "/a.jpg");
    fs::remove(pics + "/taken.jpg");
    WebSizesReport fourth = run({"b.JPG", "c.gif", "broken.jpg"});
    EXPECT_EQ(fourth.removed, 1U);
    EXPECT_EQ(fourth.made, 0U);
    EXPECT_FALSE(fs::exists(thumb("a.jpg")));
    EXPECT_FALSE(fs::exists(thumb2x("a.jpg")));
    EXPECT_FALSE(fs::exists(view("a.jpg")));
    EXPECT_EQ(readBytes(out + "/thumbs/user.txt"), "mine");
    EXPECT_EQ(readBytes(view("taken.jpg")), "the user's own");
    EXPECT_TRUE(fs::exists(thumb("b.JPG")));

    // A broken picture that is replaced by a good one is tried again.
    ASSERT_TRUE(convertJpeg(pics + "/broken.jpg", 50, 50));
    EXPECT_EQ(run({"b.JPG", "c.gif", "broken.jpg"}).made, 1U);
    EXPECT_TRUE(copies[2].ok);
}

TEST_F(WebSizesTest, WhatAKilledRunLeftIsMendedAndNothingOutsideTheFoldersIsTouched) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        ASSERT_TRUE(convertJpeg(pics + "/" + name, 800, 600));
    }
    // Files outside the copy folders that a record line or a link points at.
    dir.write("victim.jpg", "keep me");
    dir.write("abs-victim.jpg", "keep me too");
    dir.write("linked.txt", "not a copy");
    // A run killed part-way: a.jpg entered and its display copy written, b.jpg's line cut
    // off, a temporary file and an older version's ".part" file left behind.
    MadeCopies claim;
    claim.request = request;
    std::string journal =
        copyRecordHeader() + copyRecordLine("a.jpg", claim) + copyRecordLine("c.jpg", claim);
    // Lines naming files outside the folders, as a damaged or hostile record might.
    MadeCopies done = claim;
    done.ok = true;
    journal += copyRecordLine("../../victim.jpg", done) +
               copyRecordLine(dir / "abs-victim.jpg", done) + "b.jpg\t12\t3";
    dir.write("out/thumbs/.mivo-copies", journal);
    dir.write("out/view/a.jpg", "half");
    dir.write("out/thumbs/.a.jpg.part-Ab12Cd", "half");
    dir.write("out/thumbs/a.jpg.part", "half");
    dir.mkdir("out/thumbs/2x");
    // A link where an entered copy goes, and an older ".part" name that is a link.
    fs::create_symlink(dir / "linked.txt", view("c.jpg"));
    fs::create_symlink(dir / "linked.txt", view("b.jpg.part"));

    WebSizesReport report = run({"a.jpg", "b.jpg", "c.jpg"});
    EXPECT_EQ(report.made, 3U);
    EXPECT_EQ(report.failed, 0U);
    EXPECT_EQ(readBytes(dir / "victim.jpg"), "keep me");
    EXPECT_EQ(readBytes(dir / "abs-victim.jpg"), "keep me too");
    EXPECT_EQ(readBytes(dir / "linked.txt"), "not a copy");
    EXPECT_FALSE(fs::is_symlink(view("c.jpg")));
    EXPECT_EQ(readBytes(view("a.jpg")).rfind("\xFF\xD8", 0), 0U);
    // No temporary file is left, and the record names exactly the three pictures, finished.
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".part"), std::string::npos) << entry.path();
    }
    std::vector<std::string> ignored;
    const CopyRecord after = parseCopyRecord(record(), &ignored);
    ASSERT_EQ(after.size(), 3U);
    for (const auto& [name, copies] : after) {
        EXPECT_TRUE(copies.ok) << name;
    }
    EXPECT_TRUE(ignored.empty()); // the record was written anew without them
}

TEST_F(WebSizesTest, CopiesThatFailedAreTriedAgainAndAFolderInTheWayFailsEveryPicture) {
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 800, 600));
    ASSERT_TRUE(convertJpeg(pics + "/b.jpg", 800, 600));
    // a.jpg unreadable for one run (its first bytes spoiled), then as it was, with the same
    // size and time: a failure is not remembered as the picture's lasting state.
    const std::string good = readBytes(pics + "/a.jpg");
    const auto stamp = fs::last_write_time(pics + "/a.jpg");
    dir.write("pics/a.jpg", "XX" + good.substr(2));
    fs::last_write_time(pics + "/a.jpg", stamp);
    WebSizesReport first = run({"a.jpg", "b.jpg"});
    EXPECT_EQ(first.failed, 1U);
    EXPECT_TRUE(copies[0].failed);
    EXPECT_FALSE(fs::exists(view("a.jpg")));
    dir.write("pics/a.jpg", good);
    fs::last_write_time(pics + "/a.jpg", stamp);
    WebSizesReport second = run({"a.jpg", "b.jpg"});
    EXPECT_EQ(second.made, 1U);
    EXPECT_EQ(second.failed, 0U);
    EXPECT_TRUE(copies[0].ok);

    // A file where the display copies go: every picture fails, the folder is named.
    TempDir other;
    out = other.mkdir("out");
    other.write("out/view", "a file");
    WebSizesReport blocked = run({"a.jpg", "b.jpg"});
    EXPECT_FALSE(made);
    EXPECT_EQ(blocked.failed, 2U);
    EXPECT_NE(folderError.find(out + "/view"), std::string::npos) << folderError;
    fs::remove(out + "/view");
    EXPECT_EQ(run({"a.jpg", "b.jpg"}).made, 2U);

    // thumbs/ a link to a folder elsewhere: refused, nothing written there.
    TempDir linked;
    out = linked.mkdir("out");
    const std::string elsewhere = linked.mkdir("elsewhere");
    fs::create_directory_symlink(elsewhere, out + "/thumbs");
    EXPECT_EQ(run({"a.jpg", "b.jpg"}).failed, 2U);
    EXPECT_NE(folderError.find("シンボリックリンク"), std::string::npos) << folderError;
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(WebSizesTest, AVideoWhoseCallsRanOutOfTimeOrNeverRanIsTriedAgainWhereAFileThatIsNoneIsNot) {
    tools.media = true;
    tools.video = findVideoPrograms();
    ASSERT_TRUE(tools.video.ok()) << "ffmpeg and ffprobe are installed for the tests";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=320x240 "
                           "-t 1 -c:v libx264 -pix_fmt yuv420p -movflags +faststart '" +
                           pics + "/clip.mp4'")
                              .c_str()),
              0);
    // A file that is no video, read in time and refused: left out, and not read again while it
    // stays as it is.
    dir.write("pics/text.mp4", "not a video at all");
    WebSizesReport refused = run({"text.mp4"});
    EXPECT_EQ(refused.leftOut, 1U);
    EXPECT_EQ(refused.failed, 0U);
    // A machine too busy for ffprobe to answer in time, then one that is not: the clip fails
    // the run and is made the next time.
    tools.video.probeSeconds = 0.001;
    WebSizesReport slow = run({"clip.mp4", "text.mp4"});
    EXPECT_EQ(slow.leftOut, 2U);
    EXPECT_EQ(slow.failed, 1U);
    EXPECT_NE(errors[0].find("時間がかかりすぎたため止めました"), std::string::npos) << errors[0];
    tools.video.probeSeconds = 60;
    // Too slow for the poster, the same.
    tools.video.posterSeconds = 0.001;
    WebSizesReport slowPoster = run({"clip.mp4", "text.mp4"});
    EXPECT_EQ(slowPoster.leftOut, 2U);
    EXPECT_NE(errors[0].find("時間がかかりすぎたため止めました"), std::string::npos) << errors[0];
    EXPECT_EQ(slowPoster.failed, 1U);
    tools.video.posterSeconds = 120;
    // ffprobe gone since it was found: nothing said of the clip either.
    const std::string ffprobe = tools.video.ffprobe;
    tools.video.ffprobe = pics + "/no-ffprobe-here";
    WebSizesReport noProbe = run({"clip.mp4", "text.mp4"});
    EXPECT_EQ(noProbe.failed, 1U);
    EXPECT_NE(errors[0].find("no-ffprobe-here"), std::string::npos) << errors[0];
    // Killed from outside (SIGKILL, as the out-of-memory killer does): the same. Crashing on a
    // file (SIGSEGV) speaks of it: crash.mp4 is set aside, and stays aside below.
    const auto script = [&](const std::string& name, const std::string& text) {
        dir.write("bin/" + name, "#!/bin/sh\n" + text + "\n");
        fs::permissions(dir.path() + "/bin/" + name, fs::perms::owner_all);
        return dir.path() + "/bin/" + name;
    };
    tools.video.ffprobe = script("killed", "kill -KILL $$");
    WebSizesReport killed = run({"clip.mp4"});
    EXPECT_EQ(killed.failed, 1U);
    fs::copy_file(pics + "/clip.mp4", pics + "/crash.mp4");
    tools.video.ffprobe = script("crashes", "kill -SEGV $$");
    WebSizesReport crashed = run({"crash.mp4"});
    EXPECT_EQ(crashed.failed, 0U);
    EXPECT_EQ(crashed.leftOut, 1U);
    tools.video.ffprobe = ffprobe;
    // An HLG clip whose colour table cannot be written (the temporary folder is not there, as
    // when it is full): its poster is never made, the run fails, and the clip is made the next
    // time.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=320x240 "
                           "-t 1 -c:v libx264 -pix_fmt yuv420p -color_primaries bt2020 "
                           "-color_trc arib-std-b67 -colorspace bt2020nc '" +
                           pics + "/hlg.mp4'")
                              .c_str()),
              0);
    const char* tmp = std::getenv("TMPDIR");
    const std::string tmpBefore = tmp != nullptr ? tmp : "";
    ::setenv("TMPDIR", (dir.path() + "/no-such-folder").c_str(), 1);
    // crash.mp4 listed, so that its record stays.
    WebSizesReport noTable = run({"hlg.mp4", "crash.mp4"});
    if (tmp != nullptr) {
        ::setenv("TMPDIR", tmpBefore.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(noTable.failed, 1U);
    EXPECT_NE(errors[0].find("colour table"), std::string::npos) << errors[0];
    // The image library unable to take ffmpeg's frame (as when it runs short of memory): that
    // says nothing of the clip, which fails the run and is made the next time.
    vips_operation_block_set("VipsForeignLoadPng", TRUE);
    WebSizesReport noShrink = run({"clip.mp4", "crash.mp4"});
    vips_operation_block_set("VipsForeignLoadPng", FALSE);
    EXPECT_EQ(noShrink.failed, 1U);
    EXPECT_TRUE(copies[0].failed) << errors[0];
    WebSizesReport done = run({"clip.mp4", "text.mp4", "hlg.mp4", "crash.mp4"});
    EXPECT_EQ(done.made, 2U);
    EXPECT_EQ(done.leftOut, 2U);
    EXPECT_EQ(done.failed, 0U);
    EXPECT_TRUE(copies[0].ok) << errors[0];
    EXPECT_TRUE(copies[1].leftOut);
    EXPECT_TRUE(copies[2].ok) << errors[2];
    EXPECT_TRUE(copies[3].leftOut);
    EXPECT_TRUE(fs::exists(thumb("clip.mp4.jpg")));
    EXPECT_TRUE(fs::exists(thumb("hlg.mp4.jpg")));
}

TEST_F(WebSizesTest, ALivePhotosMotionGetsItsWebVideoAloneAndNoWebVideoIsMadeAgainForNewSizes) {
    tools.media = true;
    tools.video = findVideoPrograms();
    ASSERT_TRUE(tools.video.ok()) << "ffmpeg and ffprobe are installed for the tests";
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 400, 300));
    // An MP4 with its index at the end: its web video is a remuxed copy.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=320x240 "
                           "-t 1 -c:v libx264 -pix_fmt yuv420p '" +
                           pics + "/a.mp4'")
                              .c_str()),
              0);
    fs::copy_file(pics + "/a.mp4", pics + "/b.mp4");
    // The list as the run unfolds it: the motion right after its still.
    const auto makeOnce = [&](MediaTools with) {
        PictureList items;
        items.add(listedItem(pics, "a.jpg", ItemKind::Picture));
        Item motion = listedItem(pics, "a.mp4", ItemKind::Video);
        motion.motionOf = "a.jpg";
        items.add(std::move(motion));
        items.add(listedItem(pics, "b.mp4", ItemKind::Video)); // a video of its own
        CopyJob job;
        job.pageFolder = out;
        job.request = request;
        job.workers = 2;
        job.tools = std::move(with);
        job.progress = [](std::size_t, const Item&, const std::string&) {};
        WebSizesReport report;
        std::string error;
        EXPECT_TRUE(makeWebSizes(job, items, report, error)) << error;
        copies = {*items[0].copy, *items[1].copy, *items[2].copy};
        tools = job.tools;
        return report;
    };
    EXPECT_EQ(makeOnce(tools).made, 3U);
    ASSERT_TRUE(copies[1].ok);
    EXPECT_EQ(copies[1].webVideoName, "a.mp4.mp4");
    EXPECT_TRUE(fs::exists(view("a.mp4.mp4")));
    EXPECT_EQ(copies[1].fileName, "");
    for (const std::string& file :
         {view("a.mp4.jpg"), thumb("a.mp4.jpg"), thumb2x("a.mp4.jpg"), thumb("a.mp4.jpg.webp")}) {
        EXPECT_FALSE(fs::exists(file)) << file;
    }
    EXPECT_TRUE(parseCopyRecord(record()).at("a.mp4").motion);
    const auto webVideoTime = writtenAt(view("a.mp4.mp4"));
    const auto ownWebVideoTime = writtenAt(view("b.mp4.mp4"));

    // Nothing changed: both kept, and the image library is not asked anything (starting it
    // costs more than such a run takes).
    MediaTools fresh;
    fresh.media = true;
    fresh.video = tools.video;
    const WebSizesReport again = makeOnce(fresh);
    EXPECT_EQ(again.made, 0U);
    EXPECT_EQ(again.kept, 3U);
    EXPECT_TRUE(copies[1].ok);
    EXPECT_EQ(copies[1].fileName, "");
    EXPECT_FALSE(tools.webp.has_value());
    EXPECT_FALSE(tools.heif.has_value());

    // Another thumbnail box, pairing as before and then off (the motion a video of its own):
    // the copies and posters are made at the new size; the web videos are the same files,
    // not made again.
    request.boxWidth = request.boxHeight = 200;
    EXPECT_EQ(makeOnce(tools).made, 3U);
    EXPECT_EQ(copies[0].sizes.thumbWidth, 200);
    EXPECT_EQ(copies[2].sizes.thumbWidth, 200);
    EXPECT_EQ(writtenAt(view("a.mp4.mp4")), webVideoTime);
    EXPECT_EQ(writtenAt(view("b.mp4.mp4")), ownWebVideoTime);
    request.boxWidth = request.boxHeight = 240;
    PictureList apart = listOf(pics, {"a.jpg", "a.mp4", "b.mp4"});
    CopyJob job;
    job.pageFolder = out;
    job.request = request;
    job.workers = 2;
    job.tools = tools;
    job.progress = [](std::size_t, const Item&, const std::string&) {};
    WebSizesReport report;
    std::string error;
    ASSERT_TRUE(makeWebSizes(job, apart, report, error)) << error;
    EXPECT_EQ(report.made, 3U);
    EXPECT_EQ(apart[1].copy->sizes.thumbWidth, 240);
    EXPECT_TRUE(fs::exists(thumb("a.mp4.jpg")));
    EXPECT_EQ(writtenAt(view("a.mp4.mp4")), webVideoTime);
    EXPECT_EQ(writtenAt(view("b.mp4.mp4")), ownWebVideoTime);
}

TEST_F(WebSizesTest, StopEndsBetweenPicturesAndTheNextRunMakesTheRest) {
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back("p" + std::to_string(i) + ".jpg");
        ASSERT_TRUE(convertJpeg(pics + "/" + names.back(), 800, 600));
    }
    WebSizesReport stopped = run(names, [] { return true; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_LT(stopped.made, names.size());
    EXPECT_EQ(stopped.failed, 0U); // pictures not reached are no failure
    WebSizesReport rest = run(names);
    EXPECT_EQ(rest.made + rest.kept, names.size());
    EXPECT_EQ(rest.made, names.size() - stopped.made);
    EXPECT_EQ(parseCopyRecord(record()).size(), names.size());
}

/// True when `bytes` are a WebP file; `alpha` gets whether it keeps transparency.
bool isWebp(const std::string& bytes, bool* alpha = nullptr) {
    const bool webp =
        bytes.size() > 30 && bytes.rfind("RIFF", 0) == 0 && bytes.compare(8, 4, "WEBP") == 0;
    if (alpha != nullptr) {
        // Lossy WebP keeps transparency in an ALPH chunk after the extended header.
        *alpha = webp && bytes.compare(12, 4, "VP8X") == 0 && (bytes[20] & 0x10) != 0 &&
                 bytes.find("ALPH") != std::string::npos;
    }
    return webp;
}

TEST_F(WebSizesTest, WebpThumbnailsAreOnRecordAsTheJpegsAre) {
    ASSERT_TRUE(startImageLibrary());
    if (!imageLibraryWritesWebp()) {
        GTEST_SKIP() << "libvips writes no WebP here";
    }
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 800, 600));
    ASSERT_TRUE(convertJpeg(pics + "/b.jpg", 600, 800));
    // A transparent GIF: its WebP thumbnails keep the transparency, the JPEGs the checker.
    ASSERT_EQ(std::system(("convert -size 80x60 xc:none -fill red -draw 'circle 40,30 40,10' '" +
                           pics + "/t.gif' 2>/dev/null")
                              .c_str()),
              0);
    const std::vector<std::string> names = {"a.jpg", "b.jpg", "t.gif"};
    EXPECT_EQ(run(names).made, 3U);
    for (const WebCopy& copy : copies) {
        EXPECT_TRUE(copy.webp) << copy.fileName;
    }
    bool alpha = true;
    EXPECT_TRUE(isWebp(readBytes(thumb("a.jpg.webp")), &alpha));
    EXPECT_FALSE(alpha);
    EXPECT_TRUE(isWebp(readBytes(thumb2x("a.jpg.webp"))));
    EXPECT_TRUE(isWebp(readBytes(thumb("t.gif.jpg.webp")), &alpha));
    EXPECT_TRUE(alpha);
    EXPECT_TRUE(isWebp(readBytes(thumb2x("t.gif.jpg.webp")), &alpha));
    EXPECT_TRUE(alpha);
    EXPECT_FALSE(fs::exists(view("a.jpg.webp"))); // the display copy stays JPEG alone
    EXPECT_TRUE(parseCopyRecord(record()).at("a.jpg").webp);

    // Nothing changed: nothing is made, the record stays as it is.
    const auto webpAt = writtenAt(thumb("a.jpg.webp"));
    const auto recordedAt = writtenAt(out + "/thumbs/.mivo-copies");
    EXPECT_EQ(run(names).made, 0U);
    EXPECT_TRUE(copies[0].webp);
    EXPECT_EQ(writtenAt(thumb("a.jpg.webp")), webpAt);
    EXPECT_EQ(writtenAt(out + "/thumbs/.mivo-copies"), recordedAt);

    // A lost WebP thumbnail, a changed picture: made again; a removed picture's WebP copies go.
    fs::remove(thumb2x("a.jpg.webp"));
    ASSERT_TRUE(convertJpeg(pics + "/b.jpg", 300, 100));
    fs::remove(pics + "/t.gif");
    const std::vector<std::string> two = {"a.jpg", "b.jpg"};
    const WebSizesReport changed = run(two);
    EXPECT_EQ(changed.made, 2U);
    EXPECT_EQ(changed.removed, 1U);
    EXPECT_TRUE(isWebp(readBytes(thumb2x("a.jpg.webp"))));
    EXPECT_EQ(copies[1].sizes.thumbWidth, 160);
    EXPECT_FALSE(fs::exists(thumb("t.gif.jpg.webp")));
    EXPECT_FALSE(fs::exists(thumb2x("t.gif.jpg.webp")));

    // A record an earlier version wrote (no WebP mark, no WebP files): each picture gets its
    // WebP thumbnails on the next run, once.
    CopyRecord earlier = parseCopyRecord(record());
    for (auto& [name, made] : earlier) {
        made.webp = false;
        fs::remove(thumb(name + ".webp"));
        fs::remove(thumb2x(name + ".webp"));
    }
    dir.write("out/thumbs/.mivo-copies", recordText(earlier));
    EXPECT_EQ(run(two).made, 2U);
    EXPECT_TRUE(isWebp(readBytes(thumb("b.jpg.webp"))));
    EXPECT_EQ(run(two).made, 0U);

    // A file of the user's under a WebP thumbnail's name: left as it is, the picture keeps
    // JPEG thumbnails alone, and is not made again for it.
    fs::remove(pics + "/a.jpg");
    run({"b.jpg"});
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 800, 600));
    dir.write("out/thumbs/a.jpg.webp", "the user's own");
    EXPECT_EQ(run(two).made, 1U);
    EXPECT_TRUE(copies[0].ok);
    EXPECT_FALSE(copies[0].webp);
    EXPECT_FALSE(fs::exists(thumb2x("a.jpg.webp")));
    EXPECT_EQ(run(two).made, 0U);
    fs::remove(pics + "/a.jpg");
    run({"b.jpg"});
    EXPECT_EQ(readBytes(thumb("a.jpg.webp")), "the user's own");
}

TEST_F(WebSizesTest, AKilledRunsWebpThumbnailsAreMended) {
    ASSERT_TRUE(startImageLibrary());
    if (!imageLibraryWritesWebp()) {
        GTEST_SKIP() << "libvips writes no WebP here";
    }
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 800, 600));
    ASSERT_TRUE(convertJpeg(pics + "/gone.jpg", 800, 600));
    // Killed while a.jpg's WebP thumbnails were written: claimed, one half-written; and a
    // picture since removed whose claim had WebP thumbnails too.
    MadeCopies claim;
    claim.request = request;
    claim.webp = true;
    dir.write("out/thumbs/.mivo-copies", copyRecordHeader() + copyRecordLine("a.jpg", claim) +
                                             copyRecordLine("gone.jpg", claim));
    dir.write("out/thumbs/2x/a.jpg.webp", "half");
    dir.write("out/thumbs/2x/gone.jpg.webp", "half");
    dir.write("out/thumbs/.a.jpg.webp.part-Ab12Cd", "half");
    fs::remove(pics + "/gone.jpg");
    EXPECT_EQ(run({"a.jpg"}).made, 1U);
    EXPECT_TRUE(isWebp(readBytes(thumb("a.jpg.webp"))));
    EXPECT_TRUE(isWebp(readBytes(thumb2x("a.jpg.webp"))));
    EXPECT_FALSE(fs::exists(thumb2x("gone.jpg.webp")));
    EXPECT_FALSE(fs::exists(out + "/thumbs/.a.jpg.webp.part-Ab12Cd"));
    const CopyRecord after = parseCopyRecord(record());
    ASSERT_EQ(after.size(), 1U);
    EXPECT_TRUE(after.at("a.jpg").ok);
    EXPECT_TRUE(after.at("a.jpg").webp);
}

TEST_F(WebSizesTest, ThumbnailsStandUprightForEveryExifOrientation) {
    // The picture as it should be seen: 60 x 30, red in its top-left corner, white elsewhere.
    // Each file stores it turned the way its orientation tag undoes.
    const char* const stored[9] = {"",          "",           "-flop",       "-rotate 180",
                                   "-flip",     "-transpose", "-rotate 270", "-transverse",
                                   "-rotate 90"};
    ASSERT_TRUE(startImageLibrary());
    std::vector<std::string> names;
    for (int o = 1; o <= 8; ++o) {
        const std::string name = "o" + std::to_string(o) + ".jpg";
        const std::string plain = dir / ("plain" + std::to_string(o) + ".png");
        const std::string command = "convert -size 60x30 xc:white -fill red -draw "
                                    "'rectangle 0,0 19,9' " +
                                    std::string(stored[o]) + " '" + plain + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        // The orientation tag is written by libvips from the image's metadata.
        VipsImage* in = vips_image_new_from_file(plain.c_str(), nullptr);
        ASSERT_NE(in, nullptr);
        VipsImage* tagged = nullptr;
        ASSERT_EQ(vips_copy(in, &tagged, nullptr), 0);
        vips_image_set_int(tagged, "orientation", o);
        EXPECT_EQ(vips_jpegsave(tagged, (pics + "/" + name).c_str(), "Q", 95, nullptr), 0);
        g_object_unref(tagged);
        g_object_unref(in);
        names.push_back(name);
    }
    request.boxWidth = 30;
    request.boxHeight = 30;
    EXPECT_EQ(run(names).made, 8U);
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const WebCopy& copy = copies[static_cast<std::size_t>(o - 1)];
        ASSERT_TRUE(copy.ok);
        EXPECT_EQ(copy.sizes.thumbWidth, 30);
        EXPECT_EQ(copy.sizes.thumbHeight, 15);
        VipsImage* image = vips_image_new_from_file(thumb(copy.fileName).c_str(), nullptr);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(vips_image_get_width(image), 30);
        double* pixel = nullptr;
        int bands = 0;
        // Top-left is red; top-right and bottom-left are white.
        ASSERT_EQ(vips_getpoint(image, &pixel, &bands, 2, 2, nullptr), 0);
        EXPECT_GT(pixel[0], 200);
        EXPECT_LT(pixel[1], 80);
        g_free(pixel);
        ASSERT_EQ(vips_getpoint(image, &pixel, &bands, 27, 2, nullptr), 0);
        EXPECT_GT(pixel[1], 200);
        g_free(pixel);
        ASSERT_EQ(vips_getpoint(image, &pixel, &bands, 2, 12, nullptr), 0);
        EXPECT_GT(pixel[1], 200);
        g_free(pixel);
        g_object_unref(image);
    }
}

} // namespace
} // namespace mivo

namespace mivo {
namespace {

TEST_F(WebSizesTest, AReRunSeesEveryChangeWhateverFolderItsPicturesAndCopiesAreIn) {
    // An album's items may come from more than one folder (a motion beside its still): each
    // picture's stamp is its own, whichever folder the one before it was in.
    const std::string other = dir.mkdir("other");
    ASSERT_TRUE(convertJpeg(pics + "/a.jpg", 80, 60));
    ASSERT_TRUE(convertJpeg(other + "/b.jpg", 80, 60));
    ASSERT_TRUE(convertJpeg(pics + "/c.jpg", 80, 60));
    const auto album = [&] {
        PictureList items;
        items.add(listedItem(pics, "a.jpg", ItemKind::Picture));
        items.add(listedItem(other, "b.jpg", ItemKind::Picture));
        items.add(listedItem(pics, "c.jpg", ItemKind::Picture));
        return items;
    };
    CopyJob job;
    job.pageFolder = out;
    job.request = request;
    job.progress = [](std::size_t, const Item&, const std::string&) {};
    const auto runAlbum = [&](PictureList& items) {
        WebSizesReport report;
        EXPECT_TRUE(makeWebSizes(job, items, report, folderError));
        return report;
    };
    PictureList first = album();
    EXPECT_EQ(runAlbum(first).made, 3U);
    ASSERT_TRUE(convertJpeg(other + "/b.jpg", 40, 60));
    PictureList second = album();
    const WebSizesReport changed = runAlbum(second);
    EXPECT_EQ(changed.made, 1U);
    EXPECT_EQ(changed.kept, 2U);
    EXPECT_EQ(second[1].copy->sizes.viewWidth, 40);

    // One open folder listed again and again sees what was written and removed in between.
    CopyFolderSet folders;
    ASSERT_TRUE(folders.open(out, folderError));
    std::string error;
    ASSERT_TRUE(folders.views.writeFile("new.jpg", "x", error));
    fs::create_symlink(pics + "/a.jpg", view("link.jpg"));
    dir.write("out/view/.a.jpg.part-Ab3dE9", "left by a killed run");
    const auto isOwn = [](const std::string&) { return false; };
    const Listing listed = listAndTidy(folders.views, isOwn);
    EXPECT_TRUE(listed.hasRegular("new.jpg"));
    EXPECT_TRUE(listed.hasRegular("a.jpg"));
    EXPECT_TRUE(listed.has("link.jpg"));
    EXPECT_FALSE(listed.hasRegular("link.jpg"));
    EXPECT_FALSE(listed.has(".a.jpg.part-Ab3dE9"));
    EXPECT_FALSE(fs::exists(view(".a.jpg.part-Ab3dE9")));
    ASSERT_TRUE(folders.views.removeFile("new.jpg", error));
    const Listing again = listAndTidy(folders.views, isOwn);
    EXPECT_FALSE(again.has("new.jpg"));
    EXPECT_TRUE(again.hasRegular("c.jpg"));
    EXPECT_TRUE(again.has("link.jpg"));
}

TEST(CopyRecordLines, AVideosLineKeepsItsFactsAndAPicturesLineStaysAsEarlierVersionsWroteIt) {
    MadeCopies picture;
    picture.pictureBytes = 10;
    picture.pictureTime = 20;
    picture.ok = true;
    picture.sizes = {160, 120, 320, 240, 800, 600};
    EXPECT_EQ(copyRecordLine("a.jpg", picture),
              "a.jpg\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\n");
    MadeCopies video = picture;
    video.video = true;
    video.durationMs = 61500;
    video.webVideoMade = true;
    video.dateTaken = 20240501123000;
    video.timeZone = "+09:00";
    video.model = "iPhone 15 Pro";
    EXPECT_EQ(copyRecordLine("clip.mov", video),
              "clip.mov\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\t2\t61500\t1\t"
              "20240501123000\tz=+09:00;m=iPhone%2015%20Pro\n");
    // A model of any bytes, even those that end a field, a line or a value, comes back whole.
    MadeCopies odd = video;
    odd.timeZone.clear();
    odd.model = std::string("a\tb\nc\rd;e=f%g \xFF\xFE\x01 \xE6\x9D\xB1");
    // A line as versions before the text field wrote it: read, without zone or model.
    MadeCopies older = video;
    older.timeZone.clear();
    older.model.clear();
    older.webVideoMade = false;
    const std::string text =
        copyRecordHeader() + copyRecordLine("a.jpg", picture) + copyRecordLine("clip.mov", video) +
        copyRecordLine("odd.mov", odd) +
        "old.mov\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\t1\t"
        "61500\t0\t20240501123000\n" +
        // Sixteen numbers whose thirteenth is not 1 or 2, and fourteen, are
        // no lines of a video: left out as any unfinished line.
        "x.mov\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t3\t5\t1\t0\n" +
        "y.mov\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t1\t5\n" +
        // A text field cut short, or a 2 without one, or one after a 1.
        "p.mov\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t2\t5\t1\t0\tz=%4\n" +
        "q.mov\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t2\t5\t1\t0\n" +
        "r.mov\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t1\t5\t1\t0\tz=;m=\n";
    // Copies under a variant of the usual names say so in one more number, last.
    MadeCopies variantPicture = picture;
    variantPicture.variant = 2;
    MadeCopies variantVideo = video;
    variantVideo.variant = 3;
    EXPECT_EQ(copyRecordLine("b.gif", variantPicture),
              "b.gif\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\t2\n");
    const std::string variants = copyRecordLine("b.gif", variantPicture) +
                                 copyRecordLine("a.mov", variantVideo) +
                                 // A variant of 1 or 0, or two more numbers: no line of ours.
                                 "c.gif\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t1\n" +
                                 "d.gif\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t2\t2\n";
    // WebP thumbnails: the variant (0 for the usual names) and 1, last.
    MadeCopies webpPicture = picture;
    webpPicture.webp = true;
    MadeCopies webpVideo = variantVideo;
    webpVideo.webp = true;
    EXPECT_EQ(copyRecordLine("e.png", webpPicture),
              "e.png\t10\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\t0\t1\n");
    const std::string webps = copyRecordLine("e.png", webpPicture) +
                              copyRecordLine("f.mov", webpVideo) +
                              // A WebP mark other than 1, or a number after it: no line of ours.
                              "g.png\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t0\t0\n" +
                              "h.png\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t0\t1\t1\n";
    const CopyRecord record = parseCopyRecord(text + variants + webps);
    ASSERT_EQ(record.size(), 8U);
    EXPECT_EQ(record.at("e.png"), webpPicture);
    EXPECT_EQ(record.at("f.mov"), webpVideo);
    EXPECT_EQ(recordedNames("f.mov", webpVideo).thumbWebp, "f.mov~3.jpg.webp");
    EXPECT_EQ(record.at("a.jpg"), picture);
    EXPECT_EQ(record.at("clip.mov"), video);
    EXPECT_EQ(record.at("odd.mov"), odd);
    EXPECT_EQ(record.at("old.mov"), older);
    EXPECT_EQ(record.at("b.gif"), variantPicture);
    EXPECT_EQ(record.at("a.mov"), variantVideo);

    // A Live Photo's motion without poster copies: its web video alone is its own. Only a
    // video line without sizes is one; a mark on any other line is passed over.
    MadeCopies motion = video;
    motion.sizes = {};
    motion.motion = true;
    EXPECT_EQ(copyRecordLine("m.mov", motion),
              "m.mov\t10\t20\t160\t160\t2048\t1\t0\t0\t0\t0\t0\t0\t2\t61500\t1\t"
              "20240501123000\tz=+09:00;m=iPhone%2015%20Pro;l=1\n");
    const CopyRecord motions = parseCopyRecord(
        copyRecordHeader() + copyRecordLine("m.mov", motion) +
        "n.mov\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\t2\t5\t1\t0\tz=;m=;l=1\n" +
        "o.gif\t10\t20\t160\t160\t2048\t1\t0\t0\t0\t0\t0\t0\ta=mp4;l=1\n");
    ASSERT_EQ(motions.size(), 3U);
    EXPECT_EQ(motions.at("m.mov"), motion);
    EXPECT_FALSE(motions.at("n.mov").motion);
    EXPECT_FALSE(motions.at("o.gif").motion);
    const CopyNames motionNames = recordedNames("m.mov", motion);
    EXPECT_EQ(motionNames.file, "");
    EXPECT_EQ(motionNames.webVideo, "m.mov.mp4");
    EXPECT_EQ(recordedNames("n.mov", motions.at("n.mov")).file, "n.mov.jpg");
}

// Numbers of every length are read whole: a time of nineteen digits and a negative one come
// back as written; a number past the range, a lone sign or a plus sign make no line of ours.
TEST(CopyRecordLines, LongAndNegativeNumbersAreReadWholeAndOutOfRangeOnesLeaveTheLineOut) {
    MadeCopies picture;
    picture.pictureBytes = 123456789012345678ULL; // eighteen digits
    picture.pictureTime = 1733770000123456789LL;  // nineteen
    picture.ok = true;
    picture.sizes = {160, 120, 320, 240, 800, 600};
    MadeCopies before1970 = picture;
    before1970.pictureBytes = 9;
    before1970.pictureTime = -86400123456789LL;
    const std::string numbers = "\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\n";
    const CopyRecord record = parseCopyRecord(
        copyRecordHeader() + copyRecordLine("a.jpg", picture) +
        copyRecordLine("b.jpg", before1970) + "c.jpg\t10\t99999999999999999999" + numbers +
        "d.jpg\t10\t-" + numbers + "e.jpg\t10\t+5" + numbers + "f.jpg\t0010\t-0" + numbers);
    ASSERT_EQ(record.size(), 3U);
    EXPECT_EQ(record.at("a.jpg"), picture);
    EXPECT_EQ(record.at("b.jpg"), before1970);
    EXPECT_EQ(record.at("f.jpg").pictureBytes, 10U);
    EXPECT_EQ(record.at("f.jpg").pictureTime, 0);
}

TEST(CopyRecordLines, APicturesAnimationCopyIsKeptAfterItsNumbersAndLeadsNowhereElse) {
    MadeCopies gif;
    gif.pictureBytes = 2000000;
    gif.pictureTime = 20;
    gif.ok = true;
    gif.sizes = {160, 120, 320, 240, 800, 600};
    gif.animation = kAnimationMp4;
    MadeCopies webp = gif;
    webp.animation = kAnimationWebp;
    webp.variant = 2;
    const std::string line = copyRecordLine("a.gif", gif);
    EXPECT_EQ(line, "a.gif\t2000000\t20\t160\t160\t2048\t1\t160\t120\t320\t240\t800\t600\ta=mp4\n");
    const std::string text =
        copyRecordHeader() + line + copyRecordLine("b.webp", webp) +
        // An earlier version's line: no animation copy, read as such.
        "c.gif\t2000000\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\n" +
        // A kind this version does not know, or a value that would name another file: skipped.
        "d.gif\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\ta=avif\n" +
        "e.gif\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\ta=mp4%2F..%2Fx\n" +
        "f.gif\t10\t20\t160\t160\t2048\t1\t1\t1\t1\t1\t1\t1\ta=mp4";
    const CopyRecord record = parseCopyRecord(text);
    ASSERT_EQ(record.size(), 3U);
    EXPECT_EQ(record.at("a.gif"), gif);
    EXPECT_EQ(record.at("b.webp"), webp);
    EXPECT_TRUE(record.at("c.gif").animation.empty());
    EXPECT_EQ(recordedNames("a.gif", gif).webVideo, "a.gif.mp4");
    EXPECT_EQ(recordedNames("b.webp", webp).webVideo, "b.webp~2.webp");
    EXPECT_EQ(recordedNames("b.webp", webp).file, "b.webp~2.jpg");
    EXPECT_TRUE(recordedNames("c.gif", record.at("c.gif")).webVideo.empty());
}

TEST(CopyNamesTest, NoTwoItemsOfAFolderShareACopyName) {
    EXPECT_EQ(copyNamesOf("clip.mov", true).file, "clip.mov.jpg");
    EXPECT_EQ(copyNamesOf("clip.mov", true).webVideo, "clip.mov.mp4");
    EXPECT_EQ(copyNamesOf("a.JPG", false).file, "a.JPG");
    EXPECT_EQ(copyNamesOf("a.JPG", false, 2).file, "a~2.JPG");
    EXPECT_EQ(copyNamesOf("a.mov", true, 3).webVideo, "a.mov~3.mp4");
    EXPECT_EQ(caseFoldedName("Ärger.MOV"), "ärger.mov");

    struct Row {
        std::vector<std::string> names;
        std::vector<int> variants;
    };
    for (const Row& row : std::vector<Row>{
             // The JPEG keeps its own name whatever the order.
             {{"b.gif", "b.gif.jpg"}, {2, 0}},
             {{"b.gif.jpg", "b.gif"}, {0, 2}},
             {{"x.png", "x.png.jpg", "x.png~2.jpg"}, {3, 0, 0}},
             // Names one file system keeps apart and another does not.
             {{"a.mov", "a.MOV"}, {2, 0}},
             {{"A.jpg", "a.jpg", "a~2.jpg"}, {0, 3, 0}},
             {{"É.heic", "é.heic"}, {0, 2}},
             {{"img_1.jpg", "IMG_1.JPG"}, {2, 0}},
             {{"a.jpg", "b.png", "c.mov"}, {0, 0, 0}},
         }) {
        EXPECT_EQ(copyVariants(row.names), row.variants) << row.names.front();
        std::set<std::string> files;
        const std::vector<int> variants = copyVariants(row.names);
        for (std::size_t i = 0; i < row.names.size(); ++i) {
            EXPECT_TRUE(
                files.insert(caseFoldedName(copyNamesOf(row.names[i], false, variants[i]).file))
                    .second);
        }
    }
}

} // namespace
} // namespace mivo

namespace mivo {
namespace {

TEST(ResizeStartOrder, VideosGoFirstLargestFirstPicturesKeepTheirOrderAndMotionsGoLast) {
    const auto task = [](bool video, std::uintmax_t bytes) {
        ResizeTask made;
        made.stamp.video = video;
        made.stamp.pictureBytes = bytes;
        return made;
    };
    // A long clip listed last starts first, so the other workers are not left idle while it
    // alone is made; pictures of any size keep the listing's order, and so do videos of the
    // same size.
    const std::vector<ResizeTask> tasks = {task(false, 9),  task(true, 10), task(false, 1),
                                           task(true, 500), task(true, 10), task(true, 137)};
    EXPECT_EQ(startOrder(tasks), (std::vector<std::size_t>{3, 5, 1, 4, 0, 2}));
    EXPECT_TRUE(startOrder({}).empty());
    // A Live Photo's motion waits for its still: the motions start last, in their order.
    std::vector<ResizeTask> live = {task(false, 9), task(true, 40), task(true, 10), task(true, 30)};
    live[1].motion = true;
    live[3].motion = true;
    EXPECT_EQ(startOrder(live), (std::vector<std::size_t>{2, 0, 1, 3}));
}

} // namespace
} // namespace mivo
