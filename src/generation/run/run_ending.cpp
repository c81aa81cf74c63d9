#include "generation/run/run_ending.h"

#include <cstddef>

namespace mivo {

namespace {

constexpr std::size_t kNamesShown = 3;

const char* const kFailedHeading = translatable("縮小画像を作成できませんでした");
const char* const kLeftOutHeading = translatable("載せられなかった画像・動画");
const char* const kNotReducedHeading = translatable("縮小画像なしで載せた画像");
const char* const kNotPlacedHeading = translatable("サイトに置けなかった元のファイル");

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

UserText firstNamesOf(const std::vector<NamedItem>& items) {
    std::string names;
    for (std::size_t i = 0; i < items.size() && i < kNamesShown; ++i) {
        names += (i == 0 ? "" : ", ") + fileNameOf(items[i].path);
    }
    if (items.size() <= kNamesShown) {
        return names;
    }
    return userText(translatable("%1 ほか %2 件"),
                    {names, std::to_string(items.size() - kNamesShown)});
}

UserText endingWithItems(const UserText& ending, const ItemNotes& notes) {
    UserText parts;
    const auto add = [&](const char* heading, const std::vector<NamedItem>& items) {
        if (items.empty()) {
            return;
        }
        const UserText part = userText("%1: %2", {userText(heading), firstNamesOf(items)});
        parts = parts.logged.empty() ? part : userText("%1 / %2", {parts, part});
    };
    add(kFailedHeading, notes.failed);
    add(kLeftOutHeading, notes.leftOut);
    add(kNotReducedHeading, notes.notReduced);
    add(kNotPlacedHeading, notes.notPlaced);
    if (parts.logged.empty()) {
        return ending;
    }
    return userText("%1 (%2)", {ending, parts});
}

std::string itemDetails(const ItemNotes& notes) {
    std::string text;
    const auto add = [&](const char* heading, const std::vector<NamedItem>& items) {
        if (items.empty()) {
            return;
        }
        if (!text.empty()) {
            text += "\n";
        }
        text += translate("%1 (%2 件):", {translate(heading), std::to_string(items.size())});
        text += "\n";
        for (const NamedItem& item : items) {
            text += "  " + item.path + ": " + translateReason(item.reason) + "\n";
        }
    };
    add(kFailedHeading, notes.failed);
    add(kLeftOutHeading, notes.leftOut);
    add(kNotReducedHeading, notes.notReduced);
    add(kNotPlacedHeading, notes.notPlaced);
    return text;
}

std::string copyFailureText(const ItemNotes& notes) {
    std::string text =
        translate("縮小画像を作成できません: %1", {translateReason(notes.firstFailure)});
    if (notes.failed.size() > 1) {
        text += translate(" (ほか %1 枚)", {std::to_string(notes.failed.size() - 1)});
    }
    return text;
}

} // namespace mivo
