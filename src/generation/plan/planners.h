#pragma once

#include <vector>

#include "common/translate.h"
#include "generation/plan/album.h"

namespace mivo {

// The planners are the only generation code that reads the settings and the gallery list:
// what they make of them is all the run and its pages see.
struct Settings;
struct GalleryEntry;

// Why the settings make no run. Each is logged in Japanese and shown in the user's language.
inline constexpr const char* kMessNoFolder = translatable("フォルダの指定がありません");
inline constexpr const char* kMessNoPicPath = translatable("画像フォルダの指定がありません");
inline constexpr const char* kMessNoIndexPath = translatable("Indexファイルの指定がありません");
inline constexpr const char* kMessNoMenuPath = translatable("メニューファイルの指定がありません");

/// A planner: makes a run's album tree from the settings (and the gallery list's rows), with
/// the run's top page, into `plan`, whose `pages` planRun has filled already; or sets
/// `plan.refusal` when the settings make no run. A new way to make albums is one more planner:
/// the run walks whatever tree it makes.
using Planner = void (*)(const Settings& settings, const std::vector<GalleryEntry>& rows,
                         RunPlan& plan);

/// 単体で作成する: one album, the picture folder, whose index page is the top page; no
/// children.
/// What a single folder and a folder tree share: the top page (the index page), its refusals
/// and the root album's place, name, links and start picture. false (with plan.refusal) when
/// the settings make no run.
bool planTopAlbum(const Settings& settings, RunPlan& plan);

void planSingleFolder(const Settings& settings, const std::vector<GalleryEntry>& rows,
                      RunPlan& plan);

/// メニューから作成する: a root whose children are the gallery list's rows, in order, each in
/// its numbered folder ("001", ...) below the menu page with the previous and next rows as
/// links 1 and 2; the root shows no folder of its own, and its index of its children is the
/// menu page, the top page.
void planGalleryList(const Settings& settings, const std::vector<GalleryEntry>& rows,
                     RunPlan& plan);

/// フォルダツリーから作成する: the picture folder is the root, and every folder below it that
/// holds pictures or videos, or folders that do, is an album in a folder of the same (safe)
/// name below its parent's pages, in natural order. Hidden folders, the page folder and the
/// copy folders are not albums; a folder met twice through links is made once, and a link out
/// of the picture folder is not followed (named at the run's end, as is a folder that cannot
/// be read). An album without items of its own is its index of its children.
/// Previous and next albums among the children of `album`, all the way down, in their order;
/// each album's share of the bar (`shares` in all) in the order the run makes them (its
/// children before it). The folder tree's planner links its albums so, and a run that orders
/// them by date again.
void linkFolderTree(Album& album, int shares, int& made);

void planFolderTree(const Settings& settings, const std::vector<GalleryEntry>& rows, RunPlan& plan);

/// The run made from the settings: what every page prints, then the tree of the chosen mode.
RunPlan planRun(const Settings& settings, const std::vector<GalleryEntry>& rows);

} // namespace mivo
