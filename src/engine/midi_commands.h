#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI export as the window's "Export MIDI..." and the command line run
// it: any file name, no saved .dat needed, the whole grid when no markers
// are set, the tempo the settings or the caller choose.

#include <string>

#include "persist/midi_export.h"

namespace quavrix {

struct Engine;

// The tempo the settings ask for.
MidiTempo settingsMidiTempo(const Engine& engine);

// The file "Export MIDI..." proposes: the .dat's name with ".mid", or the
// recording's when no .dat was saved.
std::string proposedMidiPath(const Engine& engine);

// Exports the range of wholeGridRange (the markers, or the whole grid) with
// `tempo` to `path`; without an END marker the notes on the last line go
// too. The completion message names the file. Returns a
// MidiExportResult; after a failed write `failure`, when given, holds the
// system's reason.
int exportWholeGrid(Engine& engine, const std::string& path, MidiTempo tempo,
                    std::string* failure = nullptr);

// "Export MIDI...": a save dialog, then exportWholeGrid with the settings'
// tempo. Returns a MidiExportResult, MIDI_EXPORT_STOPPED when there is no
// project or the dialog was cancelled.
int exportMidiAs(Engine& engine);

}  // namespace quavrix
