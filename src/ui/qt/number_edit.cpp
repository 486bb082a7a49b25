// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/number_edit.h"

#include <QLineEdit>
#include <algorithm>
#include <climits>

namespace quavrix {

NumberText readNumberText(const QString& text) {
  NumberText read;
  const QString t = text.trimmed();
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  if (i == t.size()) {
    read.unfinished = true;
    return read;
  }
  long long value = 0;
  const qsizetype digitsFrom = i;
  while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
    // Saturates instead of overflowing: any limit is far below.
    value = std::min<long long>(value * 10 + (t[i].unicode() - '0'), INT_MAX);
    ++i;
  }
  read.value = static_cast<int>(negative ? -value : value);
  read.exact = i > digitsFrom && i == t.size() && t.size() == text.size();
  return read;
}

std::optional<int> checkNumberEdit(QLineEdit& edit, int minimum, int maximum) {
  const NumberText read = readNumberText(edit.text());
  if (read.unfinished) return std::nullopt;
  const int accepted = std::clamp(read.value, minimum, maximum);
  // The edit shows the value accepted; a number in range is left as typed.
  if (accepted != read.value || !read.exact) edit.setText(QString::number(accepted));
  return accepted;
}

}  // namespace quavrix
