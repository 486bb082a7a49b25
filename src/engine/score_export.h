#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// "Export score (MusicXML)...": the notes of the tracks chosen for output,
// between the START and END markers (else over the whole grid), written as
// a score. The window, the CLI and the tests call the same commands.

#include <string>

#include "persist/musicxml_writer.h"

namespace quavrix {

struct Engine;

// Title, part names and General MIDI programs of the open project.
ScoreHeader scoreHeader(const Engine& engine);

// Writes the score to `path`. Returns a ScoreExportResult; after a failed
// write `failure`, when given, holds the system's reason.
int exportScoreTo(Engine& engine, const std::string& path, std::string* failure = nullptr);

// Asks for the file with a save dialog, then exportScoreTo. Returns
// SCORE_EXPORT_CANCELLED when the person cancelled.
inline constexpr int SCORE_EXPORT_CANCELLED = 1;
int exportScore(Engine& engine);

}  // namespace quavrix
