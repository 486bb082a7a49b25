// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shared_library.h"

#include <dlfcn.h>

namespace quavrix {

namespace {

std::string lastError(const char* fallback) {
  const char* text = dlerror();
  return text ? text : fallback;
}

}  // namespace

SharedLibrary::SharedLibrary(const char* fileName) {
  handle_ = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) error_ = lastError("cannot load library");
}

SharedLibrary::~SharedLibrary() {
  if (handle_) dlclose(handle_);
}

void* SharedLibrary::lookUp(const char* name) {
  if (!handle_) return nullptr;
  dlerror();
  void* symbol = dlsym(handle_, name);
  if (!symbol) error_ = lastError("missing function");
  return symbol;
}

}  // namespace quavrix
