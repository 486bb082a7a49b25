#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The number edits of the settings dialogs: the text is checked on every
// change, out-of-range numbers are replaced by the nearest limit, and what a
// person is still typing (an empty edit, a lone minus) is left alone.

#include <optional>

class QLineEdit;
class QString;

namespace quavrix {

// What an edit's text says as a decimal integer: optional blanks, an optional
// sign and the leading digits, like the C library reads it; no digits read 0.
struct NumberText {
  int value = 0;
  // Empty or a lone sign: the person has not typed a number yet.
  bool unfinished = false;
  // Exactly a number, nothing before or after it.
  bool exact = false;
};
NumberText readNumberText(const QString& text);

// The common check: the accepted value, with the edit's text replaced when it
// was out of range or not a number. Nothing while the text is unfinished.
std::optional<int> checkNumberEdit(QLineEdit& edit, int minimum, int maximum);

}  // namespace quavrix
