#include "generation/copies/copy_plan.h"

#include <sys/stat.h>

#include <cstdint>

#include "common/paths.h"
#include "common/translate.h"

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

ItemCopyNames nameCopies(const PictureList& pictures, const MediaTools& tools) {
    std::vector<std::string> itemNames;
    itemNames.reserve(pictures.size());
    for (const ClassFileData& picture : pictures) {
        itemNames.push_back(picture.strName);
    }
    ItemCopyNames out;
    out.variants = copyVariants(itemNames);
    out.names.resize(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const bool video = itemKindOf(itemNames[i], tools.media) == ItemKind::Video;
        out.names[i] = copyNamesOf(itemNames[i], video, out.variants[i]);
        out.assigned.insert(out.names[i].file);
        if (video) {
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
}

CopyPlan planCopies(const std::string& picFolder, const PictureList& pictures,
                    const ItemCopyNames& names, const CopyRecord& before,
                    const std::set<std::string>& ownNames, const FolderContents& present,
                    const ResizeRequest& request, const MediaTools& tools,
                    std::vector<WebCopy>& copies) {
    CopyPlan plan;
    plan.taskOf.assign(pictures.size(), SIZE_MAX);
    plan.errors.resize(pictures.size());
    plan.unreadable.assign(pictures.size(), false);
    std::vector<std::string>& errors = plan.errors;
    CopyRecord& after = plan.after;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string& name = pictures[i].strName;
        const CopyNames& own = names.names[i];
        copies[i].fileName = own.file;
        const ItemKind kind = itemKindOf(name, tools.media);
        copies[i].kind = kind == ItemKind::None ? ItemKind::Picture : kind;
        const bool video = kind == ItemKind::Video;
        MadeCopies stamp;
        stamp.request = request;
        stamp.video = video;
        stamp.variant = names.variants[i];
        if (!fitsRecord(name)) {
            copies[i].notReduced = true;
            errors[i] = translatable("縮小画像の記録に書けない名前です");
            continue;
        }
        // Paths are put together only for the pictures that need work: a run with nothing
        // changed is mostly this loop.
        const std::string source = cmAddPath(picFolder, name, kPathSeparator);
        if (!pictureStamp(source, stamp.pictureBytes, stamp.pictureTime)) {
            copies[i].failed = true;
            errors[i] = translatable("読み込めません");
            continue;
        }
        const auto known = before.find(name);
        if (known != before.end()) {
            const MadeCopies& made = known->second;
            const bool same = made.pictureBytes == stamp.pictureBytes &&
                              made.pictureTime == stamp.pictureTime && made.video == video;
            if (made.ok && same && made.request == request && made.variant == stamp.variant &&
                present.allExist(own.file) &&
                (!made.webVideoMade || present.views.regular.count(own.webVideo) != 0)) {
                after[name] = made;
                copies[i].ok = true;
                copies[i].sizes = made.sizes;
                if (video) {
                    takeVideoFacts(name, made, copies[i]);
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
            (video && present.views.names.count(own.webVideo) != 0 &&
             ownNames.count(own.webVideo) == 0)) {
            copies[i].notReduced = true;
            errors[i] = translatable("縮小画像の名前のファイルが既にあります (Mivo が作ったもので"
                                     "はありません)");
            continue;
        }
        const std::string missing = tools.missingFor(kind, name);
        if (!missing.empty()) {
            copies[i].missing = missing;
            errors[i] = std::string(translatable("必要なプログラムがありません")) + ": " + missing;
            continue;
        }
        plan.taskOf[i] = plan.tasks.size();
        ResizeTask task;
        task.picture = i;
        task.name = name;
        task.source = source;
        task.names = own;
        task.stamp = stamp;
        plan.tasks.push_back(std::move(task));
    }
    return plan;
}

} // namespace mivo
