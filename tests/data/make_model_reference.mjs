// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the note model's own JavaScript (the npm package @spotify/basic-pitch on
// tfjs 3) and writes what our C++ inference is compared against.
//
//   node make_model_reference.mjs --clip OUT.txt
//       the generated test clip: a slice of the posteriors and the note list
//   node make_model_reference.mjs --raw IN.f32 --json OUT.json
//       notes of a 22050 Hz mono float32 file, in quavrix-cli's JSON; prints
//       the seconds the model and the note decoding took
//
// The packages come from a scratch folder (scripts/setup-model-reference.sh):
// $QUAVRIX_REF_DIR, else ${XDG_CACHE_HOME:-$HOME/.cache}/quavrix-build/ref.
import fs from 'fs';
import os from 'os';
import path from 'path';
import {createRequire} from 'module';

const refDir = process.env.QUAVRIX_REF_DIR ||
    path.join(process.env.XDG_CACHE_HOME || path.join(os.homedir(), '.cache'),
              'quavrix-build', 'ref');
const require = createRequire(path.join(refDir, 'node_modules', 'x.js'));
const tf = require('@tensorflow/tfjs');
require('@tensorflow/tfjs-backend-wasm');
const bp = require('@spotify/basic-pitch');

const SR = 22050;

// The test clip: a few decaying harmonic tones, chords and a bass line. The C++
// test support code builds the same samples (double sums, then float).
export const CLIP_NOTES = [
  [0.30, 1.20, 60], [0.30, 1.20, 64], [1.50, 0.80, 67], [2.20, 1.50, 48],
  [2.60, 0.90, 72], [3.80, 1.40, 55], [3.80, 1.40, 59], [3.80, 1.40, 62],
  [5.20, 0.60, 69], [5.90, 0.45, 76],
];
export const CLIP_SECONDS = 6.5;

function makeClip() {
  const n = Math.round(CLIP_SECONDS * SR);
  const acc = new Float64Array(n);
  for (const [start, dur, pitch] of CLIP_NOTES) {
    const f = 440 * Math.pow(2, (pitch - 69) / 12);
    const s0 = Math.round(start * SR);
    const len = Math.round(dur * SR);
    for (let i = 0; i < len && s0 + i < n; ++i) {
      const t = i / SR;
      const env = Math.exp(-2.5 * t) * Math.min(1, t / 0.005) * Math.min(1, (len - i) / 220);
      let v = 0;
      for (let h = 1; h <= 5; ++h) v += Math.sin(2 * Math.PI * h * f * t) / h;
      acc[s0 + i] += 0.12 * env * v;
    }
  }
  return Float32Array.from(acc);
}

async function loadModel() {
  const dir = process.env.QUAVRIX_MODEL_DIR ||
      path.join(process.env.XDG_CACHE_HOME || path.join(os.homedir(), '.cache'),
                'quavrix-build', 'note-model');
  const json = JSON.parse(fs.readFileSync(path.join(dir, 'model.json'), 'utf8'));
  const bin = fs.readFileSync(path.join(dir, 'group1-shard1of1.bin'));
  const weightData = bin.buffer.slice(bin.byteOffset, bin.byteOffset + bin.byteLength);
  return tf.loadGraphModel(tf.io.fromMemory({
    modelTopology: json.modelTopology,
    weightSpecs: json.weightsManifest[0].weights,
    weightData,
  }));
}

// tf.signal.frame pads the last window with fill() without a dtype, which the
// WebAssembly backend's Fill kernel refuses; give it the float32 the other
// backends assume.
function patchWasmFill() {
  const fill = tf.getKernel('Fill', 'wasm');
  tf.unregisterKernel('Fill', 'wasm');
  tf.registerKernel({...fill, kernelFunc: a => fill.kernelFunc(
      {...a, attrs: {...a.attrs, dtype: a.attrs.dtype || 'float32'}})});
}

async function run(audio) {
  await tf.setBackend('wasm');
  await tf.ready();
  patchWasmFill();
  const model = await loadModel();
  const frames = [], onsets = [], contours = [];
  const t0 = process.hrtime.bigint();
  await new bp.BasicPitch(Promise.resolve(model)).evaluateModel(audio, (f, o, c) => {
    frames.push(...f);
    onsets.push(...o);
    contours.push(...c);
  }, () => {});
  const t1 = process.hrtime.bigint();
  // The defaults quavrix uses: onset 0.5, frame 0.3, at least 11 frames, inferred
  // onsets, the melodia trick, energy tolerance 11.
  const events = bp.outputToNotesPoly(frames.map(r => r.slice()), onsets.map(r => r.slice()),
                                      0.5, 0.3, 11, true, null, null, true, 11);
  const timed = bp.noteFramesToTime(events);
  const t2 = process.hrtime.bigint();
  return {frames, onsets, contours, events, timed,
          modelSeconds: Number(t1 - t0) / 1e9, decodeSeconds: Number(t2 - t1) / 1e9};
}

const velocity = a => Math.min(127, Math.max(1, Math.round(127 * a)));
const fmt = v => String(Number(v.toFixed(6)));

async function writeClipReference(out) {
  const audio = makeClip();
  const r = await run(audio);
  // Rows on both sides of the joins between windows (142 frames each) and the last.
  const rows = [0, 70, 141, 142, 285, 400, r.frames.length - 1];
  const lines = [
    '# note model reference for the generated clip (tests/data/make_model_reference.mjs)',
    `samples ${audio.length} frames ${r.frames.length}`,
  ];
  for (const row of rows) {
    lines.push(`note ${row} ${r.frames[row].map(fmt).join(' ')}`);
    lines.push(`onset ${row} ${r.onsets[row].map(fmt).join(' ')}`);
    lines.push(`contour ${row} ${r.contours[row].filter((_, i) => i % 8 === 0).map(fmt).join(' ')}`);
  }
  lines.push(`notes ${r.events.length}`);
  r.events.forEach((e, i) => {
    const t = r.timed[i];
    lines.push(`n ${e.startFrame} ${e.durationFrames} ${e.pitchMidi} ${e.amplitude.toFixed(6)} ` +
               `${t.startTimeSeconds.toFixed(6)} ${(t.startTimeSeconds + t.durationSeconds).toFixed(6)}`);
  });
  fs.writeFileSync(out, lines.join('\n') + '\n');
  console.log(`wrote ${out}: ${r.frames.length} frames, ${r.events.length} notes`);
}

async function writeNotesJson(rawPath, out) {
  const bytes = fs.readFileSync(rawPath);
  const audio = new Float32Array(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength));
  const r = await run(audio);
  const notes = r.timed.map(t => ({
    start: t.startTimeSeconds, end: t.startTimeSeconds + t.durationSeconds,
    pitch: t.pitchMidi, velocity: velocity(t.amplitude),
  }));
  fs.writeFileSync(out, JSON.stringify({notes, seconds: audio.length / SR}) + '\n');
  console.log(JSON.stringify({modelSeconds: r.modelSeconds, decodeSeconds: r.decodeSeconds,
                              audioSeconds: audio.length / SR, notes: notes.length}));
}

const args = process.argv.slice(2);
const arg = name => { const i = args.indexOf(name); return i >= 0 ? args[i + 1] : undefined; };
if (arg('--clip')) {
  await writeClipReference(arg('--clip'));
} else if (arg('--raw') && arg('--json')) {
  await writeNotesJson(arg('--raw'), arg('--json'));
} else {
  console.error('usage: make_model_reference.mjs --clip OUT.txt | --raw IN.f32 --json OUT.json');
  process.exit(2);
}
