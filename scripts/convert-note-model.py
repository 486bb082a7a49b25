#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Converts the note model's TensorFlow.js graph (model.json + weights shard) into
quavrix's compact weights file (note_model.qvnm), read by src/analysis/note_model.

    convert-note-model.py MODEL_DIR OUT.qvnm

The file: the 8 bytes "QVXNOTE1", a little-endian uint32 tensor count, then per
tensor a uint8 name length, the name, a uint8 rank, uint32 dimensions and the
float32 values in the graph's own (row-major, last axis fastest) order.

Our inference hard-codes the graph's structure (nine octaves of a 36-bin
constant-Q transform sharing one kernel, hops 256 down to 1, the harmonic
shifts, the log normalisation); this script checks the graph still has that
structure and refuses it otherwise. Only the Python standard library is used.
"""
import json
import math
import os
import struct
import sys

PREFIX = "StatefulPartitionedCall/model_1/"


def load(model_dir):
    with open(os.path.join(model_dir, "model.json"), encoding="utf-8") as f:
        model = json.load(f)
    manifest = model["weightsManifest"]
    if len(manifest) != 1:
        raise SystemExit("convert-note-model: expected one weights shard")
    with open(os.path.join(model_dir, manifest[0]["paths"][0]), "rb") as f:
        data = f.read()
    tensors, offset = {}, 0
    for w in manifest[0]["weights"]:
        if "quantization" in w:
            raise SystemExit("convert-note-model: quantised weights are not supported")
        count = math.prod(w["shape"]) if w["shape"] else 1
        fmt = {"float32": "f", "int32": "i"}[w["dtype"]]
        values = struct.unpack_from("<%d%s" % (count, fmt), data, offset)
        offset += 4 * count
        tensors[w["name"].removeprefix(PREFIX)] = (w["shape"], values)
    if offset != len(data):
        raise SystemExit("convert-note-model: the shard's size does not match its manifest")
    nodes = {n["name"].removeprefix(PREFIX): n for n in model["modelTopology"]["node"]}
    return tensors, nodes


def check(cond, what):
    if not cond:
        raise SystemExit("convert-note-model: unexpected graph: " + what)


def stride(nodes, name):
    return int(nodes[name]["attr"]["strides"]["list"]["i"][2])


def convert(model_dir, out_path):
    t, nodes = load(model_dir)
    cq = "cq_t2010v2_1/"
    # Octave k (0 = the top one, at the full rate) runs conv1d_{3k} (real) and
    # conv1d_{3k+1} (imaginary) on the signal that conv1d_{3k-1} halved.
    real = t[cq + "conv1d/ExpandDims_1"]
    imag = t[cq + "conv1d_1/ExpandDims_1"]
    lowpass = t[cq + "conv1d_2/ExpandDims_1"]
    check(real[0] == [1, 256, 1, 36] and imag[0] == [1, 256, 1, 36], "constant-Q kernel shape")
    for k in range(9):
        r, i = "conv1d_%d" % (3 * k) if k else "conv1d", "conv1d_%d" % (3 * k + 1)
        check(t[cq + r + "/ExpandDims_1"][1] == real[1], "octave kernels differ")
        check(t[cq + i + "/ExpandDims_1"][1] == imag[1], "octave kernels differ")
        check(stride(nodes, cq + r) == 256 >> k, "octave hop")
        if k < 8:
            check(t[cq + "conv1d_%d/ExpandDims_1" % (3 * k + 2)][1] == lowpass[1], "low-pass filters differ")
            check(stride(nodes, cq + "conv1d_%d" % (3 * k + 2)) == 2, "decimation")
    check(t[cq + "reflection_pad1d/MirrorPad/paddings"][1][4:] == (128, 128), "reflection padding")
    check(t[cq + "Pad/paddings"][1][4:] == (127, 127), "decimation padding")
    check(t[cq + "strided_slice_9/stack"][1] == (0, -309, 0), "kept bins")
    check(abs(t["normalized_log_1/add/y"][1][0] - 1e-10) < 1e-16, "log floor")
    check(abs(t["normalized_log_1/truediv"][1][0] - 10 / math.log(10)) < 1e-5, "decibel scale")
    shifts = []
    for hs in ("harmonic_stacking/", "harmonic-stacking-diff/"):
        found = [-t[hs + "Const"][1][4]] + [t[hs + "Const_%d" % n][1][5] for n in range(1, 7)]
        check(t[hs + "strided_slice_7/stack_1"][1][2] == 264, "stacked bins")
        shifts.append(found)
    check(shifts[0] == shifts[1] == [-36, 36, 57, 72, 84, 93, 101], "harmonic shifts")

    out = [
        ("cqt_real", [256, 36], real[1]),
        ("cqt_imag", [256, 36], imag[1]),
        ("lowpass", [256], lowpass[1]),
        ("cqt_scale", [309], t[cq + "Sqrt"][1]),
        ("bn_scale", [1], t["batch_normalization/FusedBatchNormV3/Scaled"][1]),
        ("bn_offset", [1], t["batch_normalization/FusedBatchNormV3/Offset"][1]),
        ("contour1_w", [3, 39, 8, 8], t["conv2d_1/Conv2D_weights"][1]),
        ("contour1_b", [8], t["conv2d_1/Conv2D_bn_offset"][1]),
        ("contour2_w", [5, 5, 8, 1], t["contours-reduced/Conv2D/ReadVariableOp"][1]),
        ("contour2_b", [1], t["contours-reduced/BiasAdd/ReadVariableOp"][1]),
        ("note1_w", [7, 7, 1, 32], t["conv2d_2/Conv2D/ReadVariableOp"][1]),
        ("note1_b", [32], t["conv2d_2/BiasAdd/ReadVariableOp"][1]),
        ("note2_w", [7, 3, 32, 1], t["conv2d_3/Conv2D/ReadVariableOp"][1]),
        ("note2_b", [1], t["conv2d_3/BiasAdd/ReadVariableOp"][1]),
        ("onset1_w", [5, 5, 8, 32], t["conv2d_4/Conv2D_weights"][1]),
        ("onset1_b", [32], t["conv2d_4/Conv2D_bn_offset"][1]),
        ("onset2_w", [3, 3, 33, 1], t["conv2d_5/Conv2D/ReadVariableOp"][1]),
        ("onset2_b", [1], t["conv2d_5/BiasAdd/ReadVariableOp"][1]),
    ]
    blob = bytearray(b"QVXNOTE1")
    blob += struct.pack("<I", len(out))
    for name, shape, values in out:
        check(math.prod(shape) == len(values), name + " size")
        blob += struct.pack("<B", len(name)) + name.encode()
        blob += struct.pack("<B", len(shape)) + struct.pack("<%dI" % len(shape), *shape)
        blob += struct.pack("<%df" % len(values), *values)
    tmp = out_path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(blob)
    os.replace(tmp, out_path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit("usage: convert-note-model.py MODEL_DIR OUT.qvnm")
    convert(sys.argv[1], sys.argv[2])
