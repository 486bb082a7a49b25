// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/prompter.h"

namespace quavrix {

const char* iconName(Icon icon) {
  switch (icon) {
    case Icon::Error:
      return "error";
    case Icon::Warning:
      return "warning";
    case Icon::Information:
      return "information";
    case Icon::Question:
      return "question";
  }
  return "?";
}

}  // namespace quavrix
