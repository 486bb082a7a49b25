// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/large_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#include <sys/resource.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define QUAVRIX_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUAVRIX_PLAIN_HEAP 1
#endif
#endif

namespace quavrix {

namespace {

// Below this the heap serves better.
constexpr std::size_t MAPPED_FROM = std::size_t{256} << 10;

// The sanitizers watch the heap only; their builds keep the buffers there so
// that a stray index into them is still caught.
#if defined(__linux__) && !defined(QUAVRIX_PLAIN_HEAP)
constexpr bool MAPPED = true;
#else
constexpr bool MAPPED = false;
#endif

bool mapped(std::size_t bytes) {
  return MAPPED && bytes >= MAPPED_FROM;
}

#if defined(__linux__)
// The value of a "Name:   1234 kB" line of a /proc status file, in bytes.
std::uint64_t procKilobytes(const char* file, const std::string& name) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, name.size(), name) != 0) continue;
    std::istringstream fields(line.substr(name.size()));
    std::uint64_t kb = 0;
    if (fields >> kb) return kb * 1024;
  }
  return std::numeric_limits<std::uint64_t>::max();
}

// Room left under the memory.max of the process's own control group (v2).
std::uint64_t cgroupRoom() {
  constexpr std::uint64_t NONE = std::numeric_limits<std::uint64_t>::max();
  std::ifstream self("/proc/self/cgroup");
  std::string line, group;
  while (std::getline(self, line))
    if (line.compare(0, 3, "0::") == 0) group = line.substr(3);
  if (group.empty()) return NONE;
  const std::string base = "/sys/fs/cgroup" + (group == "/" ? std::string() : group);
  std::ifstream maxFile(base + "/memory.max");
  std::ifstream currentFile(base + "/memory.current");
  std::string max;
  std::uint64_t current = 0;
  if (!(maxFile >> max) || max == "max" || !(currentFile >> current)) return NONE;
  const std::uint64_t limit = std::strtoull(max.c_str(), nullptr, 10);
  return limit > current ? limit - current : 0;
}

std::uint64_t rlimitRoom(int resource, const char* usedField) {
  constexpr std::uint64_t NONE = std::numeric_limits<std::uint64_t>::max();
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return NONE;
  const std::uint64_t used = procKilobytes("/proc/self/status", usedField);
  if (used == NONE) return NONE;
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}
#endif

}  // namespace

// Small pages, not huge ones. On a virtual machine that gives free memory
// back to its host, the host soon takes back the huge pages a process frees,
// and the first touch of such a page then costs the host a fault for each of
// its small pages: several milliseconds, where 512 small-page faults cost
// about one. Measured on a five-minute open: 0.15 s in small pages at any
// time, 0.14 s in huge pages run right after another open, 0.3 s after two
// idle seconds. On a machine of its own, the small-page faults of a
// five-minute recording come to a few milliseconds.
void* allocateLargeBuffer(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (!mapped(bytes)) return std::calloc(bytes, 1);
#if defined(__linux__)
  // The system rounds the length up to whole pages, here and when unmapping.
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
#else
  return std::calloc(bytes, 1);
#endif
}

void releaseLargeBuffer(void* memory, std::size_t bytes) {
  if (!memory) return;
  if (bytes == 0) bytes = 1;
  if (!mapped(bytes)) {
    std::free(memory);
    return;
  }
#if defined(__linux__)
  munmap(memory, bytes);
#endif
}

std::uint64_t availableMemoryBytes() {
#if defined(__linux__)
  std::uint64_t room = procKilobytes("/proc/meminfo", "MemAvailable:");
  room = std::min(room, cgroupRoom());
  room = std::min(room, rlimitRoom(RLIMIT_AS, "VmSize:"));
  room = std::min(room, rlimitRoom(RLIMIT_DATA, "VmData:"));
  return room;
#else
  return std::numeric_limits<std::uint64_t>::max();
#endif
}

}  // namespace quavrix
