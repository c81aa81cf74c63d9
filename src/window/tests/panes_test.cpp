// The panes as a whole: every setting a control shows has one row in one pane's table, the
// keyboard reads each pane as the eye does, the extra room of a larger window is shared out
// without overlaps, and the access keys seen together differ.

#include "window_fixture.h"

#include <algorithm>
#include <map>

#include "settings/settings_table.h"

namespace mivo::test {
namespace {

/// How many rows of all the window's tables read a setting back, and how many show it.
struct Bound {
    int read = 0;
    int shown = 0;
};

template <class Owner>
void countRows(std::span<const SettingBinding<Owner>> rows, const Settings& values,
               std::map<const void*, Bound>& counts) {
    for (const SettingBinding<Owner>& row : rows) {
        Bound& bound = counts[row.member(values)];
        ++bound.shown;
        bound.read += row.read != nullptr ? 1 : 0;
    }
}

TEST(SettingBindings, EverySettingOfAControlHasOneRowAndTheGlobalsNone) {
    const Settings values{};
    std::map<const void*, Bound> counts;
    countRows(FormMain::settingBindings(), values, counts);
    countRows(FoldersPane::settingBindings(), values, counts);
    countRows(GalleryListPane::settingBindings(), values, counts);
    countRows(DisplayPane::settingBindings(), values, counts);
    countRows(LaunchersPane::settingBindings(), values, counts);
    countRows(PublishPane::settingBindings(), values, counts);
    // The globals the handlers keep (the paths, the start picture, the folders used lately),
    // the log level and the window's place have no control.
    const auto global = [](const SettingRow& row) {
        const std::string section = row.section;
        return section == "Log" || section == "Path" || section == "Window" || section == "Recent";
    };
    for (const SettingRow& row : settingRows()) {
        const Bound bound = counts[row.address(values)];
        SCOPED_TRACE(std::string(row.section) + "/" + row.key);
        EXPECT_EQ(bound.read, global(row) ? 0 : 1);
        // Only the thumbnail choice is shown twice: both panes' option pairs follow it.
        EXPECT_EQ(bound.shown, global(row) ? 0 : (std::string(row.key) == "TUse" ? 2 : 1));
    }
}

using PanesTest = WindowTest;

/// The leaves of a container in the keyboard's order, by name.
void leaves(const Control& container, std::vector<std::string>& names) {
    for (const Control* child : readingOrder(container)) {
        if (child->children().empty()) {
            names.push_back(child->displayName());
        } else {
            leaves(*child, names);
        }
    }
}

std::ptrdiff_t at(const std::vector<std::string>& names, const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    EXPECT_NE(it, names.end()) << name;
    return it - names.begin();
}

TEST_F(PanesTest, TheKeyboardReadsEachPaneRowByRowFromTheLeft) {
    FormMain& f = form();
    std::vector<std::string> window;
    leaves(f.Window, window);
    // The mode and the launchers, the tabs with the two buttons beside them, the pane, the
    // status line with 作成 and 終了.
    EXPECT_LT(at(window, "OptionMenu(1)"), at(window, "CommandOpen(0)"));
    EXPECT_LT(at(window, "TabStripMivo"), at(window, "CommandOpenFolder"));
    EXPECT_LT(at(window, "CommandOpenFolder"), at(window, "CommandOpenHtml"));
    EXPECT_LT(at(window, "CommandOpenHtml"), at(window, "DirIndex"));
    EXPECT_LT(at(window, "TextBody"), at(window, "CommandMake"));
    EXPECT_LT(at(window, "CommandMake"), at(window, "CommandExit"));

    std::vector<std::string> display;
    leaves(*f.display.FrameDisplay, display);
    // Row by row across both columns: the copies beside the thumbnails before the slide show
    // and the shooting data below them.
    EXPECT_LT(at(display, "TextTitle"), at(display, "TextTitleS"));
    EXPECT_LT(at(display, "TextTitleS"), at(display, "TextAllListWidth"));
    EXPECT_LT(at(display, "CheckMedia"), at(display, "OptionStart(0)"));
    EXPECT_LT(at(display, "CheckReduce"), at(display, "CheckExif"));
    EXPECT_LT(at(display, "CheckSlideShow"), at(display, "TextSlideTime"));
    EXPECT_LT(at(display, "TextSlideTime"), at(display, "CheckExif"));
    EXPECT_LT(at(display, "TextLinkName(0)"), at(display, "TextLinkURL(0)"));
    EXPECT_LT(at(display, "TextLinkURL(2)"), at(display, "TextBody"));

    std::vector<std::string> list;
    leaves(*f.galleryList.FramePathList, list);
    const std::vector<std::string> editor = {
        "ListViewPath",      "LabelListName", "TextListName",    "CommandListAdd",
        "CommandListDelete", "CommandListUP", "CommandListDown", "DirListPic"};
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.begin() + 8), editor);

