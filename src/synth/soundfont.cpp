// SPDX-License-Identifier: GPL-3.0-or-later
#include "synth/soundfont.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/read_file.h"
#include "synth/sf2_reader.h"

namespace quavrix {

namespace {

// Zeros kept after the last sample point for the interpolation's look-ahead.
constexpr std::size_t SAMPLE_PADDING = 4;
// Large General MIDI banks resolve to a few tens of thousands of regions; a
// file that asks for far more is damaged and would only exhaust memory.
constexpr std::size_t REGION_LIMIT = 1u << 20;
// Zones and generators visited while resolving; bounds the work a damaged
// file whose presets all point at one huge instrument can cause.
constexpr std::size_t WORK_LIMIT = 1u << 26;

// SoundFont 2 generator numbers this synthesizer reads.
enum Gen : int {
  GEN_START_OFFSET = 0,
  GEN_END_OFFSET = 1,
  GEN_LOOP_START_OFFSET = 2,
  GEN_LOOP_END_OFFSET = 3,
  GEN_START_COARSE = 4,
  GEN_MOD_LFO_TO_PITCH = 5,
  GEN_VIB_LFO_TO_PITCH = 6,
  GEN_MOD_ENV_TO_PITCH = 7,
  GEN_FILTER_FC = 8,
  GEN_FILTER_Q = 9,
  GEN_MOD_LFO_TO_FC = 10,
  GEN_MOD_ENV_TO_FC = 11,
  GEN_END_COARSE = 12,
  GEN_MOD_LFO_TO_VOLUME = 13,
  GEN_PAN = 17,
  GEN_MOD_LFO_DELAY = 21,
  GEN_MOD_LFO_FREQ = 22,
  GEN_VIB_LFO_DELAY = 23,
  GEN_VIB_LFO_FREQ = 24,
  GEN_MOD_ENV_FIRST = 25,  // 25..32 in envelope parameter order
  GEN_VOL_ENV_FIRST = 33,  // 33..40
  GEN_INSTRUMENT = 41,
  GEN_KEY_RANGE = 43,
  GEN_VEL_RANGE = 44,
  GEN_LOOP_START_COARSE = 45,
  GEN_ATTENUATION = 48,
  GEN_LOOP_END_COARSE = 50,
  GEN_COARSE_TUNE = 51,
  GEN_FINE_TUNE = 52,
  GEN_SAMPLE_ID = 53,
  GEN_SAMPLE_MODES = 54,
  GEN_SCALE_TUNING = 56,
  GEN_EXCLUSIVE_CLASS = 57,
  GEN_ROOT_KEY = 58,
};

// A zone while it is being resolved: raw generator units, wide offsets.
struct RawZone {
  std::int32_t loopMode = LOOP_NONE;
  std::uint8_t lowKey = 0, highKey = 127, lowVelocity = 0, highVelocity = 127;
  std::uint32_t exclusiveGroup = 0;
  std::int64_t offset = 0, end = 0, loopStart = 0, loopEnd = 0;
  std::int32_t transpose = 0, tune = 0, rootKey = 60, keyTracking = 0;
  double attenuation = 0.0;  // dB
  double pan = 0.0;
  std::array<double, ENV_PARAM_COUNT> volEnv{}, modEnv{};  // timecents, sustain raw
  std::int32_t filterQ = 0, filterCutoff = 0;
  std::int32_t modEnvToPitch = 0, modEnvToCutoff = 0, modLfoToCutoff = 0, modLfoToVolume = 0;
  double modLfoDelay = 0.0;
  std::int32_t modLfoFrequency = 0, modLfoToPitch = 0;
  double vibLfoDelay = 0.0;
  std::int32_t vibLfoFrequency = 0, vibLfoToPitch = 0;
};

RawZone presetTemplate() {
  return RawZone{};
}

RawZone instrumentTemplate() {
  RawZone z;
  z.rootKey = -1;  // take the sample header's
  z.keyTracking = 100;
  z.filterCutoff = FILTER_OPEN_CENTS;
  for (int i = ENV_DELAY; i <= ENV_RELEASE; ++i) {
    if (i == ENV_SUSTAIN) continue;
    z.volEnv[i] = z.modEnv[i] = -12000.0;
  }
  z.modLfoDelay = z.vibLfoDelay = -12000.0;
  return z;
}

void applyGenerator(RawZone& z, const Sf2Generator& g) {
  const auto s = static_cast<std::int16_t>(g.amount);
  const std::uint8_t lo = g.amount & 0xff, hi = g.amount >> 8;
  switch (g.oper) {
    case GEN_START_OFFSET:
      z.offset += s;
      break;
    case GEN_END_OFFSET:
      z.end += s;
      break;
    case GEN_LOOP_START_OFFSET:
      z.loopStart += s;
      break;
    case GEN_LOOP_END_OFFSET:
      z.loopEnd += s;
      break;
    case GEN_START_COARSE:
      z.offset += s * 32768LL;
      break;
    case GEN_END_COARSE:
      z.end += s * 32768LL;
      break;
    case GEN_LOOP_START_COARSE:
      z.loopStart += s * 32768LL;
      break;
    case GEN_LOOP_END_COARSE:
      z.loopEnd += s * 32768LL;
      break;
    case GEN_MOD_LFO_TO_PITCH:
      z.modLfoToPitch = s;
      break;
    case GEN_VIB_LFO_TO_PITCH:
      z.vibLfoToPitch = s;
      break;
    case GEN_MOD_ENV_TO_PITCH:
      z.modEnvToPitch = s;
      break;
    case GEN_FILTER_FC:
      z.filterCutoff = s;
      break;
    case GEN_FILTER_Q:
      z.filterQ = s;
      break;
    case GEN_MOD_LFO_TO_FC:
      z.modLfoToCutoff = s;
      break;
    case GEN_MOD_ENV_TO_FC:
      z.modEnvToCutoff = s;
      break;
    case GEN_MOD_LFO_TO_VOLUME:
      z.modLfoToVolume = s;
      break;
    case GEN_PAN:
      z.pan = s / 1000.0;
      break;
    case GEN_MOD_LFO_DELAY:
      z.modLfoDelay = s;
      break;
    case GEN_MOD_LFO_FREQ:
      z.modLfoFrequency = s;
      break;
    case GEN_VIB_LFO_DELAY:
      z.vibLfoDelay = s;
      break;
    case GEN_VIB_LFO_FREQ:
      z.vibLfoFrequency = s;
      break;
    case GEN_KEY_RANGE:
      z.lowKey = lo;
      z.highKey = hi;
      break;
    case GEN_VEL_RANGE:
      z.lowVelocity = lo;
      z.highVelocity = hi;
      break;
    case GEN_ATTENUATION:
      z.attenuation += s * 0.1;
      break;
    case GEN_COARSE_TUNE:
      z.transpose += s;
      break;
    case GEN_FINE_TUNE:
      z.tune += s;
      break;
    case GEN_SAMPLE_MODES: {
      const int bits = g.amount & 3;
      z.loopMode = bits == 1 ? LOOP_CONTINUOUS : bits == 3 ? LOOP_UNTIL_RELEASE : LOOP_NONE;
      break;
    }
    case GEN_SCALE_TUNING:
      z.keyTracking = s;
      break;
    case GEN_EXCLUSIVE_CLASS:
      z.exclusiveGroup = g.amount;
      break;
    case GEN_ROOT_KEY:
      z.rootKey = s;
      break;
    default:
      if (g.oper >= GEN_MOD_ENV_FIRST && g.oper < GEN_MOD_ENV_FIRST + int{ENV_PARAM_COUNT})
        z.modEnv[g.oper - GEN_MOD_ENV_FIRST] = s;
      else if (g.oper >= GEN_VOL_ENV_FIRST && g.oper < GEN_VOL_ENV_FIRST + int{ENV_PARAM_COUNT})
        z.volEnv[g.oper - GEN_VOL_ENV_FIRST] = s;
      break;
  }
}

// Adds the preset zone's values to the instrument zone's: preset generators
// are offsets on the instrument's.
void addPreset(RawZone& z, const RawZone& p) {
  z.offset += p.offset;
  z.end += p.end;
  z.loopStart += p.loopStart;
  z.loopEnd += p.loopEnd;
  z.transpose += p.transpose;
  z.tune += p.tune;
  z.keyTracking += p.keyTracking;
  z.attenuation += p.attenuation;
  z.pan += p.pan;
  for (int i = 0; i < ENV_PARAM_COUNT; ++i) {
    z.volEnv[i] += p.volEnv[i];
    z.modEnv[i] += p.modEnv[i];
  }
  z.filterQ += p.filterQ;
  z.filterCutoff += p.filterCutoff;
  z.modEnvToPitch += p.modEnvToPitch;
  z.modEnvToCutoff += p.modEnvToCutoff;
  z.modLfoDelay += p.modLfoDelay;
  z.modLfoFrequency += p.modLfoFrequency;
  z.vibLfoDelay += p.vibLfoDelay;
  z.vibLfoFrequency += p.vibLfoFrequency;
  z.modLfoToPitch += p.modLfoToPitch;
  z.vibLfoToPitch += p.vibLfoToPitch;
  z.modLfoToCutoff += p.modLfoToCutoff;
  z.modLfoToVolume += p.modLfoToVolume;
}

double timecentsToSeconds(double tc) {
  if (tc < -11950.0) return 0.0;
  return std::exp2(std::min(tc, 30000.0) / 1200.0);
}

// Envelope in the units the voice wants; hold and decay stay in timecents
// while a key scaling applies to them.
std::array<float, ENV_PARAM_COUNT> resolveEnvelope(const std::array<double, ENV_PARAM_COUNT>& tc,
                                                   bool isVolume) {
  std::array<float, ENV_PARAM_COUNT> e{};
  e[ENV_DELAY] = static_cast<float>(timecentsToSeconds(tc[ENV_DELAY]));
  e[ENV_ATTACK] = static_cast<float>(timecentsToSeconds(tc[ENV_ATTACK]));
  e[ENV_HOLD] = static_cast<float>(tc[ENV_KEY_TO_HOLD] == 0.0 ? timecentsToSeconds(tc[ENV_HOLD])
                                                              : tc[ENV_HOLD]);
  e[ENV_DECAY] = static_cast<float>(tc[ENV_KEY_TO_DECAY] == 0.0 ? timecentsToSeconds(tc[ENV_DECAY])
                                                                : tc[ENV_DECAY]);
  e[ENV_RELEASE] = static_cast<float>(timecentsToSeconds(tc[ENV_RELEASE]));
  e[ENV_KEY_TO_HOLD] = static_cast<float>(tc[ENV_KEY_TO_HOLD]);
  e[ENV_KEY_TO_DECAY] = static_cast<float>(tc[ENV_KEY_TO_DECAY]);
  const double sustain = std::max(0.0, tc[ENV_SUSTAIN]);
  if (isVolume) {
    const double db = -sustain / 10.0;
    e[ENV_SUSTAIN] = db <= -100.0 ? 0.0f : static_cast<float>(std::pow(10.0, db * 0.05));
  } else {
    e[ENV_SUSTAIN] = static_cast<float>(std::clamp(1.0 - sustain / 1000.0, 0.0, 1.0));
  }
  return e;
}

std::uint32_t clampIndex(std::int64_t v, std::size_t limit) {
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(v, 0, static_cast<std::int64_t>(limit)));
}

// Turns a finished instrument zone (preset values already added) into a region.
BankRegion finishRegion(const RawZone& z, const Sf2SampleHeader& h, std::size_t sampleCount) {
  BankRegion r;
  r.loopMode = z.loopMode;
  r.lowKey = z.lowKey;
  r.highKey = z.highKey;
  r.lowVelocity = z.lowVelocity;
  r.highVelocity = z.highVelocity;
  r.exclusiveGroup = z.exclusiveGroup;
  r.transpose = z.transpose;
  r.keyTracking = z.keyTracking;
  r.attenuation = static_cast<float>(z.attenuation);
  r.pan = static_cast<float>(std::clamp(z.pan, -0.5, 0.5));
  r.volumeEnvelope = resolveEnvelope(z.volEnv, true);
  r.modulationEnvelope = resolveEnvelope(z.modEnv, false);
  // The zone's own resonance in centibels, within the range the format allows.
  r.filterQ = std::clamp(z.filterQ, 0, 960);
  r.filterCutoff = z.filterCutoff;
  r.modEnvToPitch = z.modEnvToPitch;
  r.modEnvToCutoff = z.modEnvToCutoff;
  r.modLfoToCutoff = z.modLfoToCutoff;
  r.modLfoToVolume = z.modLfoToVolume;
  r.modLfoDelay = static_cast<float>(timecentsToSeconds(z.modLfoDelay));
  r.modLfoFrequency = z.modLfoFrequency;
  r.modLfoToPitch = z.modLfoToPitch;
  r.vibLfoDelay = static_cast<float>(timecentsToSeconds(z.vibLfoDelay));
  r.vibLfoFrequency = z.vibLfoFrequency;
  r.vibLfoToPitch = z.vibLfoToPitch;

  const std::int64_t offset = z.offset + h.start;
  std::int64_t end = z.end + h.end;
  const std::int64_t loopStart = z.loopStart + h.loopStart;
  std::int64_t loopEnd = z.loopEnd + h.loopEnd;
  if (h.loopEnd > 0) loopEnd -= 1;
  // Header roots above 127 mark unpitched samples; play them at middle C.
  const int headerRoot = h.rootKey <= 127 ? h.rootKey : 60;
  r.rootKey = z.rootKey == -1 ? headerRoot : z.rootKey;
  r.tune = z.tune + h.pitchCorrection;
  r.sampleRate = h.sampleRate;

  const auto count = static_cast<std::int64_t>(sampleCount);
  if (end != 0 && end < count)
    end += 1;
  else
    end = count;
  // A damaged file must never send a voice outside the sample array.
  r.end = clampIndex(end, sampleCount);
  r.offset = std::min(clampIndex(offset, sampleCount), r.end);
  r.loopStart = clampIndex(loopStart, sampleCount);
  r.loopEnd = clampIndex(loopEnd, sampleCount);
  if (!(r.loopStart < r.loopEnd && r.loopEnd < sampleCount)) r.loopStart = r.loopEnd = 0;
  return r;
}

bool overlaps(std::uint8_t lo1, std::uint8_t hi1, std::uint8_t lo2, std::uint8_t hi2) {
  return lo1 <= hi2 && hi1 >= lo2;
}

// Generators of zone `bag` as a [begin, end) span clamped to the list.
std::pair<std::size_t, std::size_t> genSpan(const std::vector<Sf2Bag>& bags, std::size_t bag,
                                            std::size_t genCount) {
  const std::size_t begin = std::min<std::size_t>(bags[bag].genIndex, genCount);
  const std::size_t end = std::min<std::size_t>(bags[bag + 1].genIndex, genCount);
  return {begin, std::max(begin, end)};
}

// Zones of a preset or instrument as a [begin, end) span of bags that each
// have a following bag to end their generator list.
std::pair<std::size_t, std::size_t> bagSpan(std::uint16_t first, std::uint16_t next,
                                            std::size_t bagCount) {
  const std::size_t usable = bagCount > 0 ? bagCount - 1 : 0;
  const std::size_t begin = std::min<std::size_t>(first, usable);
  const std::size_t end = std::min<std::size_t>(next, usable);
  return {begin, std::max(begin, end)};
}

class RegionBuilder {
 public:
  RegionBuilder(const Sf2Contents& c, std::size_t sampleCount) : c_(c), sampleCount_(sampleCount) {}

