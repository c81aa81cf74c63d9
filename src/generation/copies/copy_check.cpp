#include "generation/copies/copy_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "generation/copies/copy_folders.h"
#include "generation/copies/media_tools.h"
#include "generation/pictures/moving_picture.h"

namespace mivo {

PictureList copyCheckItems(const PictureList& items) {
    PictureList out;
    out.reserve(items.size());
    for (const Item& item : items) {
        Item copy;
        copy.file.strName = item.name();
        copy.kind = item.kind;
        copy.path = item.path;
        copy.moves = item.moves;
        copy.bytes = item.bytes;
        out.add(std::move(copy));
    }
    return out;
}

bool sameItems(const PictureList& copy, const PictureList& items) {
    if (copy.size() != items.size()) {
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& read = copy[i];
        const Item& item = items[i];
        if (read.name() != item.name() || read.path != item.path || read.kind != item.kind ||
            read.moves != item.moves || read.bytes != item.bytes) {
            return false;
        }
    }
    return true;
}

CopyCheck readCopyCheck(const std::string& pageFolder, std::shared_ptr<const PictureList> items) {
    CopyCheck check;
    check.items = std::move(items);
    // Only an animation copy's name depends on the tools: none is wanted, whatever they are,
    // when no item is a big moving picture.
    check.ready = std::none_of(check.items->begin(), check.items->end(), [](const Item& item) {
        return item.moves && item.bytes > kSmallMovingPicture;
    });
    if (!check.ready) {
        return check;
    }
    const std::string thumbs = pageFolder + "/" + kThumbFolder;
    const int fd = ::open(thumbs.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        check.record = readRecordAt(fd);
        ::close(fd);
    }
    check.names = nameCopies(*check.items, MediaTools{});
    check.stamps = stampPictures(*check.items);
    return check;
}

bool copyCheckHolds(const CopyCheck& check, const PictureList& items, const CopyFolder& thumbs) {
    return check.ready && check.items && sameItems(*check.items, items) &&
           recordFileAt(thumbs.fd()) == check.record.file;
}

} // namespace mivo
