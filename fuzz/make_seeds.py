#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus (fuzz/corpus/): one input per way a drive can answer
differently from a working one, each a complete run that departs from the working drive at
one point of the update (see fuzzed_drive.h for the byte layout).

Usage: make_seeds.py [DIR]   (default: the corpus folder beside this script)

With the working drive answering everything, the requests of a run come in this order (the
first byte is the machine's layout; 1 = an ordinary drive, then the fuzzed one):
  1 open for the listing      2 INQUIRY             3 READ BUFFER (identity block)
  4 open for the switch       5 media change off    6 START STOP UNIT (open the tray)
  7-9 TEST UNIT READY while the tray opens          10 WRITE BUFFER begin
  11-138 the 128 chunks       139 commit            140-180 TEST UNIT READY while writing,
  the last of them the reset  181-182 TEST UNIT READY after the reset
  183 START STOP UNIT (close the tray)              184 media change on
"""
import os
import sys

WORKING = b"\x00"


def busy(selector, code):
    """A selector byte with the busy-time code (1-31) in its high five bits."""
    return bytes([selector[0] | (code << 3)]) + selector[1:]


def good(data=b""):
    count = len(data)
    head = bytes([count]) if count < 0xFF else bytes([0xFF, count >> 8, count & 0xFF])
    return b"\x01" + head + data


def raw_sense(sense):
    return b"\x02" + bytes([len(sense)]) + sense


def known(index, info=None):
    out = b"\x03" + bytes([index])
    if info is not None:
        out += info.to_bytes(4, "big")
    return out


NO_MEDIUM, TRAY_OPEN, BECOMING_READY, WRITING, RESET = 0, 1, 2, 3, 4
INVALID_FIELD, INVALID_OPCODE, SEQUENCE_ERROR, WRITING_NO_INFO = 5, 6, 7, 8
WRITE_ERROR, TARGET_FAILURE = 10, 11


def failed(index=0):
    return b"\x04" + bytes([index])


HANG = b"\x05"


def status(value, sense=b"", claimed=None):
    return b"\x06" + bytes([value, len(sense) if claimed is None else claimed]) + sense


def gone(checks):
    return b"\x07" + bytes([checks])


OPEN_REFUSED = b"\x07"
SWITCH_FAILS = b"\x03"

# Requests, numbered as in the docstring.
OPEN_LIST, INQUIRY, READ_BUFFER, OPEN_SWITCH, SWITCH_OFF, TRAY = 1, 2, 3, 4, 5, 6
TRAY_POLL, BEGIN, FIRST_CHUNK, COMMIT, FIRST_POLL = 7, 10, 11, 139, 140
AFTER_RESET_POLL, CLOSE_TRAY, SWITCH_ON = 181, 183, 184


def run(layout=1, changes=None, length=200):
    """The input for a run: `changes` maps request numbers to their bytes, every other
    request is answered by the working drive."""
    changes = changes or {}
    out = bytes([layout])
    for request in range(1, length + 1):
        out += changes.get(request, WORKING)
    return out


def inquiry(text, total=36):
    """Standard INQUIRY data around `text` (vendor, product, revision from byte 8), cut or
    extended (with 0xFF bytes) to `total` bytes."""
    data = bytearray([0x05, 0x80, 0x05, 0x02, 31, 0, 0, 0]) + text.encode("latin-1")
    data = data[:36].ljust(36, b" ")
    data += b"\xFF" * max(0, total - 36)
    return bytes(data[:total])


IDENTITY = "ZELT    QX-57N8RV       1.00"


def identity_block(code=b"KT8", size=256):
    block = bytearray(256)
    block[0:29] = b"ZELT QX-57N8RV DRIVE FIRMWARE"
    block[64:70] = b"IDENT="
    block[70:73] = code
    block[128:256] = b"\xFF" * 128
    return bytes(block[:size])


def fixed_sense(key, asc, ascq, info=None, length=18):
    sense = bytearray(18)
    sense[0] = 0xF0 if info is not None else 0x70
    sense[2] = key
    if info is not None:
        sense[3:7] = info.to_bytes(4, "big")
    sense[7] = 10
    sense[12] = asc
    sense[13] = ascq
    return bytes(sense[:length])


def polls(*answers):
    return {FIRST_POLL + i: answer for i, answer in enumerate(answers)}


SEEDS = {
    # The update as it should go, on three machines; a full table that leaves the drive out.
    "complete_update": run(),
    "complete_update_drive_alone": run(layout=0),
    "complete_update_drive_between": run(layout=5),
    "eight_drives_before": run(layout=3, length=40),
    # Listing.
    "listing_open_refused": run(changes={OPEN_LIST: OPEN_REFUSED}),
    "inquiry_fails": run(changes={INQUIRY: failed(0)}),
    "inquiry_hangs": run(changes={INQUIRY: HANG}),
    "inquiry_check_condition": run(changes={INQUIRY: known(INVALID_FIELD)}),
    "inquiry_20_bytes": run(changes={INQUIRY: good(inquiry(IDENTITY, total=20))}),
    "inquiry_30_bytes": run(changes={INQUIRY: good(inquiry(IDENTITY, total=30))}),
    "inquiry_192_bytes": run(changes={INQUIRY: good(inquiry(IDENTITY, total=192))}),
    "inquiry_shifted": run(changes={INQUIRY: good(inquiry(" " + IDENTITY))}),
    "inquiry_other_model": run(changes={INQUIRY: good(inquiry("ZELT    QX-57N8RW       1.00"))}),
    "inquiry_no_spaces": run(changes={INQUIRY: good(inquiry("ZELT\0\0\0\0QX-57N8RV\0\0\0\0\0\0\0" "1.00"))}),
    # Eligibility.
    "identity_up_to_date": run(changes={READ_BUFFER: good(identity_block(b"KT7"))}),
    "identity_other_code": run(changes={READ_BUFFER: good(identity_block(b"XQ9"))}),
    "identity_cut_short": run(changes={READ_BUFFER: good(identity_block(size=72))}),
    "identity_empty": run(changes={READ_BUFFER: good()}),
    "identity_check_condition": run(changes={READ_BUFFER: raw_sense(bytes(range(0x70, 0x82)))}),
    "identity_hangs": run(changes={READ_BUFFER: HANG}),
    # Media change notification, tray.
    "switch_refused": run(changes={OPEN_SWITCH: OPEN_REFUSED}),
    "switch_fails_both_ways": run(changes={SWITCH_OFF: SWITCH_FAILS, SWITCH_ON: SWITCH_FAILS}),
    "tray_refused": run(changes={TRAY: known(INVALID_FIELD)}),
    "tray_never_opens": run(changes={TRAY_POLL + i: known(BECOMING_READY) for i in range(5)}),
    "tray_open_at_once": run(changes={TRAY_POLL: known(TRAY_OPEN)}),
    "tray_poll_fails": run(changes={TRAY_POLL: failed(1), TRAY_POLL + 1: gone(3)}),
    # Download.
    "begin_refused": run(changes={BEGIN: known(SEQUENCE_ERROR)}),
    "chunk_refused_halfway": run(changes={FIRST_CHUNK + 64: known(WRITE_ERROR)}),
    "chunk_transfer_fails": run(changes={FIRST_CHUNK + 1: failed(1)}),
    "chunk_hangs": run(changes={FIRST_CHUNK + 100: HANG}),
    "chunk_busy_long": run(changes={FIRST_CHUNK + 5: busy(WORKING, 27)}),
    "commit_refused": run(changes={COMMIT: known(SEQUENCE_ERROR)}),
    "commit_drive_gone": run(changes={COMMIT: gone(0)}),
    # The write phase.
    "progress_odd_values": run(changes=polls(
        known(WRITING, 0), known(WRITING, 0xFFFFFFFF), known(WRITING, 0x200000),
        known(WRITING, 0x100000), known(WRITING_NO_INFO), known(WRITING, 0x1FFFFF))),
    "reset_at_once": run(changes=polls(known(RESET))),
    "never_resets": run(changes=polls(*[busy(known(WRITING, 0x100000), 31)] * 3)),
    "poll_transfer_fails": run(changes=polls(failed(0), failed(3), failed(2))),
    "poll_good_answers": run(changes=polls(*[busy(good(), 20)] * 20)),
    "poll_drive_vanishes": run(changes=polls(known(WRITING, 0x1000), gone(12))),
    "poll_odd_status": run(changes=polls(status(0x08), status(0x18, fixed_sense(6, 0x29, 0)))),
    "poll_sense_length_lies": run(changes=polls(status(0x02, fixed_sense(2, 4, 8, 0x1000), claimed=0xFF),
                                                status(0x02, fixed_sense(6, 0x29, 0), claimed=40))),
    "poll_reset_sense_13_bytes": run(changes=polls(raw_sense(fixed_sense(6, 0x29, 0, length=13)))),
    "poll_descriptor_sense": run(changes=polls(raw_sense(bytes([0x72, 0x06, 0x29, 0x00, 0, 0, 0, 0])))),
    "poll_other_sense": run(changes=polls(known(NO_MEDIUM), known(TARGET_FAILURE), known(WRITING, 0x80000))),
    "after_reset_commands_fail": run(changes={AFTER_RESET_POLL: failed(0), AFTER_RESET_POLL + 1: HANG,
                                                CLOSE_TRAY: known(INVALID_OPCODE)}),
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(SEEDS.items()):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    print(f"{len(SEEDS)} seeds in {folder}")


if __name__ == "__main__":
    main()
