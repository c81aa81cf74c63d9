#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/translate.h"
#include "window/controls.h"

namespace mivo {

/// What owns controls of the main window (the form's own row of controls, or a pane): the
/// controls in creation order, containers before what they hold.
class ControlOwner {
  public:
    ControlOwner() = default;
    ControlOwner(const ControlOwner&) = delete;
    ControlOwner& operator=(const ControlOwner&) = delete;
    ControlOwner(ControlOwner&&) = delete;
    ControlOwner& operator=(ControlOwner&&) = delete;
    ~ControlOwner() = default;

    const std::vector<Control*>& controls() const { return order_; }

  protected:
    template <class T, class... Args> T* make(Args&&... args) {
        auto control = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = control.get();
        owned_.push_back(std::move(control));
        order_.push_back(raw);
        return raw;
    }

  private:
    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> order_;
};

/// Gives a control its design place (twips), how it grows with its container, its caption
/// and its tool-tip.
inline void place(Control* control, Twips geometry, Stretch stretch = {},
                  const std::string& caption = {}, const std::string& toolTip = {}) {
    control->setGeometry(geometry);
    control->setStretch(stretch);
    control->setCaption(caption);
    control->setToolTipText(toolTip);
}

/// Where every pane lies: on top of each other inside the tab strip, growing with it.
inline constexpr Twips kPaneArea{240, 720, 8415, 7695};
inline constexpr Stretch kGrowWhole{0, 100, 0, 100};
/// Across the whole width of the container (a text box, a frame of one column).
inline constexpr Stretch kGrowWide{0, 100, 0, 0};
/// Kept at the right-hand edge (a button beside a box that grows).
inline constexpr Stretch kKeepRight{100, 0, 0, 0};

} // namespace mivo

namespace mivo {

// Captions shared by the panes: the thumbnail choice appears in three of them.
inline constexpr const char* kOriginalPictures = translatable("オリジナル画像を利用する");
inline constexpr const char* kThumbnailPictures = translatable("サムネイル画像を利用する");
inline constexpr const char* kOriginalPicturesTip =
    translatable("元の画像を縮小表示して、サムネイルの一覧に使う");
inline constexpr const char* kThumbnailPicturesTip = translatable(
    "別に用意したサムネイル画像のフォルダを使う (画像と同じ名前のファイルがすべて必要)");
/// The tool-tip of a page folder's path field: a folder that is not there yet is fine.
inline constexpr const char* kFolderToMakeTip =
    translatable("まだないフォルダも指定できます (「作成」のときに作られます)");

} // namespace mivo
