// The settings table's rows and the controls that show them: a row's value into its control,
// and a control's value back into the row.

#include "common/language.h"
#include "common/overloaded.h"
#include "common/text.h"
#include "window/form_main.h"

namespace mivo {

namespace {

/// The option of a text kept as one of a few words ([Ini] Language); an unknown word is the
/// first option.
int wordIndex(const std::string& word) {
    for (std::size_t i = 0; i < kLanguageSettings.size(); ++i) {
        if (word == kLanguageSettings[i]) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

} // namespace

void FormMain::applySettingRow(const SettingRow& row, const Settings& values) {
    Settings copy = values;
    const SettingSlot slot = row.in(copy);
    if (const auto* word = std::get_if<std::string*>(&slot); word != nullptr) {
        // A word shown by an option array: choose the option of that word.
        if (auto* button =
                dynamic_cast<OptionButton*>(findControl(row.control, wordIndex(**word)))) {
            button->select();
            return;
        }
    }
    if (const auto* option = std::get_if<int*>(&slot); option != nullptr) {
        // An option pair: choose the option of that index (and its mirror pair's).
        if (auto* button = dynamic_cast<OptionButton*>(findControl(row.control, **option))) {
            button->select();
        }
        if (row.mirror != nullptr) {
            if (auto* mirror = dynamic_cast<OptionButton*>(findControl(row.mirror, **option))) {
                mirror->select();
            }
        }
        return;
    }
    Control* control = findControl(row.control, row.index);
    if (auto* box = dynamic_cast<CheckBox*>(control)) {
        // The load sets the value and then runs the box's click handler itself.
        box->setValue(row.storedText(copy) == "1" ? 1 : 0);
        if (box->onClick) {
            box->onClick();
        }
    } else if (auto* text = dynamic_cast<TextBox*>(control)) {
        text->setText(row.storedText(copy));
    }
}

void FormMain::readSettingRow(const SettingRow& row, Settings& values) const {
    const SettingSlot slot = row.in(values);
    std::visit(
        Overloaded{
            [&](int* option) {
                if (auto* button = dynamic_cast<const OptionButton*>(findControl(row.control, 0))) {
                    const int chosen = button->group().selectedIndex();
                    if (chosen >= 0) {
                        *option = chosen;
                    }
                }
            },
            [&](bool* flag) {
                if (auto* box =
                        dynamic_cast<const CheckBox*>(findControl(row.control, row.index))) {
                    *flag = box->value() == 1;
                }
            },
            [&](std::string* text) {
                if (auto* box = dynamic_cast<const TextBox*>(findControl(row.control, row.index))) {
                    *text = box->text();
                } else if (auto* button =
                               dynamic_cast<const OptionButton*>(findControl(row.control, 0))) {
                    const int chosen = button->group().selectedIndex();
                    // An unknown word stays as it was until another option is chosen.
                    if (chosen >= 0 && chosen != wordIndex(*text)) {
                        *text = kLanguageSettings[static_cast<std::size_t>(chosen)];
                    }
                }
            },
            [&](long long*) {
                // A box that holds no whole number where one belongs keeps the value.
                if (auto* box = dynamic_cast<const TextBox*>(findControl(row.control, row.index))) {
                    row.parse(box->text(), values);
                }
            },
        },
        slot);
}

} // namespace mivo
