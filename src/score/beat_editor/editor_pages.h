#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces shared by the beat editor's pages; not for use outside the editor.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "score/beat_editor/beat_editor.h"

namespace quavrix::editor {

// The next recorded change starts a new undo group.
void beginGroup(NoteStore& notes);
// Recorded writes that only happen when they change the byte.
void setBits(NoteStore& notes, std::uint32_t position, std::uint8_t bits);
void clearBits(NoteStore& notes, std::uint32_t position, std::uint8_t bits);
// A beat at the position; a division line there gives way to it.
void addBeat(NoteStore& notes, std::uint32_t position);

// Positions in [from, to) (below N) whose byte has all of `bits`, at most
// `limit` of them (limit + 1 entries tell the caller there were more).
std::vector<std::uint32_t> collectLines(const NoteStore& notes, std::uint32_t from,
                                        std::uint32_t to, std::uint8_t bits, std::size_t limit);

void applyBar(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e);
void applyBeat(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e);
void extendBeats(EditorContext& ctx, std::uint32_t vs, std::uint32_t ve);
void applyDivision(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e);

// Rebuilds the line index, columns and cells after lines changed.
void refreshAfterEdit(EditorContext& ctx);

}  // namespace quavrix::editor
