#!/usr/bin/python3
"""canmatrix as the independent judge of RCAN Tools' DBC reader and signal codec.

For every message of every database in data/ the same random frames are decoded by both, and the
same random raw values are encoded by both: the signals present, raw and physical values, value
names and the bytes must agree.
usage: dbcoracle.py PATH_TO_DBCORACLE
"""
import decimal
import json
import os
import random
import re
import struct
import subprocess
import sys

import canmatrix.formats

HELPER = sys.argv[1]
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
FRAMES_PER_MESSAGE = 40
ENCODES_PER_MESSAGE = 20
rng = random.Random(26)
failures = []


def fail(text):
    failures.append(text)
    print("MISMATCH", text)


def encoding_of(path):
    with open(path, "rb") as f:
        raw = f.read()
    try:
        raw.decode("utf-8")
        return "utf-8"
    except UnicodeDecodeError:
        return "cp1252"


def ask(path, requests):
    text = "".join(json.dumps(r) + "\n" for r in requests)
    out = subprocess.run([HELPER, path], input=text, check=True, capture_output=True,
                         text=True, encoding="utf-8").stdout
    return [json.loads(line) for line in out.splitlines()]


def read_layout(path, encoding):
    """Ground truth from the file itself: which signals each BO_ block holds, and the BO_ lines
    whose identifier does not fit 29 bits, which our reader reports and leaves out with their
    signals. canmatrix masks such identifiers or refuses the BO_ line, and then hangs the
    refused message's signals on the message before it."""
    past = set()
    members = {}
    current = None
    with open(path, encoding=encoding) as f:
        for line in f:
            m = re.match(r"\s*BO_\s+(\d+)\s+(\w+)", line)
            if m:
                current = m.group(2)
                members[current] = set()
                if (int(m.group(1)) & 0x7FFFFFFF) > 0x1FFFFFFF:
                    past.add(current)
                continue
            m = re.match(r"\s+SG_\s+(\w+)", line)
            if m and current is not None:
                members[current].add(m.group(1))
            elif line.strip():
                current = None
    return past, members


def mask_bytes(frame, signal):
    # All of the signal's bits set: canmatrix packs -1 as ones when it takes the signal as an
    # integer.
    was_float = signal.is_float
    signal.is_float = False
    try:
        return int.from_bytes(frame.signals_to_bytes({signal.name: -1}), "big")
    finally:
        signal.is_float = was_float


def random_raw(signal, limit_bits=64):
    if signal.is_float:
        while True:
            if signal.size == 32:
                value = struct.unpack(">f", rng.getrandbits(32).to_bytes(4, "big"))[0]
            else:
                value = struct.unpack(">d", rng.getrandbits(64).to_bytes(8, "big"))[0]
            if value == value and abs(value) != float("inf"):
                return value
    bits = min(signal.size, limit_bits)
    if signal.values and rng.random() < 0.5:
        return rng.choice(sorted(signal.values))
    if signal.is_signed:
        return rng.randrange(-(1 << (bits - 1)), 1 << (bits - 1))
    return rng.randrange(0, 1 << bits)


def mux_values(frame, switch):
    values = set()
    for s in frame.signals:
        if s is switch:
            continue
        if frame.is_complex_multiplexed:
            if s.muxer_for_signal == switch.name:
                for low, high in s.mux_val_grp:
                    values.update(range(int(low), min(int(high), int(low) + 64) + 1))
        elif s.mux_val is not None:
            values.add(int(s.mux_val))
    return sorted(values)


def random_frame(frame):
    data = rng.getrandbits(frame.size * 8) if frame.size else 0
    # Put known multiplexor values in most frames, or the multiplexed signals are never seen.
    for s in frame.signals:
        if s.is_multiplexer and rng.random() < 0.8:
            choices = mux_values(frame, s)
            if choices:
                value = rng.choice(choices)
                mask = mask_bytes(frame, s)
                bits = int.from_bytes(frame.signals_to_bytes({s.name: value}), "big")
                data = (data & ~mask) | bits
    return data.to_bytes(frame.size, "big")


def same_number(a, b):
    if isinstance(a, str) or isinstance(b, str):
        return str(a) == str(b)
    a = float(a)
    b = float(b)
    if a != a and b != b:
        return True
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def check_decode(name, path, frame, ours_list):
    requests = []
    frames = [random_frame(frame) for _ in range(FRAMES_PER_MESSAGE)]
    for data in frames:
        requests.append({"op": "decode", "id": frame.arbitration_id.id,
                         "ext": frame.arbitration_id.extended, "data": data.hex()})
    return requests, frames


def compare_decoded(label, frame, data, theirs, ours):
    if ours is None:
        fail(f"{label}: our reader lost the message")
        return
    if set(theirs) != set(ours):
        fail(f"{label} {data.hex()}: signals {sorted(theirs)} != ours {sorted(ours)}")
        return
    for signal_name, decoded in theirs.items():
        raw, physical, text = ours[signal_name]
        signal = decoded.signal
        if signal.is_float:
            same_raw = same_number(decoded.raw_value, raw)
        else:
            same_raw = int(decoded.raw_value) == int(raw)
        if not same_raw:
            fail(f"{label} {data.hex()} {signal_name}: raw {decoded.raw_value} != ours {raw}")
            continue
        if not same_number(decoded.phys_value, physical):
            fail(f"{label} {data.hex()} {signal_name}: "
                 f"physical {decoded.phys_value} != ours {physical}")
        # canmatrix looks value names up by the physical value, the DBC keys them by the raw
        # value; the two agree only where physical == raw.
        if signal.values and signal.factor == 1 and signal.offset == 0:
            named = decoded.named_value
            if isinstance(named, str) and named != text:
                fail(f"{label} {data.hex()} {signal_name}: name {named!r} != ours {text!r}")


