#pragma once
// The settings that have a control in the preferences dialog. The dialog edits a copy of the record and,
// once every entry has passed, copies exactly these keys back, so settings the dialog does not show
// (the page builder's current output directory, page colours, ...) can never be overwritten by it.

#include "core/settings/AppConfig.h"

#include <array>
#include <string_view>

namespace marquelo {

// Keys edited by the dialog, in the order of the key table.
extern const std::array<std::string_view, 73> kPreferenceKeys;

// Whether key has a control in the preferences dialog.
bool isPreferenceKey(std::string_view key);

// Copies every preference key from `from` into `to`; all other fields of `to` stay as they are.
void copyPreferenceKeys(const AppConfig& from, AppConfig& to);

} // namespace marquelo
