// How a setting's value is shown in a control and read back from it.

#include "window/setting_binding.h"

#include <variant>

#include "settings/settings_table.h"

namespace mivo::binding {

void show(TextBox* box, const std::string& value) {
    box->setText(value);
}

void show(TextBox* box, long long value) {
    box->setText(std::to_string(value));
}

void show(CheckBox* box, bool value) {
    box->setValue(value ? 1 : 0);
    if (box->onClick) {
        box->onClick();
    }
}

void read(const TextBox* box, std::string& value, Settings& /*values*/) {
    value = box->text();
}

void read(const TextBox* box, long long& value, Settings& values) {
    // The row knows the range the number must lie in.
    if (const SettingRow* row = findSettingRow(values, &value)) {
        row->parse(box->text(), values);
    }
}

void read(const CheckBox* box, bool& value, Settings& /*values*/) {
    value = box->value() == 1;
}

void show(CheckBox* box, int value) {
    show(box, value == 1);
}

void read(const CheckBox* box, int& value, Settings& /*values*/) {
    value = box->value() == 1 ? 1 : 0;
}

} // namespace mivo::binding