    std::vector<std::string> etc;
    leaves(*f.launchers.FrameEtc, etc);
    EXPECT_LT(at(etc, "TextOpenName(0)"), at(etc, "TextOpen(0)"));
    EXPECT_LT(at(etc, "CommandOpenPath(3)"), at(etc, "CommandHelp"));
}

/// Every pair of siblings of a frame that lie apart at the design size.
std::vector<std::pair<const Control*, const Control*>> apart(const Control& container) {
    std::vector<std::pair<const Control*, const Control*>> pairs;
    const auto overlap = [](const Twips& a, const Twips& b) {
        return a.Left < b.Left + b.Width && b.Left < a.Left + a.Width && a.Top < b.Top + b.Height &&
               b.Top < a.Top + a.Height;
    };
    const auto& children = container.children();
    for (std::size_t i = 0; i < children.size(); ++i) {
        for (std::size_t k = i + 1; k < children.size(); ++k) {
            if (!overlap(children[i]->geometry(), children[k]->geometry())) {
                pairs.emplace_back(children[i], children[k]);
            }
        }
    }
    return pairs;
}

TEST_F(PanesTest, ExtraRoomIsSharedOutAndKeepsEveryControlApartAndInside) {
    FormMain& f = form();
    // At the design size nothing moves.
    for (const Control* control : f.controls()) {
        const Twips& g = control->geometry();
        const Twips same = grownPlace(g, control->stretch(), 0, 0);
        EXPECT_EQ((std::vector<int>{same.Left, same.Top, same.Width, same.Height}),
                  (std::vector<int>{g.Left, g.Top, g.Width, g.Height}))
            << control->displayName();
    }
    // The window 1920 x 1080 pixels instead of 593 x 629: every frame grows with it, and
    // inside each what lay apart stays apart and within its frame.
    const std::function<void(const Control&, int, int)> check =
        [&](const Control& container, int extraWidth, int extraHeight) {
            const Twips frame = container.geometry();
            for (const auto& [a, b] : apart(container)) {
                const Twips ga = grownPlace(a->geometry(), a->stretch(), extraWidth, extraHeight);
                const Twips gb = grownPlace(b->geometry(), b->stretch(), extraWidth, extraHeight);
                const bool overlap = ga.Left < gb.Left + gb.Width && gb.Left < ga.Left + ga.Width &&
                                     ga.Top < gb.Top + gb.Height && gb.Top < ga.Top + ga.Height;
                EXPECT_FALSE(overlap) << a->displayName() << " and " << b->displayName();
            }
            for (const Control* child : container.children()) {
                const Twips g =
                    grownPlace(child->geometry(), child->stretch(), extraWidth, extraHeight);
                if (&container != &f.Window) {
                    EXPECT_LE(g.Left + g.Width, frame.Width + extraWidth) << child->displayName();
                    EXPECT_LE(g.Top + g.Height, frame.Height + extraHeight) << child->displayName();
                }
                if (!child->children().empty()) {
                    check(*child, g.Width - child->geometry().Width,
                          g.Height - child->geometry().Height);
                }
            }
        };
    check(f.Window, (1920 - 593) * 15, (1080 - 629) * 15);
    // The lists and the text boxes are what takes the room.
    for (const Control* grows : {static_cast<const Control*>(f.folders.DirPic),
                                 static_cast<const Control*>(f.folders.DirIndex),
                                 static_cast<const Control*>(f.galleryList.ListViewPath),
                                 static_cast<const Control*>(f.display.TextTitle),
                                 static_cast<const Control*>(f.display.TextBody),
                                 static_cast<const Control*>(f.launchers.TextOpen[0])}) {
        EXPECT_GT(grows->stretch().Width, 0) << grows->displayName();
    }
}

TEST_F(PanesTest, AccessKeysSeenTogetherDiffer) {
    FormMain& f = form();
    std::vector<char> window;
    for (const Control* control : f.controls()) {
        if (control->parent() == &f.Window && control->accessKey() != 0) {
            window.push_back(control->accessKey());
        }
    }
    for (const Tab& tab : f.TabStripMivo->tabs()) {
        EXPECT_NE(tab.AccessKey, 0) << tab.Key;
        window.push_back(tab.AccessKey);
    }
    const std::vector<std::pair<const char*, const ControlOwner*>> panes = {
        {"folders", &f.folders},
        {"gallery list", &f.galleryList},
        {"display", &f.display},
        {"launchers", &f.launchers},
        {"publish", &f.server}};
    for (const auto& [name, pane] : panes) {
        std::vector<char> seen = window;
        for (const Control* control : pane->controls()) {
            if (control->parent() != &f.Window && control->accessKey() != 0) {
                seen.push_back(control->accessKey());
            }
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end())
            << "a key twice with the " << name << " pane";
        EXPECT_GT(seen.size(), window.size() + 2) << name;
    }
    EXPECT_EQ(f.CommandMake->accessKey(), 'M');
}

} // namespace
} // namespace mivo::test
