#!/usr/bin/env python3
"""libsgdrive.so preloaded into a real process: SG_IO on the device files of the configured
drives reaches the emulated drives, everything else reaches the C library, and a broken
description is loud.

    preload_check.py --tool SGDRIVE --library LIB [--tool SGDRIVE --library LIB ...] --work DIR

Each tool is run with its library (pairs in order): the 64-bit ones, and the 32-bit ones when
they are built (whose tool, made with 64-bit time, reaches the library through
__ioctl_time64 as Debian's 32-bit Wine does).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print(f"FAILED: {message}", flush=True)
    return condition


def send(tool, library, drives, *arguments, cwd):
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    env.pop("SGDRIVE_DRIVES", None)
    if library:
        env["LD_PRELOAD"] = str(library)
    if drives is not None:
        env["SGDRIVE_DRIVES"] = drives
    result = subprocess.run([str(tool), "send", *arguments], env=env, cwd=cwd,
                            capture_output=True, text=True, timeout=30)
    return result


def write(path, text):
    path.write_text(text)
    return path


def check_pair(tool, library, work):
    name = library.parent.name
    folder = work / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for device in ("g.dev", "e.dev", "other.dev"):
        (folder / device).touch()
    g = write(folder / "g.conf", "kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
              "transcript = g.txt\nfault = fail start-stop-unit 1 error=5\n"
              "fault = hang read-buffer 1\nhang-limit-ms = 100\n")
    e = write(folder / "e.conf", "kind = ordinary\ndevice = e.dev\ntranscript = e.txt\n")
    broken = write(folder / "broken.conf", "kind = target\ndevice = g.dev\nfirmware-code = KT8\n"
                   "tray-speed = fast\n")
    drives = f"{g}:{e}"
    inquiry = ("in=36", "12", "00", "00", "00", "24", "00")

    print(f"-- {tool} with {library}", flush=True)

    plain = send(tool, None, None, "g.dev", *inquiry, cwd=folder)
    check("errno 25" in plain.stdout, f"{name}: SG_IO on a plain file without the library "
          f"should fail with ENOTTY: {plain.stdout}{plain.stderr}")

    answer = send(tool, library, drives, "g.dev", *inquiry, cwd=folder)
    check(answer.returncode == 0 and "status=00" in answer.stdout,
          f"{name}: INQUIRY to G: {answer.stdout}{answer.stderr}")
    data = re.search(r"data=([0-9A-F]*)", answer.stdout)
    text = bytes.fromhex(data.group(1)).decode("ascii", "replace") if data else ""
    check(text[8:12] == "ZELT" and text[16:25] == "QX-57N8RV",
          f"{name}: INQUIRY data of G: names '{text[8:36]}'")

    unit = send(tool, library, drives, "e.dev", "00", "00", "00", "00", "00", "00", cwd=folder)
    check("status=02 masked=01 host=00 driver=08 sb_len_wr=18" in unit.stdout and
          "sense=70000200000000" in unit.stdout and "3A01" in unit.stdout,
          f"{name}: TEST UNIT READY to E: (no medium): {unit.stdout}{unit.stderr}")

    failed = send(tool, library, drives, "g.dev", "1B", "00", "00", "00", "02", "00", cwd=folder)
    check("errno 13" in failed.stdout,
          f"{name}: a failing pass-through (error 5) should fail with EACCES: {failed.stdout}")

    hung = send(tool, library, drives, "g.dev", "in=256", "timeout=60000", "3C", "06", "00",
                "1E", "C0", "00", "00", "01", "00", "00", cwd=folder)
    check("status=00 masked=00 host=03 driver=06" in hung.stdout and "resid=256" in hung.stdout,
          f"{name}: a hung command should time out (DID_TIME_OUT): {hung.stdout}{hung.stderr}")

    other = send(tool, library, drives, "other.dev", *inquiry, cwd=folder)
    check("errno 25" in other.stdout,
          f"{name}: SG_IO on a file that is no drive should reach the C library: {other.stdout}")

    lines = (folder / "g.txt").read_text().splitlines() if (folder / "g.txt").exists() else []
    expected = [r"12 00 00 00 24 00 in 36 t5 -> GOOD 36B @\d+",
                r"1B 00 00 00 02 00 none 0 t5 -> FAILED 5 \[fault 0 PassThroughFailure\] @\d+",
                r"3C 06 00 1E C0 00 00 01 00 00 in 256 t60 -> HUNG \[fault 1 Hang\] @\d+"]
    check(len(lines) == len(expected) and
          all(re.fullmatch(p, l) for p, l in zip(expected, lines)),
          f"{name}: G: transcript {lines}")

    bad = send(tool, library, str(broken), "g.dev", *inquiry, cwd=folder)
    check("unknown setting 'tray-speed'" in bad.stderr and "broken.conf:4" in bad.stderr,
          f"{name}: a broken description should be reported on stderr: {bad.stderr}")
    check("errno 5" in bad.stdout,
          f"{name}: with a broken description SG_IO should fail with EIO: {bad.stdout}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", action="append", required=True)
    parser.add_argument("--library", action="append", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if len(args.tool) != len(args.library):
        parser.error("give a --library for every --tool")
    work = Path(args.work).resolve()
    for tool, library in zip(args.tool, args.library):
        tool, library = Path(tool).resolve(), Path(library).resolve()
        if not tool.exists() or not library.exists():
            check(False, f"{tool} or {library} is not built")
            continue
        check_pair(tool, library, work)
    if failures:
        print(f"{len(failures)} check(s) failed", flush=True)
        return 1
    print("all preload checks passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
