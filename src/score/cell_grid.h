#pragma once

namespace quavrix {

// Filled in as this part of the program is built.
struct CellGrid {};

}  // namespace quavrix