def encode_requests(frame):
    """Random raw values; what canmatrix packs them into, and the physical values for us."""
    cases = []
    masks = {s.name: mask_bytes(frame, s) for s in frame.signals}
    for _ in range(ENCODES_PER_MESSAGE):
        chosen = list(frame.signals)
        raws = {}
        if frame.is_multiplexed or frame.is_complex_multiplexed:
            # The selected signals only: walk the multiplexors down from the top.
            chosen = [s for s in frame.signals if s.mux_val is None and not s.is_multiplexer
                      and not getattr(s, "muxer_for_signal", None)]
            switches = [s for s in frame.signals if s.is_multiplexer
                        and not getattr(s, "muxer_for_signal", None) and s.mux_val is None]
            while switches:
                switch = switches.pop()
                choices = mux_values(frame, switch) or [0]
                value = rng.choice(choices)
                raws[switch.name] = value
                chosen.append(switch)
                for s in frame.signals:
                    if s is switch:
                        continue
                    by_name = getattr(s, "muxer_for_signal", None)
                    if frame.is_complex_multiplexed:
                        selected = by_name == switch.name and s.multiplexer_value_in_range(value)
                    else:
                        selected = s.mux_val is not None and int(s.mux_val) == value
                    if selected:
                        if s.is_multiplexer:
                            switches.append(s)
                        else:
                            chosen.append(s)
        # Signals sharing bits would make the result depend on the writing order.
        seen = 0
        overlap = False
        for s in chosen:
            if seen & masks[s.name]:
                overlap = True
            seen |= masks[s.name]
        if overlap:
            return None
        values = {}
        names = {}
        for s in chosen:
            if s.name not in raws:
                # Doubles carry 53 bits; our encoder takes physical values as doubles.
                raws[s.name] = random_raw(s, limit_bits=53)
            raw = raws[s.name]
            if s.is_float:
                values[s.name] = repr(float(raw) * float(s.factor) + float(s.offset))
            elif s.values and raw in s.values and s.factor == 1 and s.offset == 0 \
                    and list(s.values.values()).count(s.values[raw]) == 1 and rng.random() < 0.5:
                # A name two values share picks the first; only unique names are asked for.
                names[s.name] = s.values[raw]
            else:
                values[s.name] = str(decimal.Decimal(raw) * s.factor + s.offset)
        if frame.is_complex_multiplexed:
            # canmatrix's Frame.encode refuses extended multiplexing; its packer does not.
            expected = frame.signals_to_bytes(raws)
        else:
            expected = frame.encode(raws)
        cases.append(({"op": "encode", "id": frame.arbitration_id.id,
                       "ext": frame.arbitration_id.extended, "dlc": frame.size,
                       "values": values, "names": names}, bytes(expected)))
    return cases


def check_file(name):
    path = os.path.join(DATA, name)
    encoding = encoding_of(path)
    db = canmatrix.formats.loadp_flat(path, dbcImportEncoding=encoding,
                                      dbcImportCommentEncoding=encoding)
    ours = {(m[0], m[1]): m[2] for m in ask(path, [{"op": "list"}])[0]}
    past, members = read_layout(path, encoding)
    frames = [f for f in db.frames if f.name not in past]
    for frame in frames:
        frame.signals = [s for s in frame.signals if s.name in members[frame.name]]
    theirs = {(f.arbitration_id.id, f.arbitration_id.extended): f.name for f in frames}
    if ours != theirs:
        fail(f"{name}: messages differ: only ours {sorted(set(ours.items()) - set(theirs.items()))}"
             f" only canmatrix {sorted(set(theirs.items()) - set(ours.items()))}")
        return
    requests = []
    plan = []
    for frame in frames:
        if frame.size > 8:
            continue
        decode_requests, datas = check_decode(name, path, frame, ours)
        requests += decode_requests
        plan += [("decode", frame, d) for d in datas]
        cases = encode_requests(frame)
        if cases is None:
            continue
        requests += [c[0] for c in cases]
        plan += [("encode", frame, c[1]) for c in cases]
    answers = ask(path, requests)
    decoded = encoded = 0
    for (kind, frame, payload), answer in zip(plan, answers):
        label = f"{name} {frame.name}"
        if kind == "decode":
            compare_decoded(label, frame, payload, frame.decode(payload), answer)
            decoded += 1
        else:
            if answer != payload.hex():
                fail(f"{label}: encoded {answer} != canmatrix {payload.hex()}")
            encoded += 1
    print(f"{name}: {len(frames)} messages, {decoded} frames decoded, {encoded} encoded, "
          f"{len(past)} identifiers past 29 bits left out")


for file_name in sorted(os.listdir(DATA)):
    if file_name.endswith(".dbc"):
        check_file(file_name)
if failures:
    sys.exit(f"{len(failures)} mismatches")
