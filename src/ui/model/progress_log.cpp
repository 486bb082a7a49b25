// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/progress_log.h"

namespace quavrix {

namespace {

std::string trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(" \t*");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t*");
  return s.substr(b, e - b + 1);
}

}  // namespace

ProgressLog::ProgressLog(std::ostream& forward) : forward_(forward), stream_(this) {}

std::string ProgressLog::stage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string now = trimmed(current_);
  return now.empty() ? last_ : now;
}

void ProgressLog::put(char c) {
  if (c == '\n') {
    const std::string line = trimmed(current_);
    if (!line.empty()) last_ = line;
    current_.clear();
  } else {
    current_ += c;
  }
}

int ProgressLog::overflow(int c) {
  if (c == traits_type::eof()) return 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    put(static_cast<char>(c));
  }
  forward_.put(static_cast<char>(c));
  return c;
}

std::streamsize ProgressLog::xsputn(const char* s, std::streamsize n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::streamsize i = 0; i < n; ++i) put(s[i]);
  }
  forward_.write(s, n);
  return n;
}

int ProgressLog::sync() {
  forward_.flush();
  return 0;
}

}  // namespace quavrix