  void buildPreset(std::size_t index, BankPreset& out) {
    const auto& headers = c_.presets;
    const auto [zBegin, zEnd] =
        bagSpan(headers[index].bagIndex, headers[index + 1].bagIndex, c_.presetBags.size());
    RawZone global = presetTemplate();
    global.highKey = global.highVelocity = 127;
    for (std::size_t zone = zBegin; zone < zEnd && !overflow_; ++zone) {
      RawZone region = global;
      int instrument = -1;
      const auto [gBegin, gEnd] = genSpan(c_.presetBags, zone, c_.presetGens.size());
      if (!spend(gEnd - gBegin)) return;
      for (std::size_t g = gBegin; g < gEnd; ++g) {
        const Sf2Generator& gen = c_.presetGens[g];
        if (gen.oper == GEN_INSTRUMENT) {
          instrument = gen.amount;
          break;
        }
        applyGenerator(region, gen);
      }
      if (instrument < 0) {
        if (zone == zBegin) global = region;
        continue;
      }
      addInstrument(static_cast<std::size_t>(instrument), region, out.regions);
    }
  }

 private:
  void addInstrument(std::size_t instrument, const RawZone& preset,
                     std::vector<BankRegion>& regions) {
    // The last instrument record only closes the list.
    if (instrument + 1 >= c_.instruments.size()) return;
    const auto [zBegin, zEnd] =
        bagSpan(c_.instruments[instrument].bagIndex, c_.instruments[instrument + 1].bagIndex,
                c_.instrumentBags.size());
    RawZone global = instrumentTemplate();
    for (std::size_t zone = zBegin; zone < zEnd && !overflow_; ++zone) {
      RawZone z = global;
      bool hasSample = false;
      const auto [gBegin, gEnd] = genSpan(c_.instrumentBags, zone, c_.instrumentGens.size());
      if (!spend(gEnd - gBegin)) return;
      for (std::size_t g = gBegin; g < gEnd; ++g) {
        const Sf2Generator& gen = c_.instrumentGens[g];
        if (gen.oper != GEN_SAMPLE_ID) {
          applyGenerator(z, gen);
          continue;
        }
        hasSample = true;
        if (gen.amount < c_.sampleHeaders.size()) addZone(z, preset, gen.amount, regions);
        break;
      }
      if (!hasSample && zone == zBegin) global = z;
    }
  }

