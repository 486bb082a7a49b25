// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sf2_writer.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace quavrix::test {

namespace {

// Points of silence after every sample, as the format asks.
constexpr std::size_t SAMPLE_GAP = 46;

class Bytes {
 public:
  void u8(std::uint32_t v) { data.push_back(static_cast<std::uint8_t>(v)); }
  void u16(std::uint32_t v) {
    u8(v & 0xff);
    u8((v >> 8) & 0xff);
  }
  void u32(std::uint32_t v) {
    u16(v & 0xffff);
    u16(v >> 16);
  }
  // Byte by byte: GCC 12 at -O3 misreads a range insert into a fresh vector
  // as an overflow.
  void id(const char* four) {
    for (int i = 0; i < 4; ++i) u8(static_cast<unsigned char>(four[i]));
  }
  void name(const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) u8(i < text.size() && i + 1 < size ? text[i] : 0);
  }
  void append(const Bytes& other) {
    data.reserve(data.size() + other.data.size());
    for (const std::uint8_t b : other.data) data.push_back(b);
  }
  std::vector<std::uint8_t> data;
};

Bytes chunk(const char* id, const Bytes& body) {
  Bytes out;
  out.id(id);
  out.u32(static_cast<std::uint32_t>(body.data.size()));
  out.append(body);
  if (body.data.size() % 2) out.u8(0);
  return out;
}

Bytes list(const char* type, const Bytes& body) {
  Bytes inner;
  inner.id(type);
  inner.append(body);
  return chunk("LIST", inner);
}

template <typename Header>
void zoneLists(const std::vector<Header>& owners, int linkOper, Bytes& bags, Bytes& gens,
               std::vector<std::uint16_t>& firstBag) {
  std::uint32_t genIndex = 0, bagIndex = 0;
  for (const auto& owner : owners) {
    firstBag.push_back(static_cast<std::uint16_t>(bagIndex));
    for (const Sf2Zone& zone : owner.zones) {
      bags.u16(genIndex);
      bags.u16(0);
      ++bagIndex;
      for (const Sf2Gen& g : zone.gens) {
        gens.u16(g.oper);
        gens.u16(g.amount);
        ++genIndex;
      }
      if (zone.link >= 0) {
        gens.u16(static_cast<std::uint32_t>(linkOper));
        gens.u16(static_cast<std::uint32_t>(zone.link));
        ++genIndex;
      }
    }
  }
  firstBag.push_back(static_cast<std::uint16_t>(bagIndex));
  bags.u16(genIndex);
  bags.u16(0);
  gens.u32(0);
}

}  // namespace

Sf2Gen gen(int oper, int value) {
  return {static_cast<std::uint16_t>(oper), static_cast<std::uint16_t>(value & 0xffff)};
}

Sf2Gen range(int oper, int low, int high) {
  return {static_cast<std::uint16_t>(oper), static_cast<std::uint16_t>((low & 0xff) | (high << 8))};
}

std::vector<std::uint8_t> buildSf2(const Sf2Description& d) {
  auto keep = [&](const char* id) {
    return std::find(d.omit.begin(), d.omit.end(), id) == d.omit.end();
  };

  Bytes smpl, shdr;
  std::uint32_t at = 0;
  for (const Sf2Sample& s : d.samples) {
    for (const std::int16_t p : s.points) smpl.u16(static_cast<std::uint16_t>(p));
    for (std::size_t i = 0; i < SAMPLE_GAP; ++i) smpl.u16(0);
    const auto count = static_cast<std::uint32_t>(s.points.size());
    shdr.name(s.name, 20);
    shdr.u32(at);
    shdr.u32(s.headerEnd ? *s.headerEnd : at + count);
    shdr.u32(at + s.loopStart);
    shdr.u32(at + s.loopEnd);
    shdr.u32(s.rate);
    shdr.u8(s.rootKey);
    shdr.u8(static_cast<std::uint8_t>(s.correction));
    shdr.u16(0);
    shdr.u16(1);  // mono
    at += count + static_cast<std::uint32_t>(SAMPLE_GAP);
  }
  shdr.name("EOS", 20);
  for (int i = 0; i < 26; ++i) shdr.u8(0);

  Bytes pbag, pgen, ibag, igen;
  std::vector<std::uint16_t> presetBags, instrumentBags;
  zoneLists(d.presets, 41, pbag, pgen, presetBags);
  zoneLists(d.instruments, 53, ibag, igen, instrumentBags);

  Bytes phdr;
  for (std::size_t i = 0; i < d.presets.size(); ++i) {
    phdr.name(d.presets[i].name, 20);
    phdr.u16(static_cast<std::uint32_t>(d.presets[i].program));
    phdr.u16(static_cast<std::uint32_t>(d.presets[i].bank));
    phdr.u16(presetBags[i]);
    phdr.u32(0);
    phdr.u32(0);
    phdr.u32(0);
  }
  phdr.name("EOP", 20);
  phdr.u16(0);
  phdr.u16(0);
  phdr.u16(presetBags.back());
  for (int i = 0; i < 12; ++i) phdr.u8(0);

  Bytes inst;
  for (std::size_t i = 0; i < d.instruments.size(); ++i) {
    inst.name(d.instruments[i].name, 20);
    inst.u16(instrumentBags[i]);
  }
  inst.name("EOI", 20);
  inst.u16(instrumentBags.back());

  Bytes mod;
  for (int i = 0; i < 10; ++i) mod.u8(0);

  Bytes pdta;
  if (keep("phdr")) pdta.append(chunk("phdr", phdr));
  if (keep("pbag")) pdta.append(chunk("pbag", pbag));
  if (keep("pmod")) pdta.append(chunk("pmod", mod));
  if (keep("pgen")) pdta.append(chunk("pgen", pgen));
  if (keep("inst")) pdta.append(chunk("inst", inst));
  if (keep("ibag")) pdta.append(chunk("ibag", ibag));
  if (keep("imod")) pdta.append(chunk("imod", mod));
  if (keep("igen")) pdta.append(chunk("igen", igen));
  if (keep("shdr")) pdta.append(chunk("shdr", shdr));

  Bytes info;
  Bytes ifil;
  ifil.u16(2);
  ifil.u16(1);
  info.append(chunk("ifil", ifil));
  Bytes inam;
  inam.name("test bank", 10);
  info.append(chunk("INAM", inam));

  Bytes sdta;
  if (keep("smpl")) sdta.append(chunk("smpl", smpl));

  Bytes body;
  body.id("sfbk");
  body.append(list("INFO", info));
  body.append(list("sdta", sdta));
  body.append(list("pdta", pdta));
  return chunk("RIFF", body).data;
}

bool writeSf2File(const std::string& path, const Sf2Description& description) {
  const auto bytes = buildSf2(description);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::vector<std::int16_t> sinePoints(double frequency, double rate, std::size_t count,
                                     double amplitude) {
  std::vector<std::int16_t> points(count);
  const double twoPi = 6.283185307179586;
  for (std::size_t i = 0; i < count; ++i)
    points[i] = static_cast<std::int16_t>(
        std::lround(32767.0 * amplitude * std::sin(twoPi * frequency * i / rate)));
  return points;
}

Sf2Description singleSampleFont(const Sf2Sample& sample, const std::vector<Sf2Gen>& instrumentGens,
                                const std::vector<Sf2Gen>& presetGens) {
  Sf2Description d;
  d.samples.push_back(sample);
  d.instruments.push_back({"inst", {{instrumentGens, 0}}});
  d.presets.push_back({"preset", 0, 0, {{presetGens, 0}}});
  return d;
}

}  // namespace quavrix::test
