#!/usr/bin/env python3
"""The Windows program under Wine, driven from the keyboard, against emulated drives.

    wine_e2e.py prefix   --work DIR
    wine_e2e.py scenario NAME --exe EXE --preload DIR --work DIR --artifacts DIR
    wine_e2e.py demo     --exe EXE --preload DIR --work DIR

`prefix` makes the Wine prefix every run starts from (once; it is kept in DIR and made again
when Wine changes). `scenario` runs one scenario on a copy of it, on its own X server (Xvfb):
the real ZeltFwUpdater.exe, with libsgdrive.so preloaded so that the drive letters E: (an
ordinary DVD writer) and G: (the ZELT drive) lead to emulated drives. It presses keys as a user
would and reads what happened: the message boxes (Wine's relay log of MessageBoxA), what the
progress bar was given (the progress channel), what each drive received (its transcript),
the firmware the drive keeps (its store file) and the exit code. Screenshots go to the
artifacts folder. `demo` does the same set-up and starts the program on the current display
for a person to use.

Every wait is bounded; a scenario that fails prints the transcripts, the end of Wine's log and
where the screenshots are.
"""

import argparse
import fcntl
import os
import re
import shutil
import select
import signal
import struct
import subprocess
import sys
import time
import traceback
from pathlib import Path

MAIN_TITLE = "ZELT_FW_Updater_For_QX-57N8RV 2.00"
IMAGE_SIZE = 0x200000
IDENTITY_CODE_AT = 0x1EC000 + 70
RCDATA = 10
IDR_FIRMWARE = 109

TEXT_COMPLETED = "FW Updating Completed Sucessfully"
TEXT_UP_TO_DATE = "Your optical drive firmware is up to date"
TEXT_CHUNK_FAILED = "Updating Failure #4."
TEXT_NO_TARGET = "There is no target drive."
TEXT_NOT_TARGET = "The selected drive is not target drive."
TEXT_CHECK_FAILED = "Updating Failure #1."
# As Wine's relay log writes it: the line break escaped.
TEXT_PASSTHROUGH_FAILED_5 = r"DeviceIoControl Error: Error Code 5\nI can't issue Command through SPTI"

RELAY_FUNCTIONS = "user32.MessageBoxA;user32.EnableWindow"
DLL_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
SCREEN = "800x600x24"

# Bounds of every wait, in seconds. Generous: under an emulated CPU Wine starts slowly.
WINDOW_WAIT = 90
STEP_WAIT = 60
EXIT_WAIT = 60


class Failure(Exception):
    pass


def log(message):
    print(message, flush=True)


def run(command, env=None, timeout=60, check=True, **kwargs):
    try:
        result = subprocess.run(command, env=env, timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired as expired:
        raise Failure(f"{command[0]} did not finish within {timeout} s") from expired
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(map(str, command))} failed with exit code {result.returncode}")
    return result


def wait_until(predicate, timeout, what, interval=0.2):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"gave up after {timeout} s waiting for {what}")
        time.sleep(interval)


def check_tools():
    missing = [tool for tool in ("wine", "wineserver", "Xvfb", "xdotool", "import")
               if shutil.which(tool) is None]
    if missing:
        raise Failure("missing " + ", ".join(missing) +
                      ": run scripts/install-deps.sh e2e (Wine, Xvfb, xdotool, ImageMagick)")


# ---- the firmware image inside the program ------------------------------------------------

def embedded_firmware(exe):
    """The RCDATA resource IDR_FIRMWARE of a PE file, read from its resource directory."""
    data = Path(exe).read_bytes()
    if data[:2] != b"MZ":
        raise Failure(f"{exe} is not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise Failure(f"{exe} has no PE header")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
    table = optional + optional_size
    spans = []
    for i in range(sections):
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from(
            "<IIII", data, table + 40 * i + 8)
        spans.append((virtual_address, max(virtual_size, raw_size), raw_offset))

    def offset(rva):
        for address, size, raw in spans:
            if address <= rva < address + size:
                return rva - address + raw
        raise Failure(f"{exe}: address {rva:#x} is in no section")

    root = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield name, target

    def child(directory, wanted):
        for name, target in entries(directory):
            if not name & 0x80000000 and name == wanted:
                return target
        raise Failure(f"{exe}: resource {wanted} not found")

    types = child(root, RCDATA)
    names = root + (child(root + (types & 0x7FFFFFFF), IDR_FIRMWARE) & 0x7FFFFFFF)
    _, language = next(entries(names))
    rva, size = struct.unpack_from("<II", data, root + (language & 0x7FFFFFFF))
    start = offset(rva)
    return data[start:start + size]


def identity_code(image):
    return image[IDENTITY_CODE_AT:IDENTITY_CODE_AT + 3].decode("ascii", "replace")


# ---- the Wine prefix ----------------------------------------------------------------------

def wine_environment(prefix, extra=None):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix),
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": DLL_OVERRIDES,
    })
    env.pop("LD_PRELOAD", None)
    env.pop("SGDRIVE_DRIVES", None)
    if extra:
        env.update(extra)
    return env


