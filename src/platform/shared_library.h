#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Libraries loaded when first needed instead of at start-up. The sound card
// and the decoders of compressed recordings pull in a dozen libraries; bound
// at start-up they cost every run of the command-line tool a few
// milliseconds, most runs of which never play or decode a thing.

#include <string>

namespace quavrix {

class SharedLibrary {
 public:
  // Loads the library of that file name (a soname such as "libfoo.so.1").
  explicit SharedLibrary(const char* fileName);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // Why loading or the last lookup failed, for people.
  const std::string& error() const { return error_; }

  // Sets `function` to the library's function of that name; false, with
  // error() saying so, when the library lacks it.
  template <class Function>
  bool find(Function*& function, const char* name) {
    function = reinterpret_cast<Function*>(lookUp(name));
    return function != nullptr;
  }

 private:
  void* lookUp(const char* name);

  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace quavrix
