#include "generation/copies/copy_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/paths.h"
#include "common/translate.h"
#include "generation/copies/picture_resize.h"
#include "generation/pictures/moving_picture.h"

namespace mivo {

namespace {

// The size and modification time (nanoseconds since the epoch) of the pictures of an album,
// one stat each. The stat is made relative to the picture's folder, held open while its
// pictures follow one another, so that the path is not walked again for every picture.
class PictureStamps {
  public:
    PictureStamps() = default;
    ~PictureStamps() { close(); }
    PictureStamps(const PictureStamps&) = delete;
    PictureStamps& operator=(const PictureStamps&) = delete;

    bool stamp(const Item& item, std::uintmax_t& bytes, std::int64_t& time) {
        struct stat info {};
        const std::string& path = item.path;
        const std::string& name = item.name();
        const bool inFolder = !name.empty() && name.find('/') == std::string::npos &&
                              path.size() > name.size() &&
                              path[path.size() - name.size() - 1] == '/' && path.ends_with(name);
        if (inFolder) {
            const std::string_view folder(path.data(), path.size() - name.size());
            if (folder != folder_) {
                close();
                folder_.assign(folder);
                fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            }
        }
        const bool found = inFolder && fd_ >= 0 ? ::fstatat(fd_, name.c_str(), &info, 0) == 0
                                                : ::stat(path.c_str(), &info) == 0;
        if (!found || !S_ISREG(info.st_mode)) {
            return false;
        }
        bytes = static_cast<std::uintmax_t>(info.st_size);
        time = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        return true;
    }

  private:
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    std::string folder_;
    int fd_ = -1;
};

} // namespace

std::vector<PictureStamp> stampPictures(const PictureList& items) {
    std::vector<PictureStamp> out(items.size());
    PictureStamps stamps;
    for (std::size_t i = 0; i < items.size(); ++i) {
        out[i].found = stamps.stamp(items[i], out[i].bytes, out[i].time);
    }
    return out;
}

std::string animationWanted(const Item& item, const MediaTools& tools) {
    if (item.kind == ItemKind::Video || !item.moves || item.bytes <= kSmallMovingPicture) {
        return {};
    }
    // By kind: an MP4 of a GIF is many times smaller than any GIF or WebP of it, and ffmpeg
    // cannot read an animated WebP, which the image library keeps as a smaller WebP.
    const std::string ext = cmGetExt(item.name());
    if (ext == "gif" && !tools.video.ffmpeg.empty()) {
        return kAnimationMp4;
    }
    if (ext == "webp" && imageLibraryMakesAnimatedWebp()) {
        return kAnimationWebp;
    }
    return {};
}

ItemCopyNames nameCopies(const PictureList& items, const MediaTools& tools) {
    std::vector<std::string> itemNames;
    itemNames.reserve(items.size());
    for (const Item& item : items) {
        itemNames.push_back(item.name());
    }
    ItemCopyNames out;
    out.names.resize(items.size());
    // The usual names first: the variants are worked out from their files, and an item whose
    // usual names are its own keeps them.
    std::vector<std::string> usualFiles(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool video = items[i].kind == ItemKind::Video;
        out.names[i] = copyNamesOf(itemNames[i], video, 0, animationWanted(items[i], tools));
        usualFiles[i] = out.names[i].file;
    }
    out.variants = copyVariants(itemNames, usualFiles);
    std::vector<std::string> assigned;
    assigned.reserve(items.size() * 2);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool video = items[i].kind == ItemKind::Video;
        if (out.variants[i] >= 2) {
            out.names[i] =
                copyNamesOf(itemNames[i], video, out.variants[i], animationWanted(items[i], tools));
        }
        // A Live Photo's motion gets its poster copies only when its still is not shown (see
        // planCopies): names of earlier posters are not this run's, so they go with the rest
        // of what the record no longer holds. Its variant keeps them from any other item.
        if (items[i].motionOf.empty()) {
            assigned.push_back(out.names[i].file);
            // The WebP thumbnails' name is kept for the item whether or not it gets them.
            assigned.push_back(webpThumbName(out.names[i].file));
        }
        if (!out.names[i].webVideo.empty()) {
            assigned.push_back(out.names[i].webVideo);
        }
    }
    out.assigned = NameList(std::move(assigned));
    return out;
}

