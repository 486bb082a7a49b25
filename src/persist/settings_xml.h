#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The tree of a settings file: building it from the record and reading the
// record back from it. No file access here; settings_file.h does that.

#include <cstdint>
#include <string_view>

#include "persist/settings.h"

namespace tinyxml2 {
class XMLDocument;
}

namespace quavrix {

// Fills an empty document with the declaration, the root, its comment and
// every group, in file order, from the record's values.
void buildSettingsDocument(const Settings& settings, tinyxml2::XMLDocument& doc);

// Copies every value the document holds into the record and sets `loaded`.
// The root may have any name; groups and values that are missing leave the
// record as it was, except where an attribute stands for 0 when absent.
void readSettingsDocument(Settings& settings, const tinyxml2::XMLDocument& doc);

// Number of characters of a value text that are looked at.
inline constexpr std::size_t SETTING_NUMBER_CHARS = 15;

// Reads a value text the forgiving way hand-edited files need: optional
// blanks, an optional sign and the leading decimal digits of the first
// SETTING_NUMBER_CHARS characters; "12abc" is 12, no digits is 0. Values out of
// the 32-bit range are clamped.
std::int32_t parseSettingNumber(std::string_view text);

}  // namespace quavrix
