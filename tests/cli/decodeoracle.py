#!/usr/bin/python3
"""canmatrix judges `rcan-cli decode`: random frames for every message of a few databases, and
frames no database describes, go into one candump log; every line rcan-cli prints must be that
frame, in order, with the message canmatrix names and the physical values (or value names)
canmatrix decodes.
usage: decodeoracle.py PATH_TO_RCAN_CLI DATA_FOLDER
"""
import json
import math
import struct
import os
import random
import subprocess
import sys
import tempfile

import canmatrix.formats

CLI, DATA = sys.argv[1], sys.argv[2]
# toyota_2017_ref_pt.dbc is left out: canmatrix hangs some of its messages' signals on the wrong
# message (see tests/candb/dbcoracle.py, which works around it).
FILES = ["tesla_can.dbc", "hyundai_2015_ccan.dbc", "vw_mqb.dbc", "ESR.dbc", "edgecases.dbc"]
FRAMES_PER_MESSAGE = 5
rng = random.Random(28)
failures = []


def fail(text):
    failures.append(text)
    print("MISMATCH", text)


def same_number(a, b):
    a, b = float(a), float(b)
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b or abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def check(name):
    path = os.path.join(DATA, name)
    db = canmatrix.formats.loadp_flat(path)
    frames = [f for f in db.frames if f.size <= 8 and f.arbitration_id.id <= 0x1FFFFFFF]
    known = {(f.arbitration_id.id, f.arbitration_id.extended) for f in db.frames}
    plan = []
    t = 1000.0
    for frame in frames:
        for _ in range(FRAMES_PER_MESSAGE):
            data = bytes(rng.randrange(256) for _ in range(frame.size))
            plan.append((frame, frame.arbitration_id.id, frame.arbitration_id.extended, data))
    # Frames the database does not describe still get their line.
    for _ in range(10):
        ident = rng.randrange(0x800)
        if (ident, False) not in known:
            plan.append((None, ident, False, bytes(rng.randrange(256) for _ in range(8))))
    rng.shuffle(plan)
    lines = []
    for i, (_, ident, ext, data) in enumerate(plan):
        t += 0.001
        text = f"{ident:08X}" if ext else f"{ident:03X}"
        lines.append(f"({t:.6f}) can{i % 2} {text}#{data.hex().upper()} R\n")
    with tempfile.NamedTemporaryFile("w", suffix=".log", delete=False) as log:
        log.writelines(lines)
    try:
        run = subprocess.run([CLI, "decode", "--dbc", path, log.name], capture_output=True,
                             text=True, encoding="utf-8")
    finally:
        os.unlink(log.name)
    if run.returncode != 0:
        fail(f"{name}: exit {run.returncode}: {run.stderr}")
        return
    ours = [json.loads(line) for line in run.stdout.splitlines()]
    if len(ours) != len(plan):
        fail(f"{name}: {len(ours)} lines for {len(plan)} frames")
        return
    for i, ((frame, ident, ext, data), line) in enumerate(zip(plan, ours)):
        label = f"{name} line {i + 1} {ident:x}#{data.hex()}"
        if line["id"] != ident or line["extended"] != ext or line["channel"] != i % 2 + 1:
            fail(f"{label}: frame {line}")
            continue
        if frame is None:
            if line["name"] is not None or line["signals"] != {}:
                fail(f"{label}: unknown frame decoded as {line}")
            continue
        if line["name"] != frame.name:
            fail(f"{label}: name {line['name']} != {frame.name}")
            continue
        theirs = frame.decode(data)
        if set(theirs) != set(line["signals"]):
            fail(f"{label}: signals {sorted(theirs)} != ours {sorted(line['signals'])}")
            continue
        for signal_name, decoded in theirs.items():
            value = line["signals"][signal_name]
            signal = decoded.signal
            if isinstance(value, str):
                # A named value: canmatrix finds names by the physical value, the file keys them
                # by the raw value; they agree where the two are the same.
                named = decoded.named_value
                if signal.factor == 1 and signal.offset == 0 and named != value:
                    fail(f"{label} {signal_name}: name {value!r} != {named!r}")
            elif value is None:
                if not (math.isnan(float(decoded.phys_value))
                        or math.isinf(float(decoded.phys_value))):
                    fail(f"{label} {signal_name}: null for {decoded.phys_value}")
            elif signal.is_float and signal.size == 32 and signal.factor == 1 \
                    and signal.offset == 0:
                # A float signal is printed in the float's own shortest form.
                if struct.pack("<f", float(decoded.phys_value)) != struct.pack("<f", value):
                    fail(f"{label} {signal_name}: {value} != {decoded.phys_value}")
            elif not same_number(decoded.phys_value, value):
                fail(f"{label} {signal_name}: {value} != {decoded.phys_value}")


for file_name in FILES:
    check(file_name)
print(f"{len(failures)} mismatches")
sys.exit(1 if failures else 0)