bool RecordNames::contains(const std::string& name) const {
    if (!listed_) {
        std::vector<std::string> names;
        names.reserve(record_.size());
        for (const auto& [item, made] : record_) {
            CopyNames own = recordedNames(item, made);
            if (!own.file.empty()) {
                names.push_back(std::move(own.file));
            }
            if (!own.webVideo.empty()) {
                names.push_back(std::move(own.webVideo));
            }
            if (!own.thumbWebp.empty()) {
                names.push_back(std::move(own.thumbWebp));
            }
        }
        names_ = NameList(std::move(names));
        listed_ = true;
    }
    return names_.contains(name);
}

bool leftOutWhenUnreadable(const MediaTools& tools, ItemKind kind) {
    return tools.media || kind != ItemKind::Picture;
}

void takeVideoFacts(const std::string& name, const MadeCopies& made, WebCopy& copy) {
    copy.durationMs = made.durationMs;
    copy.webVideoName = made.webVideoMade ? recordedNames(name, made).webVideo : std::string();
    copy.webVideoType = !made.webVideoMade && cmGetExt(name) == "webm" ? "video/webm" : "video/mp4";
    copy.dateTaken = dateText(made.dateTaken);
    copy.timeZone = made.timeZone;
    copy.model = made.model;
}

void takeAnimation(const CopyNames& names, WebCopy& copy) {
    copy.webVideoName = names.webVideo;
    // An animated WebP is shown as a picture: no video type.
    copy.webVideoType = names.webVideo.ends_with(".mp4") ? "video/mp4" : "";
}

