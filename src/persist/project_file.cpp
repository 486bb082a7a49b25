// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/project_file.h"

#include <fstream>

#include "base/atomic_file.h"
#include "base/prompter.h"
#include "persist/dat_codec.h"

namespace quavrix {

namespace {
constexpr std::size_t RECENT_LINE_CHARS = 259;
}  // namespace

int writeProject(const NoteStore& notes, const std::string& path, Prompter& prompter) {
  if (!writeScoreFile(notes, path)) {
    prompter.error("SAVE Dat\n ERROR : .dat fopen");
    return -1;
  }
  return 0;
}

int readProject(NoteStore& notes, const std::string& path, std::string* reason) {
  return readScoreFile(notes, path, reason);
}

bool writeRecentListFile(const std::string& listPath, const std::string& recordingPath,
                         const std::string& projectPath) {
  const std::string text = recordingPath + "\n" + projectPath + "\n";
  return writeFileAtomically(listPath, text.data(), text.size());
}

int writeRecentList(const std::string& listPath, const std::string& recordingPath,
                    const std::string& projectPath, Prompter& prompter) {
  if (!writeRecentListFile(listPath, recordingPath, projectPath)) {
    prompter.error(RECENT_LIST_NOT_WRITTEN);
    return -1;
  }
  return 0;
}

bool readRecentList(const std::string& listPath, std::string& recordingPath,
                    std::string& projectPath) {
  std::ifstream in(listPath, std::ios::binary);
  if (!in) return false;
  std::string first;
  std::string second;
  std::getline(in, first);
  std::getline(in, second);
  for (std::string* line : {&first, &second}) {
    if (!line->empty() && line->back() == '\r') line->pop_back();
  }
  if (first.size() > RECENT_LINE_CHARS) first.resize(RECENT_LINE_CHARS);
  if (second.size() > RECENT_LINE_CHARS) second.resize(RECENT_LINE_CHARS);
  recordingPath = first;
  projectPath = second;
  return true;
}

}  // namespace quavrix