def prefix_stamp():
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True,
                             timeout=120).stdout.strip()
    inf = Path("/usr/share/wine/wine.inf")
    mtime = int(inf.stat().st_mtime) if inf.exists() else 0
    return f"{version} {mtime}\n"


PREFIX_SETTINGS = r"""REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"e:"="cdrom"
"g:"="cdrom"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayInclude"="{relay}"
"""


def prepare_prefix(work):
    """The ready prefix in WORK/wine-prefix, made if missing or made by another Wine."""
    check_tools()
    work.mkdir(parents=True, exist_ok=True)
    ready = work / "wine-prefix"
    with open(work / "wine-prefix.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        stamp = prefix_stamp()
        stamp_file = ready / ".e2e-stamp"
        if stamp_file.exists() and stamp_file.read_text() == stamp:
            return ready
        started = time.monotonic()
        log(f"making the Wine prefix {ready} ({stamp.strip()})")
        fresh = work / "wine-prefix.new"
        shutil.rmtree(fresh, ignore_errors=True)
        shutil.rmtree(ready, ignore_errors=True)
        env = wine_environment(fresh)
        env.pop("DISPLAY", None)
        run(["wineboot", "-i"], env=env, timeout=600, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        settings = fresh / "e2e-settings.reg"
        settings.write_text(PREFIX_SETTINGS.replace("{relay}", RELAY_FUNCTIONS))
        run(["wine", "reg", "import", "Z:" + str(settings).replace("/", "\\")], env=env,
            timeout=300, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run(["wineserver", "-w"], env=env, timeout=300)
        settings.unlink()
        system_reg = (fresh / "system.reg").read_text(errors="replace")
        if '"g:"="cdrom"' not in system_reg:
            raise Failure("the prefix did not take the drive settings")
        (fresh / ".e2e-stamp").write_text(stamp)
        fresh.rename(ready)
        log(f"prefix ready in {time.monotonic() - started:.0f} s")
        return ready


# Large folders Wine only reads are linked rather than copied.
SHARED_IN_COPY = ("drive_c/windows/system32/", "drive_c/windows/winsxs/",
                  "drive_c/windows/Fonts/")


def copy_prefix(ready, target):
    shutil.rmtree(target, ignore_errors=True)
    for folder, _, files in os.walk(ready):
        relative = os.path.relpath(folder, ready)
        destination = target / relative
        destination.mkdir(parents=True, exist_ok=True)
        for name in files:
            source = Path(folder) / name
            path = f"{relative}/{name}" if relative != "." else name
            if source.is_symlink():
                continue
            if any(path.startswith(shared) for shared in SHARED_IN_COPY):
                os.link(source, destination / name)
            else:
                shutil.copy2(source, destination / name)
    (target / "dosdevices").mkdir(exist_ok=True)
    for link in (ready / "dosdevices").iterdir():
        if link.name in ("c:", "z:"):
            os.symlink(os.readlink(link), target / "dosdevices" / link.name)


# ---- emulated drives ----------------------------------------------------------------------

class Drive:
    def __init__(self, letter, folder, settings):
        self.letter = letter
        self.folder = folder
        self.device = folder / f"{letter}.dev"
        self.media = folder / f"media-{letter}"
        self.config = folder / f"{letter}.conf"
        self.transcript = folder / f"{letter}-transcript.txt"
        self.store = folder / f"{letter}-firmware.bin"
        self.device.touch()
        self.media.mkdir(exist_ok=True)
        lines = [f"device = {self.device.name}", f"transcript = {self.transcript.name}"]
        lines += settings
        self.config.write_text("\n".join(lines) + "\n")

    def lines(self):
        if not self.transcript.exists():
            return []
        return self.transcript.read_text().splitlines()

    def firmware(self):
        return self.store.read_bytes()


def ordinary_drive(folder):
    return Drive("e", folder, ["kind = ordinary"])


def target_drive(folder, extra=(), write_ms=2000):
    return Drive("g", folder, [
        "kind = target",
        "firmware-store = g-firmware.bin",
        "firmware-code = KT8",
        "tray-open-ms = 300",
        "tray-close-ms = 300",
        f"write-ms = {write_ms}",
        *extra,
    ])


def kind_of(line):
    """The command of a transcript line by its CDB: the first bytes tell."""
    cdb = line.split(" ")
    if cdb[0] == "12":
        return "inquiry"
    if cdb[0] == "00":
        return "test-unit-ready"
    if cdb[0] == "1B":
        return "start-stop-unit"
    if cdb[0] == "3C":
        return "read-buffer"
    if cdb[0] == "3B":
        return {"01": "download-begin", "06": "download-chunk",
                "07": "download-commit"}.get(cdb[1], "write-buffer")
    return "other"


# ---- one scenario ---------------------------------------------------------------------------

class Rig:
    """A prefix copy, an X server and the drives of one scenario."""

    def __init__(self, name, args):
        self.name = name
        self.exe = Path(args.exe).resolve()
        self.preload = Path(args.preload).resolve()
        self.work = Path(args.work).resolve()
        self.artifacts = Path(args.artifacts).resolve() / name
        self.folder = self.work / "run" / name
        self.prefix = self.folder / "prefix"
        self.drives_folder = self.folder / "drives"
        self.drives = []
        self.xvfb = None
        self.display = None
        self.program = None
        self.main = None
        self.log_file = None
        self.log_path = None
        self.runs = 0
        self.shots = 0
        self.allowed_boxes = set()  # texts of the boxes this scenario expects to see
        self.closed = False

        for library in ("i686", "x86_64"):
            if not (self.preload / library / "libsgdrive.so").exists():
                raise Failure(f"{self.preload}/{library}/libsgdrive.so is missing: build the "
                              "host preset (the 32-bit library needs g++-multilib)")
        if not self.exe.exists():
            raise Failure(f"{self.exe} is missing: build the windows preset first")

        self.end_leftovers()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        self.drives_folder.mkdir(parents=True)
        self.artifacts.mkdir(parents=True)
        ready = prepare_prefix(self.work)
        copy_prefix(ready, self.prefix)

    def end_leftovers(self):
        """Ends the Wine processes and X server of an earlier run that was killed."""
        if (self.prefix / "system.reg").exists():
            subprocess.run(["wineserver", "-k"], env=wine_environment(self.prefix), timeout=60,
                           check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pid_file = self.folder / "xvfb.pid"
        if pid_file.exists():
            pid = int(pid_file.read_text() or 0)
            try:
                command = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0]
            except OSError:
                command = b""
            if pid > 0 and command.endswith(b"Xvfb"):
                os.kill(pid, signal.SIGTERM)

    # -- set-up --

    def add(self, drive):
        self.drives.append(drive)
        links = self.prefix / "dosdevices"
        os.symlink(drive.media, links / f"{drive.letter}:")
        os.symlink(drive.device, links / f"{drive.letter}::")
        return drive

    def start_display(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        (self.folder / "xvfb.pid").write_text(str(self.xvfb.pid))
        deadline = time.monotonic() + 20
        number = b""
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or self.xvfb.poll() is not None:
                    raise Failure("Xvfb did not start")
                ready, _, _ = select.select([read_end], [], [], left)
                if not ready:
                    continue
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise Failure("Xvfb did not report its display")
                number += chunk
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()

    def wine_env(self, debug):
        return wine_environment(self.prefix, {
            "DISPLAY": self.display,
            "WINEDEBUG": debug,
            "LD_PRELOAD": str(self.preload) + "/$PLATFORM/libsgdrive.so",
            "SGDRIVE_DRIVES": ":".join(str(d.config) for d in self.drives),
        })

    def x_env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("LD_PRELOAD", None)
        return env

    # -- the program --

    def start_program(self):
        self.runs += 1
        self.log_path = self.artifacts / f"wine-run{self.runs}.log"
        self.log_file = open(self.log_path, "w")
        self.program = subprocess.Popen(
            ["wine", str(self.exe)],
            env=self.wine_env("-all,+relay,+progress,+debugstr,+pid"),
            stdout=self.log_file, stderr=subprocess.STDOUT, cwd=self.folder)
        log(f"run {self.runs}: started the program (Wine log {self.log_path})")
        self.main = self.wait_window(f"^{re.escape(MAIN_TITLE)}$", WINDOW_WAIT, "the main dialog")
        return self.main

    def wait_exit(self, timeout=EXIT_WAIT):
        try:
            code = self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise Failure(f"the program did not end within {timeout} s") from expired
        self.log_file.close()
        return code

    def running(self):
        return self.program is not None and self.program.poll() is None

    # -- the screen --

    def windows(self, pattern):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                                env=self.x_env(), capture_output=True, text=True, timeout=20)
        return [line for line in result.stdout.split() if line]

    def check_progress(self, what):
        """Fails at once on a box the scenario does not expect, or an ended program."""
        if self.log_file is not None:
            for text, caption, _ in self.message_boxes():
                if text not in self.allowed_boxes:
                    raise Failure(f"unexpected message box '{text}' ({caption}) while "
                                  f"waiting for {what}")
        if self.program is not None and self.program.poll() is not None:
            raise Failure(f"the program ended (exit code {self.program.returncode}) "
                          f"while waiting for {what}")

    def wait(self, predicate, timeout, what):
        def done():
            self.check_progress(what)
            return predicate()
        return wait_until(done, timeout, what, interval=0.3)

    def wait_window(self, pattern, timeout, what):
        return self.wait(lambda: self.windows(pattern), timeout, what)[0]

    def keys(self, window, *keys):
        run(["xdotool", "windowfocus", "--sync", window], env=self.x_env(), timeout=20)
        time.sleep(0.3)
        for key in keys:
            run(["xdotool", "key", key], env=self.x_env(), timeout=20)
            time.sleep(0.4)

    def screenshot(self, label):
        self.shots += 1
        path = self.artifacts / f"{self.shots:02d}-{label}.png"
        run(["import", "-window", "root", str(path)], env=self.x_env(), timeout=60)
        log(f"  screenshot {path}")
        return path

    # -- what happened --

    def log_text(self):
        if not self.log_file.closed:
            self.log_file.flush()
        return self.log_path.read_text(errors="replace")

    def message_boxes(self):
        boxes = []
        for match in re.finditer(
                r'Call user32\.MessageBoxA\(([0-9a-fA-F]+),[0-9a-fA-F]+ "((?:[^"\\]|\\.)*)",'
                r'[0-9a-fA-F]+ "((?:[^"\\]|\\.)*)",([0-9a-fA-F]+)\)', self.log_text()):
            boxes.append((match.group(2), match.group(3), int(match.group(1), 16) != 0))
        return boxes

    def progress_positions(self):
        return [int(value, 16) for value in re.findall(
            r"trace:progress:ProgressWindowProc hwnd \w+, msg 0402, wparam (\w+)",
            self.log_text())]

    def enable_calls(self):
        return [(int(window, 16), int(flag, 16)) for window, flag in re.findall(
            r"Call user32\.EnableWindow\(([0-9a-fA-F]+),([0-9a-fA-F]+)\)", self.log_text())]

    def debugger_output(self):
        return re.findall(r"(?:trace|warn):debugstr:\w+ (.*)", self.log_text())

    def wait_box(self, text, caption):
        """Waits for the box with `caption` on the screen and checks its text in the log."""
        self.allowed_boxes.add(text)
        window = self.wait_window(f"^{re.escape(caption)}$", STEP_WAIT, f"the box '{text}'")
        wait_until(lambda: any(box[0] == text for box in self.message_boxes()), 20,
                   f"MessageBoxA('{text}') in Wine's log")
        return window

    # -- the end --

    def close(self):
        if self.closed:
            return
        self.closed = True
        if self.display is not None:
            env = self.wine_env("-all")
            subprocess.run(["wineserver", "-k"], env=env, timeout=60, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.program is not None and self.program.poll() is None:
            self.program.kill()
            self.program.wait(timeout=30)
        if self.log_file is not None and not self.log_file.closed:
            self.log_file.close()
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        for drive in self.drives:
            if drive.transcript.exists():
                shutil.copy2(drive.transcript, self.artifacts / drive.transcript.name)
        shutil.rmtree(self.prefix, ignore_errors=True)

    def report(self):
        log(f"---- what the drives received ({self.name}) ----")
        for drive in self.drives:
            lines = drive.lines()
            log(f"{drive.letter.upper()}: ({len(lines)} lines, {drive.transcript})")
            for line in lines[:12]:
                log("  " + line)
            if len(lines) > 24:
                log(f"  ... {len(lines) - 24} more ...")
            for line in lines[max(12, len(lines) - 12):]:
                log("  " + line)
        if self.log_file is not None:
            text = self.log_text().splitlines()
            log(f"---- end of Wine's log ({self.log_path}) ----")
            interesting = [l for l in text if "MessageBoxA" in l or "EnableWindow" in l
                           or "msg 0402" in l or "err:" in l or "debugstr" in l]
            for line in interesting[-40:]:
                log("  " + line)
            for line in [l for l in text if "window proc" not in l][-15:]:
                log("  " + line)
        log(f"---- screenshots and logs: {self.artifacts} ----")


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_boxes(rig, expected):
    actual = [(text, caption) for text, caption, _ in rig.message_boxes()]
    expect(actual == expected, f"message boxes {actual}, expected {expected}")


def check_complete_download(lines, image, first=0):
    """The commands of one whole update, from the READ BUFFER of the identity block on."""
    kinds = [kind_of(line) for line in lines]
    start = kinds.index("read-buffer", first)
    expect(lines[start].startswith("3C 06 00 1E C0 00 00 01 00"),
           f"READ BUFFER of the identity block expected, got: {lines[start]}")
    opened = kinds.index("start-stop-unit", start)
    expect(lines[opened].split()[4] == "02", f"the tray is not opened: {lines[opened]}")
    begin = kinds.index("download-begin", opened)
    chunks = [line for line in lines[begin + 1:begin + 129]]
    for index, line in enumerate(chunks):
        offset = index * 0x4000
        expected = (f"3B 06 00 {offset >> 16 & 0xFF:02X} {offset >> 8 & 0xFF:02X} "
                    f"{offset & 0xFF:02X} 00 40 00")
        expect(line.startswith(expected) and "-> GOOD 16384B" in line,
               f"chunk {index + 1}: expected '{expected} ... GOOD', got: {line}")
    commit = begin + 129
    expect(kind_of(lines[commit]) == "download-commit" and "-> GOOD" in lines[commit],
           f"the commit does not follow the 128th chunk: {lines[commit]}")
    after = lines[commit + 1:]
    writing = [line for line in after if "CHECK 02/04/08" in line]
    expect(writing, "the drive never reported its write in progress (02/04/08)")
    reset = [i for i, line in enumerate(after) if "CHECK 06/29/00" in line]
    expect(reset, "the drive's reset (06/29/00) was never seen")
    closed = [line for line in after[reset[0]:] if kind_of(line) == "start-stop-unit"]
    expect(closed and closed[-1].split()[4] == "03", "the tray was not closed after the reset")
    return commit


def scenario_complete_update(rig):
    """The update from START to the completion box, then a second run on the same drive."""
    image = embedded_firmware(rig.exe)
    expect(len(image) == IMAGE_SIZE, f"the embedded image is {len(image)} bytes")
    expect(identity_code(image) == "KT7", f"the embedded image says {identity_code(image)}")
    rig.add(ordinary_drive(rig.drives_folder))
    # A write of 3 s leaves time to look at the bar and to try closing the program.
    g = rig.add(target_drive(rig.drives_folder, write_ms=3000))
    rig.start_display()

    # Run 1: the update.
    main = rig.start_program()
    rig.screenshot("dialog")
    rig.keys(main, "F4")  # the list drops down (Alt+Down does not here: see the docs)
    time.sleep(1)
    rig.screenshot("drive-list-open")
    rig.keys(main, "Escape", "Down", "Tab")
    rig.screenshot("drive-1-selected-start-focused")
    rig.keys(main, "space")
    rig.wait(lambda: any(0 < p < 100 for p in rig.progress_positions()), STEP_WAIT,
               "the progress bar to move during the write")
    rig.screenshot("writing")
    # Esc and the close command while the update runs: the program must stay (it would
    # otherwise end before the completion box).
    rig.keys(main, "Escape", "alt+F4")
    box = rig.wait_box(TEXT_COMPLETED, "OK")
    rig.screenshot("completed-box")
    rig.keys(box, "Return")
    code = rig.wait_exit()
    expect(code == 0, f"the program ended with exit code {code}")
    expect_boxes(rig, [(TEXT_COMPLETED, "OK")])

    lines = g.lines()
    expect(kind_of(lines[0]) == "inquiry", f"the drive was not identified first: {lines[0]}")
    check_complete_download(lines, image)
    positions = rig.progress_positions()
    expect(positions == sorted(positions), f"the progress went backwards: {positions}")
    expect(positions and positions[-1] == 100, f"the bar did not end at 100: {positions}")
    expect(any(0 < p < 100 for p in positions), f"no position between 0 and 100: {positions}")
    store = g.firmware()
    expect(store == image, "the drive's firmware store differs from the image in the .exe "
           f"(store says {identity_code(store)})")
    log(f"  run 1: {len(lines)} commands, progress {positions}, store = embedded image")

    # Run 2: the drive keeps the new firmware, so there is nothing to do.
    before = len(g.lines())
    main = rig.start_program()
    rig.keys(main, "Down", "Tab", "space")
    box = rig.wait_box(TEXT_UP_TO_DATE, "Error")
    rig.screenshot("up-to-date-box")
    rig.keys(box, "Return")
    rig.wait(lambda: len([c for c in rig.enable_calls() if c[1] == 1]) >= 2, STEP_WAIT,
               "START and EXIT to be enabled again")
    rig.keys(main, "alt+F4")
    code = rig.wait_exit()
    expect(code == 0, f"the second run ended with exit code {code}")
    expect_boxes(rig, [(TEXT_UP_TO_DATE, "Error")])
    second = [kind_of(line) for line in g.lines()[before:]]
    expect(second == ["inquiry", "read-buffer"],
           f"the second run should only identify the drive and read its firmware: {second}")
    expect(g.firmware() == image, "the store changed in the second run")


def scenario_chunk_failure(rig):
    """The 65th chunk fails once: failure box, buttons back, a second START completes."""
    image = embedded_firmware(rig.exe)
    rig.add(ordinary_drive(rig.drives_folder))
    g = rig.add(target_drive(rig.drives_folder,
                                 ["fault = check download-chunk 65 sense=04/44/00"]))
    rig.start_display()
    main = rig.start_program()
    rig.keys(main, "Down", "Tab", "space")
    box = rig.wait_box(TEXT_CHUNK_FAILED, "Error")
    rig.screenshot("chunk-failure-box")
    lines = g.lines()
    chunks = [line for line in lines if kind_of(line) == "download-chunk"]
    expect(len(chunks) == 65, f"{len(chunks)} chunks sent before the failure, expected 65")
    expect("CHECK 04/44/00" in chunks[-1], f"the 65th chunk did not fail: {chunks[-1]}")
    expect(not any(kind_of(l) == "download-commit" for l in lines), "a commit after a failure")
    disabled = [w for w, flag in rig.enable_calls() if flag == 0]
    expect(len(disabled) >= 2, f"START and EXIT were not disabled: {rig.enable_calls()}")

    rig.keys(box, "Return")
    rig.wait(lambda: {w for w, flag in rig.enable_calls() if flag == 1} >=
               set(disabled[:2]), STEP_WAIT, "START and EXIT to be enabled again")
    rig.screenshot("after-failure")
    expect(rig.running(), "the program ended after the failure")
    expect(g.firmware() != image, "the store changed although the download failed")

    # After the box the dialog's focus is back on the first control (the drive list):
    # Tab moves to START.
    reads_before = sum(1 for l in g.lines() if kind_of(l) == "read-buffer")
    rig.keys(main, "Tab", "space")
    rig.wait(lambda: sum(1 for l in g.lines() if kind_of(l) == "read-buffer") > reads_before,
               STEP_WAIT, "a second START to start another update")
    box = rig.wait_box(TEXT_COMPLETED, "OK")
    rig.screenshot("second-start-completed")
    rig.keys(box, "Return")
    code = rig.wait_exit()
    expect(code == 0, f"the program ended with exit code {code}")
    expect_boxes(rig, [(TEXT_CHUNK_FAILED, "Error"), (TEXT_COMPLETED, "OK")])
    lines = g.lines()
    second = max(i for i, l in enumerate(lines) if kind_of(l) == "read-buffer")
    check_complete_download(lines, image, second)
    expect(g.firmware() == image, "the store does not hold the image after the second START")


def scenario_no_target(rig):
    """Only the ordinary drive: START says there is no target drive."""
    e = rig.add(ordinary_drive(rig.drives_folder))
    rig.start_display()
    main = rig.start_program()
    rig.screenshot("dialog-ordinary-drive-only")
    rig.keys(main, "Tab", "space")
    box = rig.wait_box(TEXT_NO_TARGET, "Error")
    rig.screenshot("no-target-box")
    rig.keys(box, "Return")
    rig.wait(lambda: len([c for c in rig.enable_calls() if c[1] == 1]) >= 2, STEP_WAIT,
               "START and EXIT to be enabled again")
    rig.keys(main, "alt+F4")
    code = rig.wait_exit()
    expect(code == 0, f"the program ended with exit code {code}")
    expect_boxes(rig, [(TEXT_NO_TARGET, "Error")])
    kinds = [kind_of(line) for line in e.lines()]
    expect(kinds == ["inquiry"], f"the ordinary drive should only be identified: {kinds}")


def scenario_not_target_selected(rig):
    """The ordinary drive's entry (the first) selected: START refuses it."""
    e = rig.add(ordinary_drive(rig.drives_folder))
    g = rig.add(target_drive(rig.drives_folder))
    rig.start_display()
    main = rig.start_program()
    # Esc and Enter (the list has the focus) must leave the dialog as it is.
    rig.keys(main, "Escape", "Return")
    time.sleep(1)
    expect(rig.running() and rig.windows(f"^{re.escape(MAIN_TITLE)}$"),
           "Esc or Enter closed the dialog")
    rig.keys(main, "Tab", "space")
    box = rig.wait_box(TEXT_NOT_TARGET, "Error")
    rig.screenshot("not-target-box")
    rig.keys(box, "Return")
    rig.wait(lambda: len([c for c in rig.enable_calls() if c[1] == 1]) >= 2, STEP_WAIT,
               "START and EXIT to be enabled again")
    rig.keys(main, "alt+F4")
    code = rig.wait_exit()
    expect(code == 0, f"the program ended with exit code {code}")
    expect_boxes(rig, [(TEXT_NOT_TARGET, "Error")])
    expect([kind_of(l) for l in e.lines()] == ["inquiry"], "E: got more than its INQUIRY")
    expect([kind_of(l) for l in g.lines()] == ["inquiry"], "G: got more than its INQUIRY")


def scenario_passthrough_failure(rig):
    """The pass-through call itself fails (access denied) on the firmware check."""
    image = embedded_firmware(rig.exe)
    rig.add(ordinary_drive(rig.drives_folder))
    g = rig.add(target_drive(rig.drives_folder, ["fault = fail read-buffer 1 error=5"]))
    rig.start_display()
    main = rig.start_program()
    rig.keys(main, "Down", "Tab", "space")
    # First the pass-through layer's own box (no owner), then the worker's.
    box = rig.wait_box(TEXT_PASSTHROUGH_FAILED_5, "ERROR")
    rig.screenshot("passthrough-error-box")
    rig.keys(box, "Return")
    box = rig.wait_box(TEXT_CHECK_FAILED, "Error")
    rig.screenshot("check-failed-box")
    rig.keys(box, "Return")
    rig.wait(lambda: len([c for c in rig.enable_calls() if c[1] == 1]) >= 2, STEP_WAIT,
               "START and EXIT to be enabled again")
    rig.keys(main, "alt+F4")
    code = rig.wait_exit()
    expect(code == 0, f"the program ended with exit code {code}")
    expect_boxes(rig, [(TEXT_PASSTHROUGH_FAILED_5, "ERROR"), (TEXT_CHECK_FAILED, "Error")])
    owners = [owned for _, _, owned in rig.message_boxes()]
    expect(owners == [False, True], f"the ERROR box must have no owner, the Error box the "
           f"dialog: {owners}")
    kinds = [kind_of(line) for line in g.lines()]
    expect(kinds == ["inquiry", "read-buffer"], f"nothing may follow the failed check: {kinds}")
    expect("FAILED 5" in g.lines()[-1], f"the READ BUFFER did not fail: {g.lines()[-1]}")
    expect(g.firmware() != image, "the store changed")


SCENARIOS = {
    "complete_update": scenario_complete_update,
    "chunk_failure": scenario_chunk_failure,
    "no_target": scenario_no_target,
    "not_target_selected": scenario_not_target_selected,
    "passthrough_failure": scenario_passthrough_failure,
}


def run_scenario(name, args):
    check_tools()
    started = time.monotonic()
    rig = Rig(name, args)
    try:
        SCENARIOS[name](rig)
    except Exception as failure:  # anything: the rig must be ended and reported
        kind = "" if isinstance(failure, Failure) else f"{type(failure).__name__}: "
        log(f"FAILED {name}: {kind}{failure}")
        if not isinstance(failure, Failure):
            traceback.print_exc(file=sys.stdout)
        try:
            rig.screenshot("at-failure")
        except (Failure, OSError, subprocess.SubprocessError):
            pass
        rig.report()
        return 1
    finally:
        rig.close()  # also when ended by a signal
    for text in rig.debugger_output() if rig.log_path else []:
        log(f"  debugger output: {text}")
    log(f"passed {name} in {time.monotonic() - started:.0f} s "
        f"(screenshots in {rig.artifacts})")
    return 0


def run_demo(args):
    """The program on the current display, against the emulated drives, for a person."""
    check_tools()
    if not os.environ.get("DISPLAY"):
        raise Failure("no DISPLAY: run this on a desktop (or under xvfb-run)")
    work = Path(args.work).resolve()
    ready = prepare_prefix(work)
    folder = work / "demo"
    drives = folder / "drives"
    drives.mkdir(parents=True, exist_ok=True)
    prefix = folder / "prefix"
    if not (prefix / "system.reg").exists():
        copy_prefix(ready, prefix)
        # A window manager is expected on a desktop.
        (prefix / "user.reg").write_text(
            (prefix / "user.reg").read_text().replace('"Managed"="N"', '"Managed"="Y"'))
    for link in ("e:", "e::", "g:", "g::"):
        path = prefix / "dosdevices" / link
        if path.is_symlink():
            path.unlink()
    configs = []
    for drive in (Drive("e", drives, ["kind = ordinary"]),
                  Drive("g", drives, ["kind = target", "firmware-store = g-firmware.bin",
                                      "firmware-code = KT8"])):
        os.symlink(drive.media, prefix / "dosdevices" / f"{drive.letter}:")
        os.symlink(drive.device, prefix / "dosdevices" / f"{drive.letter}::")
        configs.append(str(drive.config))
    store = drives / "g-firmware.bin"
    if store.exists():
        log(f"G: firmware {identity_code(store.read_bytes())} (delete {store} to start over)")
    log(f"what the drives receive: {drives}/*-transcript.txt")
    env = wine_environment(prefix, {
        "LD_PRELOAD": str(Path(args.preload).resolve()) + "/$PLATFORM/libsgdrive.so",
        "SGDRIVE_DRIVES": ":".join(configs),
    })
    code = subprocess.run(["wine", str(Path(args.exe).resolve())], env=env).returncode
    subprocess.run(["wineserver", "-w"], env=env, timeout=120, check=False)
    return code


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("command", choices=["prefix", "scenario", "demo"])
    parser.add_argument("name", nargs="?", choices=sorted(SCENARIOS))
    parser.add_argument("--exe")
    parser.add_argument("--preload")
    parser.add_argument("--work", required=True)
    parser.add_argument("--artifacts")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        if args.command == "prefix":
            prepare_prefix(Path(args.work).resolve())
            return 0
        if args.command == "demo":
            return run_demo(args)
        if not (args.name and args.exe and args.preload and args.artifacts):
            parser.error("scenario needs NAME, --exe, --preload and --artifacts")
        return run_scenario(args.name, args)
    except Failure as failure:
        log(f"FAILED: {failure}")
        return 1


if __name__ == "__main__":
    sys.exit(main())