CopyPlan planCopies(PictureList& items, const ItemCopyNames& names, const CopyRecord& before,
                    const RecordNames& ownNames, const FolderContents& present,
                    const ResizeRequest& request, const MediaTools& tools,
                    const std::vector<PictureStamp>* stamped) {
    CopyPlan plan;
    plan.taskOf.assign(items.size(), SIZE_MAX);
    plan.errors.resize(items.size());
    plan.unreadable.assign(items.size(), false);
    std::vector<std::string>& errors = plan.errors;
    CopyRecord& after = plan.after;
    PictureStamps stamps;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const std::string& name = item.name();
        const CopyNames& own = names.names[i];
        WebCopy& copy = *items[i].copy;
        copy.fileName = own.file;
        const ItemKind kind = item.kind;
        const bool video = kind == ItemKind::Video;
        MadeCopies stamp;
        stamp.request = request;
        stamp.video = video;
        stamp.variant = names.variants[i];
        stamp.animation = animationWanted(item, tools);
        const bool extra = !own.webVideo.empty(); // a web video or an animation copy
        // WebP thumbnails where the image library writes them and no file of the user's has
        // their name.
        const std::string webpName = webpThumbName(own.file);
        // Folders as recorded hold no name the record does not give.
        const auto webpTaken = [&] {
            return !present.asRecorded &&
                   (present.thumbs.has(webpName) || present.thumbs2x.has(webpName)) &&
                   !ownNames.contains(webpName);
        };
        if (!fitsRecord(name)) {
            copy.notReduced = true;
            errors[i] = translatable("縮小画像の記録に書けない名前です");
            continue;
        }
        const bool found = stamped != nullptr
                               ? (*stamped)[i].found
                               : stamps.stamp(item, stamp.pictureBytes, stamp.pictureTime);
        if (stamped != nullptr && found) {
            stamp.pictureBytes = (*stamped)[i].bytes;
            stamp.pictureTime = (*stamped)[i].time;
        }
        if (!found) {
            copy.failed = true;
            errors[i] = translatable("読み込めません");
            continue;
        }
        // A Live Photo's motion needs no poster copies while its still, just before it, is
        // shown: kept now (`motionAlone`), or made by this run, whose task tells the motion's
        // (which is then made too: its poster copies, wanted or not, follow the still's).
        const bool motion = video && i > 0 && !item.motionOf.empty() &&
                            items[i - 1].name() == item.motionOf && items[i - 1].copy;
        const bool motionAlone = motion && items[i - 1].copy->ok;
        const std::size_t stillTask = motion ? plan.taskOf[i - 1] : SIZE_MAX;
        bool keepWebVideo = false;
        const auto known = before.find(name);
        if (known != before.end()) {
            const MadeCopies& made = known->second;
            const bool same = made.pictureBytes == stamp.pictureBytes &&
                              made.pictureTime == stamp.pictureTime && made.video == video;
            // A big moving picture on record without its animation copy (a record of a version
            // that made none, or a run without ffmpeg) gets it now, and loses it once small.
            // Copies without WebP thumbnails (an earlier version's) are made again once the
            // library can write them; the library is asked only then.
            // With the folders as recorded, a finished line's copies are there: the names
            // asked for below are the line's own once its variant, kind and animation match.
            const bool asRecorded = present.asRecorded && made.ok;
            // A motion without poster copies has none to be of this request's sizes, nor
            // WebP thumbnails (and the image library is not started to ask about them).
            const bool posterless = video && made.motion;
            const bool webpKept =
                posterless || (made.webp ? asRecorded || present.webpExist(webpName)
                                         : webpTaken() || !tools.writesWebp());
            const bool extraThere = !(made.webVideoMade || !made.animation.empty()) || asRecorded ||
                                    present.views.hasRegular(own.webVideo);
            const bool upToDate = made.ok && same && made.variant == stamp.variant &&
                                  made.animation == stamp.animation && posterless == motionAlone &&
                                  stillTask == SIZE_MAX &&
                                  (posterless || (made.request == request &&
                                                  (asRecorded || present.allExist(own.file)))) &&
                                  extraThere;
            // A web video depends on its video alone, not on the copies' sizes: a video whose
            // poster copies are made again (another thumbnail box or display size, WebP
            // thumbnails an earlier version did not make, a Live Photo's motion that now needs
            // them or no longer does) keeps it. The poster is taken again, the transcode is not.
            keepWebVideo = video && made.ok && same && made.variant == stamp.variant &&
                           made.webVideoMade && extraThere;
            if (upToDate && webpKept) {
                after[name] = made;
                copy.ok = true;
                copy.sizes = made.sizes;
                copy.webp = made.webp;
                if (posterless) {
                    copy.fileName.clear();
                }
                if (video) {
                    takeVideoFacts(name, made, copy);
                } else if (extra) {
                    takeAnimation(own, copy);
                }
                continue;
            }
            if (made.unreadable && leftOutWhenUnreadable(tools, kind) && same) {
                // Read in vain before and unchanged since: left out without a try.
                after[name] = made;
                plan.unreadable[i] = true;
                errors[i] = translatable("前に読み込めなかったまま変わっていません");
                continue;
            }
            // On record but not finished, failed, out of date or incomplete: the names are
            // Mivo's, so the copies are made again over them.
        }
        if ((present.anyTaken(own.file) && !ownNames.contains(own.file)) ||
            (extra && present.views.has(own.webVideo) && !ownNames.contains(own.webVideo))) {
            copy.notReduced = true;
            errors[i] = translatable("縮小画像の名前のファイルが既にあります (Mivo が作ったもので"
                                     "はありません)");
            continue;
        }
        const std::string missing = tools.missingFor(kind, name);
        if (!missing.empty()) {
            copy.missing = missing;
            errors[i] = std::string(translatable("必要なプログラムがありません")) + ": " + missing;
            continue;
        }
        stamp.webp = !webpTaken() && tools.writesWebp();
        plan.taskOf[i] = plan.tasks.size();
        ResizeTask task;
        task.picture = i;
        task.name = name;
        task.source = item.path;
        task.names = own;
        task.keepWebVideo = keepWebVideo;
        task.motion = motion;
        task.stillShown = motionAlone;
        task.still = stillTask;
        if (stamp.webp) {
            task.names.thumbWebp = webpName;
        }
        task.stamp = stamp;
        plan.tasks.push_back(std::move(task));
    }
    return plan;
}

} // namespace mivo
