#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading whole files, with the reason of a failure in words a person can act
// on: the system's reason, or that the file is too large for what it claims
// to be. A folder or a device that fails on read is refused, never thrown on.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quavrix {

// Reads the file at `path` into `bytes`. A file larger than `maxBytes` is
// refused without reading more than maxBytes + 1 bytes of it. False with
// `reason` set (and `bytes` unspecified) when it cannot be read.
bool readWholeFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string& reason);

// The system's words for an error number (an errno value); a generic phrase
// for 0, which some failures leave behind.
std::string systemReason(int error);

// "larger than 1 MB" (or "... than N bytes" for a limit that is no whole
// number of megabytes).
std::string tooLargeReason(std::size_t maxBytes);

}  // namespace quavrix
