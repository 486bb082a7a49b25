#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The progress lines of opening a recording: they go on to another stream
// (standard output) and the latest stage is kept for the window to show while
// the reading runs on another thread.

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace quavrix {

class ProgressLog final : public std::streambuf {
 public:
  explicit ProgressLog(std::ostream& forward);
  std::ostream& stream() { return stream_; }
  // The text of the line being written, or of the last one when none is.
  std::string stage() const;

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void put(char c);

  std::ostream& forward_;
  std::ostream stream_;
  mutable std::mutex mutex_;
  std::string current_;
  std::string last_;
};

}  // namespace quavrix