  // Counts the zones and generators a resolution visits.
  bool spend(std::size_t generators) {
    visits_ += 1 + generators;
    if (visits_ > WORK_LIMIT) overflow_ = true;
    return !overflow_;
  }

  void addZone(RawZone z, const RawZone& preset, std::size_t sample,
               std::vector<BankRegion>& regions) {
    if (!overlaps(z.lowKey, z.highKey, preset.lowKey, preset.highKey) ||
        !overlaps(z.lowVelocity, z.highVelocity, preset.lowVelocity, preset.highVelocity))
      return;
    z.lowKey = std::max(z.lowKey, preset.lowKey);
    z.highKey = std::min(z.highKey, preset.highKey);
    z.lowVelocity = std::max(z.lowVelocity, preset.lowVelocity);
    z.highVelocity = std::min(z.highVelocity, preset.highVelocity);
    addPreset(z, preset);
    if (++total_ > REGION_LIMIT) {
      overflow_ = true;
      return;
    }
    regions.push_back(finishRegion(z, c_.sampleHeaders[sample], sampleCount_));
  }

  const Sf2Contents& c_;
  std::size_t sampleCount_;
  std::size_t total_ = 0;
  std::size_t visits_ = 0;

 public:
  bool overflow_ = false;
};

std::string presetName(const char (&raw)[20]) {
  std::size_t n = 0;
  while (n < 19 && raw[n] != '\0') ++n;
  return std::string(raw, n);
}

}  // namespace

