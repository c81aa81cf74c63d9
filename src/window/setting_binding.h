#pragma once

// Settings bound to the controls that show them: each pane has a table whose rows pair a
// member of Settings with a member of the pane (a control, or a control array and an index).
// The start-up shows a row's value in its control; the save reads it back. Nothing is looked
// up by name and no control is cast: the row's types say how a value is shown and read.

#include <array>
#include <cstddef>
#include <string>

#include "settings/settings.h"
#include "window/controls.h"

namespace mivo {

/// When start-up shows a setting in its control: as mainGetIni reads it (before its log
/// line), or at a step of mainSetStartIni (the mode, the texts, the links, the launchers).
enum class ShownAt { Loading, Mode, Texts, Links, Launchers };

/// One row of a pane's table: a setting and the control of pane `P` that shows it.
template <class P> struct SettingBinding {
    ShownAt shownAt;
    /// The setting's member in `values`, to find the row mainGetIni has just read.
    const void* (*member)(const Settings& values);
    /// Shows the value in the control, and runs what the load runs after it.
    void (*show)(P& pane, const Settings& values);
    /// Reads the control's value into `values`; nullptr for a control that only mirrors
    /// another one (the thumbnail options of the display pane).
    void (*read)(const P& pane, Settings& values);
};

namespace binding {

template <class M> struct MemberOf;
template <class C, class T> struct MemberOf<T C::*> { using Owner = C; };

/// The member itself, or its element `Index` when it is an array.
template <int Index, class T> constexpr auto& element(T& value) {
    if constexpr (Index < 0) {
        return value;
    } else {
        return value[static_cast<std::size_t>(Index)];
    }
}

void show(TextBox* box, const std::string& value);
void show(TextBox* box, long long value);
/// Sets the box's value, then runs its click handler, as the load does.
void show(CheckBox* box, bool value);
/// An option index of two choices shown by a box: ticked is 1.
void show(CheckBox* box, int value);
void read(const TextBox* box, std::string& value, Settings& values);
/// A box that holds no whole number where one belongs (or one out of the setting's range)
/// keeps the value.
void read(const TextBox* box, long long& value, Settings& values);
void read(const CheckBox* box, bool& value, Settings& values);
void read(const CheckBox* box, int& value, Settings& values);

/// An option array shows the index of its chosen option.
template <std::size_t N> void show(const std::array<OptionButton*, N>& options, int value) {
    if (value >= 0 && static_cast<std::size_t>(value) < N) {
        options[static_cast<std::size_t>(value)]->select();
    }
}
template <std::size_t N>
void read(const std::array<OptionButton*, N>& options, int& value, Settings& /*values*/) {
    const int chosen = options[0]->group().selectedIndex();
    if (chosen >= 0) {
        value = chosen;
    }
}

/// The option of a word (an unknown word: the first option).
template <std::size_t N>
int wordIndex(const std::string& word, const std::array<const char*, N>& words) {
    for (std::size_t i = 0; i < N; ++i) {
        if (word == words[i]) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

} // namespace binding

/// A table row: `Setting` (a member of Settings) shown by `Control` (a member of the pane),
/// both taken at `Index` when they are arrays.
template <auto Setting, auto Control, int Index = -1>
constexpr auto bind(ShownAt shownAt)
    -> SettingBinding<typename binding::MemberOf<decltype(Control)>::Owner> {
    using Pane = typename binding::MemberOf<decltype(Control)>::Owner;
    return {shownAt,
            [](const Settings& values) -> const void* {
                return &binding::element<Index>(values.*Setting);
            },
            [](Pane& pane, const Settings& values) {
                binding::show(binding::element<Index>(pane.*Control),
                              binding::element<Index>(values.*Setting));
            },
            [](const Pane& pane, Settings& values) {
                binding::read(binding::element<Index>(pane.*Control),
                              binding::element<Index>(values.*Setting), values);
            }};
}

/// A row whose control only follows the setting: shown at start-up, never read back.
template <auto Setting, auto Control>
constexpr auto mirror(ShownAt shownAt)
    -> SettingBinding<typename binding::MemberOf<decltype(Control)>::Owner> {
    auto row = bind<Setting, Control>(shownAt);
    row.read = nullptr;
    return row;
}

/// A row for a setting kept as one of a few words (`Words`), shown by an option array.
template <auto Setting, auto Control, const auto& Words>
constexpr auto bindWord(ShownAt shownAt)
    -> SettingBinding<typename binding::MemberOf<decltype(Control)>::Owner> {
    using Pane = typename binding::MemberOf<decltype(Control)>::Owner;
    return {shownAt, [](const Settings& values) -> const void* { return &(values.*Setting); },
            [](Pane& pane, const Settings& values) {
                binding::show(pane.*Control, binding::wordIndex(values.*Setting, Words));
            },
            [](const Pane& pane, Settings& values) {
                const int chosen = (pane.*Control)[0]->group().selectedIndex();
                // An unknown word stays as it was until another option is chosen.
                if (chosen >= 0 && chosen != binding::wordIndex(values.*Setting, Words)) {
                    values.*Setting = Words[static_cast<std::size_t>(chosen)];
                }
            }};
}

} // namespace mivo
