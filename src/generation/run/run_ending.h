#pragma once

#include <string>
#include <vector>

#include "common/translate.h"
#include "generation/plan/album_result.h"

namespace mivo {

/// The first three names (without their folders) of `items`, and how many more: "a.png, b.mov,
/// c.heic ほか 2 件".
UserText firstNamesOf(const std::vector<NamedItem>& items);

/// The status line at the end of a run: `ending` ("完了しました", "作成に失敗しました") and, in
/// brackets, the items the run could not make copies of, left out, or showed from their
/// originals, each kind by its first names: "完了しました (載せられなかった画像・動画: a.png)".
UserText endingWithItems(const UserText& ending, const ItemNotes& notes);

/// Every item the run names, with its path and why, under a heading per kind, in the user's
/// language: for the window's box and mivo-make's error output. "" when there is none.
std::string itemDetails(const ItemNotes& notes);

/// The run's failure for copies that could not be made: the first picture and why, and how many
/// more there were. Shown only, in the user's language.
std::string copyFailureText(const ItemNotes& notes);

} // namespace mivo
