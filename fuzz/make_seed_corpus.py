#!/usr/bin/env python3
"""Writes the seed recordings in tests/data/rec/: valid files (ok-*) that load and broken ones
(bad-*) that must fail cleanly. The loader test runs every file there; the fuzzer starts from them.

    python3 fuzz/make_seed_corpus.py
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "rec")


def header(n, length_ms=0, description=b"", model=0, header_length=652, magic=12370, terminated=True):
    h = bytearray(652)
    struct.pack_into("<iiiI", h, 0, header_length, magic, n, 0)
    struct.pack_into("<I", h, 20, length_ms)
    field = description[:128] if not terminated else description[:127]
    h[24:24 + len(field)] = field
    h[152] = model
    return bytes(h)


def block(sensor_id, samples, count=None, length=128, magic=12360):
    b = bytearray(128)
    struct.pack_into("<iiii", b, 0, length, magic, len(samples) if count is None else count, sensor_id)
    return bytes(b) + b"".join(struct.pack("<IH", t, v) for t, v in samples)


def ramp(n, step_ticks, start_value=0, delta=1):
    return [(i * step_ticks, (start_value + i * delta) & 0xFFFF) for i in range(n)]


FILES = {
    # Loads with no histories.
    "ok-empty.rec": header(0, 0, b"Empty"),
    # OBD1 (model 2): the road speed is id 19 there; laps on id 158.
    "ok-obd1.rec": header(3, 5000, b"Recording #1", 2)
    + block(1, ramp(10, 50000, 1000, 25))
    + block(19, ramp(5, 100000, 10, 3))
    + block(158, [(150000, 1), (400000, 2)]),
    # Any-ECU family (model 4): road speed is id 161; a temperature and an error byte.
    "ok-any.rec": header(3, 2000, b"Track day", 4)
    + block(161, ramp(4, 50000, 20, 5))
    + block(4, ramp(3, 60000, 90, 1))
    + block(40, [(0, 5), (100000, 0)]),
    # Unknown sensor ids are dropped; only Revs stays.
    "ok-unknown-ids.rec": header(3, 1000, b"Unknown", 0)
    + block(7777, ramp(2, 1000))
    + block(1, ramp(3, 1000, 500))
    + block(8888, ramp(2, 1000)),
    # Ends after the first of three blocks: one message lists the two missing, one history stays.
    "ok-missing-blocks.rec": header(3, 1000, b"Cut short", 0) + block(1, ramp(4, 2000, 800)),
    # A description filling the whole field without its terminator.
    "ok-unterminated-description.rec": header(0, 0, b"x" * 128, 0, terminated=False),
    # Bytes after the last block are never read.
    "ok-trailing-bytes.rec": header(1, 100, b"Trailing", 0) + block(1, ramp(2, 500)) + b"\xff" * 40,
    # Header failures; a negative history count is a damaged header.
    "bad-negative-count.rec": header(-5, 0, b"Negative", 0),
    "bad-short.rec": b"\x8c\x02\x00\x00\x52\x30\x00\x00\x00\x00",
    "bad-header-length.rec": header(0, header_length=600),
    "bad-header-magic.rec": header(0, magic=12345),
    # Corrupt history blocks.
    "bad-block-magic.rec": header(3, 1000, b"Bad block", 0)
    + block(1, ramp(2, 100))
    + block(4, ramp(2, 100), magic=0)
    + block(5, ramp(2, 100)),
    "bad-block-length.rec": header(1, 0, b"", 0) + block(1, ramp(2, 100), length=64),
    "bad-truncated-samples.rec": header(1, 0, b"", 0) + block(1, ramp(100, 100))[: 128 + 6 * 50 + 3],
    "bad-huge-sample-count.rec": header(1, 0, b"", 0) + block(1, ramp(3, 100), count=0x7FFFFFFF),
    "bad-negative-sample-count.rec": header(1, 0, b"", 0) + block(1, [], count=-1),
    "bad-huge-history-count.rec": header(0x7FFFFFFF, 0, b"", 0) + block(1, ramp(2, 100)),
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in FILES.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print(f"wrote {len(FILES)} files to {os.path.normpath(OUT)}")


if __name__ == "__main__":
    main()