std::unique_ptr<SoundFontBank> buildSoundFontBank(Sf2Contents& contents) {
  try {
    auto bank = std::make_unique<SoundFontBank>();
    bank->sampleCount = contents.samples.size();
    bank->samples = std::move(contents.samples);
    bank->samples.resize(bank->sampleCount + SAMPLE_PADDING, 0.0f);

    const std::size_t presetCount = contents.presets.empty() ? 0 : contents.presets.size() - 1;
    std::vector<BankPreset> presets(presetCount);
    RegionBuilder builder(contents, bank->sampleCount);
    for (std::size_t i = 0; i < presetCount; ++i) {
      presets[i].name = presetName(contents.presets[i].name);
      presets[i].program = contents.presets[i].program;
      presets[i].bank = contents.presets[i].bank;
      builder.buildPreset(i, presets[i]);
      if (builder.overflow_) return nullptr;
      presets[i].regions.shrink_to_fit();
    }
    std::stable_sort(presets.begin(), presets.end(), [](const BankPreset& a, const BankPreset& b) {
      return a.bank != b.bank ? a.bank < b.bank : a.program < b.program;
    });
    bank->presets = std::move(presets);
    bank->voices.resize(VOICE_CAPACITY);
    bank->activeVoices.reserve(VOICE_CAPACITY);
    bank->blockScratch.resize(static_cast<std::size_t>(VOICE_CAPACITY) * VOICE_BLOCK);
    bank->blockPlans.resize(VOICE_CAPACITY);
    return bank;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<SoundFontBank> loadSoundFontMemory(const std::uint8_t* data, std::size_t size) {
  try {
    MemorySource source(data, size);
    Sf2Contents contents;
    if (!readSf2(source, contents)) return nullptr;
    return buildSoundFontBank(contents);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<SoundFontBank> loadSoundFontFile(const std::string& path, std::string* reason) {
  const auto refuse = [reason](std::string why) -> std::unique_ptr<SoundFontBank> {
    if (reason) *reason = std::move(why);
    return nullptr;
  };
  try {
    FileSource source(path);
    if (!source.isOpen()) return refuse(systemReason(source.error()));
    Sf2Contents contents;
    if (!readSf2(source, contents)) {
      if (source.error() != 0) return refuse(systemReason(source.error()));
      return refuse("not a SoundFont 2 file, or parts of it are missing");
    }
    auto bank = buildSoundFontBank(contents);
    if (!bank) return refuse("its presets are too large to resolve, or memory ran out");
    return bank;
  } catch (const std::bad_alloc&) {
    return refuse("not enough memory");
  }
}

std::vector<std::string> dialogPresetNames(const SoundFontBank& bank) {
  std::vector<std::string> names;
  const std::size_t count = std::min<std::size_t>(bank.presets.size(), DIALOG_PRESET_LIMIT);
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i) names.push_back(bank.presets[i].name);
  return names;
}

int findPreset(const SoundFontBank& bank, int bankNumber, int program) {
  for (std::size_t i = 0; i < bank.presets.size(); ++i) {
    if (bank.presets[i].bank == bankNumber && bank.presets[i].program == program)
      return static_cast<int>(i);
  }
  return -1;
}

std::size_t regionCount(const SoundFontBank& bank) {
  std::size_t n = 0;
  for (const auto& p : bank.presets) n += p.regions.size();
  return n;
}

}  // namespace quavrix
