#include "generation/copies/copy_plan.h"

#include <sys/stat.h>

#include <cstdint>

#include "common/paths.h"
#include "common/translate.h"
#include "generation/copies/picture_resize.h"
#include "generation/pictures/moving_picture.h"

namespace mivo {

namespace {

// The picture's size and modification time (nanoseconds since the epoch), from one stat.
bool pictureStamp(const std::string& picture, std::uintmax_t& bytes, std::int64_t& time) {
    struct stat info {};
    if (::stat(picture.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    bytes = static_cast<std::uintmax_t>(info.st_size);
    time = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

} // namespace

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
    out.variants = copyVariants(itemNames);
    out.names.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool video = items[i].kind == ItemKind::Video;
        out.names[i] =
            copyNamesOf(itemNames[i], video, out.variants[i], animationWanted(items[i], tools));
        out.assigned.insert(out.names[i].file);
        // The WebP thumbnails' name is kept for the item whether or not it gets them.
        out.assigned.insert(webpThumbName(out.names[i].file));
        if (!out.names[i].webVideo.empty()) {
            out.assigned.insert(out.names[i].webVideo);
        }
    }
    return out;
}

std::set<std::string> namesOnRecord(const CopyRecord& record) {
    std::set<std::string> ownNames;
    for (const auto& [name, made] : record) {
        const CopyNames names = recordedNames(name, made);
        ownNames.insert(names.file);
        if (!names.webVideo.empty()) {
            ownNames.insert(names.webVideo);
        }
        if (!names.thumbWebp.empty()) {
            ownNames.insert(names.thumbWebp);
        }
    }
    return ownNames;
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
                    const std::set<std::string>& ownNames, const FolderContents& present,
                    const ResizeRequest& request, const MediaTools& tools) {
    CopyPlan plan;
    plan.taskOf.assign(items.size(), SIZE_MAX);
    plan.errors.resize(items.size());
    plan.unreadable.assign(items.size(), false);
    std::vector<std::string>& errors = plan.errors;
    CopyRecord& after = plan.after;
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
        const bool webpTaken = (present.thumbs.names.count(webpName) != 0 ||
                                present.thumbs2x.names.count(webpName) != 0) &&
                               ownNames.count(webpName) == 0;
        if (!fitsRecord(name)) {
            copy.notReduced = true;
            errors[i] = translatable("縮小画像の記録に書けない名前です");
            continue;
        }
        if (!pictureStamp(item.path, stamp.pictureBytes, stamp.pictureTime)) {
            copy.failed = true;
            errors[i] = translatable("読み込めません");
            continue;
        }
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
            const bool webpKept =
                made.webp ? present.webpExist(webpName) : webpTaken || !tools.writesWebp();
            const bool upToDate = made.ok && same && made.request == request &&
                                  made.variant == stamp.variant &&
                                  made.animation == stamp.animation && present.allExist(own.file) &&
                                  (!(made.webVideoMade || !made.animation.empty()) ||
                                   present.views.regular.count(own.webVideo) != 0);
            // A video whose copies lack only their WebP thumbnails keeps its web video: the
            // poster is taken again, the transcode is not.
            keepWebVideo = upToDate && video && made.webVideoMade;
            if (upToDate && webpKept) {
                after[name] = made;
                copy.ok = true;
                copy.sizes = made.sizes;
                copy.webp = made.webp;
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
        if ((present.anyTaken(own.file) && ownNames.count(own.file) == 0) ||
            (extra && present.views.names.count(own.webVideo) != 0 &&
             ownNames.count(own.webVideo) == 0)) {
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
        stamp.webp = !webpTaken && tools.writesWebp();
        plan.taskOf[i] = plan.tasks.size();
        ResizeTask task;
        task.picture = i;
        task.name = name;
        task.source = item.path;
        task.names = own;
        task.keepWebVideo = keepWebVideo;
        if (stamp.webp) {
            task.names.thumbWebp = webpName;
        }
        task.stamp = stamp;
        plan.tasks.push_back(std::move(task));
    }
    return plan;
}

} // namespace mivo
