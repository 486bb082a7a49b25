#pragma once
// What the score needs from the playback side: committing notes stops and
// restarts playback around the compaction and silences the sampler, tap tempo
// reads where playback is. The playback layer implements it; tests fake it.

#include <cstdint>

namespace quavrix {

class PlaybackControl {
 public:
  virtual ~PlaybackControl() = default;
  virtual bool isPlaying() const = 0;
  virtual void stopPlayback() = 0;
  // Starting playback compacts the notes again and autosaves.
  virtual void startPlayback() = 0;
  // Puts every sounding sampler voice into its release stage, under the playback lock.
  virtual void releaseVoices() = 0;
  // Sample frame of the recording buffers that playback has reached.
  virtual std::uint64_t playbackFrame() const = 0;
};

}  // namespace quavrix
