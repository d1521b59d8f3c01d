#!/usr/bin/python3
"""python-can and Wireshark as the independent judges of RCAN Tools' candump, ASC and TRC logs.

Every file RCAN Tools writes must read in python-can as the same frames with the same gaps, a
plain candump file also in Wireshark (tshark), and every file python-can writes must open in
RCAN Tools as the same frames.
usage: logoracle.py PATH_TO_LOGORACLE
"""
import json
import os
import subprocess
import sys
import tempfile

import can
from can.io.trc import TRCFileVersion

HELPER = sys.argv[1]
TOLERANCE = 1e-4 + 1e-7  # 0.1 ms, the device clock's step


def helper(*args):
    out = subprocess.run([HELPER, *args], check=True, capture_output=True, text=True).stdout
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def can_channel(fmt, frame):
    # candump names interfaces can0, can1; ASC counts channels from 1 and python-can from 0;
    # python-can's TRC reader gives the bus as written, counted from 1.
    return {"candump": f"can{frame['channel'] - 1}",
            "candump-x": f"can{frame['channel'] - 1}",
            "asc": frame["channel"] - 1,
            "trc": frame["channel"]}[fmt]


def comparable(fmt, frames):
    # python-can 4.1 neither reads nor writes remote frames in TRC.
    return [f for f in frames if not (fmt == "trc" and f["remote"])]


def check(fmt, direction, want, got_messages, want_times, got_times, tolerance=TOLERANCE):
    label = f"{fmt} {direction}"
    if len(want) != len(got_messages):
        sys.exit(f"{label}: {len(got_messages)} frames, expected {len(want)}")
    for i, (w, m) in enumerate(zip(want, got_messages)):
        facts = (m["id"], m["ext"], m["remote"], m["dlc"], m["data"], m["rx"], m["channel"])
        expected = (w["id"], w["ext"], w["remote"], w["dlc"], w["data"], w["rx"], w["channel"])
        if facts != expected:
            sys.exit(f"{label}: frame {i}: {facts} != {expected}")
        gap = (got_times[i] - got_times[0]) - (want_times[i] - want_times[0])
        if abs(gap) > tolerance:
            sys.exit(f"{label}: frame {i}: gap off by {gap:.7f} s")


def from_message(fmt, msg, channel):
    return {"id": msg.arbitration_id, "ext": msg.is_extended_id, "remote": msg.is_remote_frame,
            "dlc": msg.dlc, "data": "" if msg.is_remote_frame else bytes(msg.data).hex(),
            "rx": msg.is_rx, "channel": channel}


def check_wireshark(path, want):
    # Wireshark's candump reader must take the whole file: every frame, same identifier, type,
    # length and data. The data come from the packet's last eight bytes (its SocketCAN frame),
    # since Wireshark hands some payloads to protocols of their own (AUTOSAR NM for id 0).
    run = subprocess.run(["tshark", "-r", path, "-T", "json", "-x"], capture_output=True,
                         text=True)
    if run.returncode != 0:
        sys.exit(f"tshark refuses {path}: {run.stderr.strip()}")
    packets = [p["_source"]["layers"] for p in json.loads(run.stdout)]
    if len(packets) != len(want):
        sys.exit(f"candump in Wireshark: {len(packets)} frames, expected {len(want)}")
    for i, (layers, w) in enumerate(zip(packets, want)):
        fields = layers["can"]
        remote = fields["can.flags.rtr"] == "1"
        length = int(fields["can.len"])
        data = bytes.fromhex(layers["frame_raw"][0])[-8:][:length].hex()
        facts = (int(fields["can.id"]), fields["can.flags.xtd"] == "1", remote, length,
                 "" if remote else data)
        expected = (w["id"], w["ext"], w["remote"], w["dlc"], w["data"])
        if facts != expected:
            sys.exit(f"candump in Wireshark: frame {i}: {facts} != {expected}")


readers = {"candump": can.CanutilsLogReader, "candump-x": can.CanutilsLogReader,
           "asc": can.ASCReader, "trc": can.TRCReader}
writers = {"candump": can.CanutilsLogWriter, "asc": can.ASCWriter, "trc": can.TRCWriter}
suffixes = {"candump": ".log", "candump-x": ".log", "asc": ".asc", "trc": ".trc"}

table = helper("table")
with tempfile.TemporaryDirectory() as folder:
    for fmt in ("candump", "candump-x", "asc", "trc"):
        # RCAN Tools writes, python-can reads.
        path = os.path.join(folder, "ours-" + fmt + suffixes[fmt])
        helper("write", fmt, path)
        messages = list(readers[fmt](path))
        want = comparable(fmt, table)
        # The plain candump line has no direction; readers take every frame as received.
        want_mapped = [dict(w, channel=can_channel(fmt, w), rx=w["rx"] or fmt == "candump")
                       for w in want]
        got = [from_message(fmt, m, m.channel) for m in messages]
        check(fmt, "written by RCAN Tools", want_mapped, got,
              [w["time_us"] / 1e6 for w in want], [m.timestamp for m in messages])
        if fmt == "candump":
            check_wireshark(path, want)
        if fmt not in writers:
            continue

        # python-can writes, RCAN Tools reads.
        path = os.path.join(folder, "theirs" + suffixes[fmt])
        writer = writers[fmt](path)
        for w in table:
            data = bytes.fromhex(w["data"]) if not w["remote"] else b""
            writer.on_message_received(can.Message(
                timestamp=w["time_us"] / 1e6, arbitration_id=w["id"], is_extended_id=w["ext"],
                is_remote_frame=w["remote"], dlc=w["dlc"], data=data, is_rx=w["rx"],
                channel=can_channel(fmt, w) if fmt == "candump" else w["channel"] - 1))
        writer.stop()
        read = helper("read", path)
        # python-can 4.1 writes a candump remote frame as ID#R, without its DLC.
        lost_dlc = [dict(w, dlc=0) if fmt == "candump" and w["remote"] else w for w in want]
        check(fmt, "written by python-can", lost_dlc, read,
              [w["time_us"] / 1e6 for w in want], [r["time_us"] / 1e6 for r in read])

    # python-can's TRC 1.0: no version line, no bus, no direction, whole milliseconds.
    path = os.path.join(folder, "theirs-1.0.trc")
    writer = can.TRCWriter(path)
    writer.file_version = TRCFileVersion.V1_0
    want = comparable("trc", table)
    for w in want:
        writer.on_message_received(can.Message(
            timestamp=w["time_us"] / 1e6, arbitration_id=w["id"], is_extended_id=w["ext"],
            dlc=w["dlc"], data=bytes.fromhex(w["data"]), is_rx=w["rx"]))
    writer.stop()
    read = helper("read", path)
    check("trc 1.0", "written by python-can", [dict(w, channel=1, rx=True) for w in want], read,
          [w["time_us"] / 1e6 for w in want], [r["time_us"] / 1e6 for r in read],
          tolerance=0.5e-3 + 1e-7)
print("python-can agrees on candump, ASC and TRC; Wireshark reads every candump frame")
