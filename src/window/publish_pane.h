#pragma once

#include <array>
#include <span>
#include <string>

#include "window/pane.h"
#include "window/setting_binding.h"

namespace mivo {

class FormMain;

/// The 公開先 tab (FramePublish): where 公開 sends the site ([Publish] of Mivo.ini) and what
/// of the originals the site holds. Logins are the user's SSH keys and agent or rclone's own
/// configuration: no control here takes a password.
class PublishPane : public ControlOwner {
  public:
    explicit PublishPane(FormMain& form);

    /// Enables the boxes of the transport chosen.
    void OptionTransport_Click(int index);

    /// The settings its controls show.
    static std::span<const SettingBinding<PublishPane>> settingBindings();

    Frame* FramePublish = nullptr;
    Frame* FrameServer = nullptr;
    /// [Publish] Transport: rsync over SSH, rclone (kTransportWords).
    std::array<OptionButton*, 2> OptionTransport{};
    Label* LabelHost = nullptr;
    TextBox* TextHost = nullptr;
    Label* LabelUser = nullptr;
    TextBox* TextUser = nullptr;
    Label* LabelPort = nullptr;
    TextBox* TextPort = nullptr;
    Label* LabelFolder = nullptr;
    TextBox* TextFolder = nullptr;
    Label* LabelSshConfig = nullptr;
    TextBox* TextSshConfig = nullptr;
    Label* LabelRcloneRemote = nullptr;
    TextBox* TextRcloneRemote = nullptr;
    Label* LabelRclonePath = nullptr;
    TextBox* TextRclonePath = nullptr;
    Label* LabelAddress = nullptr;
    TextBox* TextAddress = nullptr;
    Frame* FrameOriginals = nullptr;
    /// [Publish] Originals: linked where they are, placed in the site, not published.
    std::array<OptionButton*, 3> OptionOriginals{};
    Label* LabelKeyInfo = nullptr;

  private:
    OptionGroup groupTransport_;
    OptionGroup groupOriginals_;
};

/// The words of [Publish] Transport, in the order of the pane's options.
inline constexpr std::array<const char*, 2> kTransportWords{"rsync", "rclone"};

} // namespace mivo
