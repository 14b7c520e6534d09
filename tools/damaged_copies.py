#!/usr/bin/env python3
"""Runs the runtime on damaged copies of an application data file and sorts how each run ends.

Each copy is made from a seed, so that a run can be repeated: one byte changed, the file cut short, a chunk's
size set to 0xFFFFFFFF, or a chunk written twice. A copy must either end with a message and status 1, or
play: it is then sent SIGTERM after a while and must end in order with status 0 (on a loaded machine the
signal may also come before the program has set its handler, or while it still reads the copy). A crash, a
sanitizer's report (memory fault, undefined behaviour, leak), a hang, a failure that says nothing, any other
status or a file left in the run's temporary folder is a fault. The script prints one line per fault, then
the counts of each outcome and the messages seen, and exits with 1 when there was a fault.

    damaged_copies.py --runtime build/dev/bin/vtrrt --data build/dev/bin/demo_level.vtg --count 200 --seed 1
"""

import argparse
import collections
import concurrent.futures
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

DATA_HEADER = 16
CHUNK_HEADER = 8
END_CHUNK = 0x7F7F
FRAME_CHUNK = 0x3333

SANITIZER_REPORT = re.compile(r"ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:|SUMMARY: \w+Sanitizer")


def chunks(data, at, end, depth=0):
    """The chunk headers of the list at `at` as (offset, id, size); frames are walked into."""
    found = []
    while at + CHUNK_HEADER <= end:
        ident, _, size = struct.unpack_from("<HHI", data, at)
        found.append((at, ident, size))
        if ident == END_CHUNK:
            break
        if ident == FRAME_CHUNK and depth == 0:
            found.extend(chunks(data, at + CHUNK_HEADER, min(end, at + CHUNK_HEADER + size), 1))
        at += CHUNK_HEADER + size
    return found


def flip_byte(data, rng, listed):
    at, _, size = rng.choice(listed)
    if size:
        at = at + CHUNK_HEADER + rng.randrange(size)
    else:
        at = at + rng.randrange(CHUNK_HEADER)
    value = data[at]
    while value == data[at]:
        value = rng.randrange(256)
    data[at] = value
    return data, "byte at 0x%X set to 0x%02X" % (at, value)


def truncate(data, rng, listed):
    length = rng.randrange(1, len(data))
    return data[:length], "cut to %d bytes" % length


def huge_size(data, rng, listed):
    at, ident, _ = rng.choice([c for c in listed if c[1] != END_CHUNK])
    struct.pack_into("<I", data, at + 4, 0xFFFFFFFF)
    return data, "size of chunk 0x%04X at 0x%X set to 0xFFFFFFFF" % (ident, at)


def duplicate(data, rng, listed):
    at, ident, size = rng.choice([c for c in listed if c[1] != END_CHUNK])
    whole = bytes(data[at : at + CHUNK_HEADER + size])
    end = at + len(whole)
    return data[:end] + whole + data[end:], "chunk 0x%04X at 0x%X written twice" % (ident, at)


DAMAGES = [flip_byte, truncate, huge_size, duplicate]


def make_copy(original, seed, index):
    rng = random.Random("%d/%d" % (seed, index))
    data = bytearray(original)
    listed = chunks(data, DATA_HEADER, len(data))
    damage = DAMAGES[index % len(DAMAGES)]
    return damage(data, rng, listed)


def run_copy(runtime, path, play_seconds, grace_seconds, folder):
    env = dict(os.environ)
    env.update(
        {
            "SDL_VIDEODRIVER": "dummy",
            "SDL_AUDIODRIVER": "dummy",
            "TMPDIR": folder,
            "ASAN_OPTIONS": "detect_leaks=1:abort_on_error=0:" + env.get("ASAN_OPTIONS", ""),
            "UBSAN_OPTIONS": "print_stacktrace=1:" + env.get("UBSAN_OPTIONS", ""),
        }
    )
    with open(os.path.join(folder, "stderr"), "w+b") as err:
        process = subprocess.Popen(
            [runtime, "-R0", "-F", path],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=err,
            env=env,
            cwd=folder,
        )
        played = False
        hung = False
        try:
            process.wait(play_seconds)
        except subprocess.TimeoutExpired:
            played = True
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(grace_seconds)
            except subprocess.TimeoutExpired:
                hung = True
                process.kill()
                process.wait()
        err.seek(0)
        text = err.read().decode("utf-8", "replace")
    return process.returncode, played, hung, text


# Outcomes that are no fault (a run that leaves files behind is one all the same).
GOOD_OUTCOMES = ("played", "message and status 1", "ended by SIGTERM before it took the signal")


def outcome_of(status, played, hung, text):
    if hung:
        return "hang"
    if SANITIZER_REPORT.search(text):
        return "sanitizer report"
    # On a loaded machine the signal may come before the program has set its handler: it then ends at
    # once, as any program does.
    if played and status == -signal.SIGTERM:
        return "ended by SIGTERM before it took the signal"
    if status < 0:
        return "killed by signal %d" % -status
    messages = [line for line in text.splitlines() if line.startswith("vtrrt: ")]
    # A copy still being read when the signal came may end on its damage all the same.
    if status == 1:
        return "message and status 1" if messages else "status 1 without a message"
    if played:
        return "played" if status == 0 else "played, then status %d" % status
    return "status %d" % status


def message_kind(line, path):
    """The message without the file's name and with its offsets folded, to count kinds."""
    line = line[len("vtrrt: ") :].replace(path, "<file>")
    return re.sub(r"offset 0x[0-9A-F]+", "offset 0x...", line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runtime", required=True, help="the program, built with the sanitizers")
    parser.add_argument("--data", required=True, help="the application data file to damage")
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--play-seconds", type=float, default=4.0, help="a run still going then plays")
    parser.add_argument("--grace-seconds", type=float, default=20.0, help="to end in order after SIGTERM")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep", help="a folder to keep the copies that fault in")
    args = parser.parse_args()
    # Each run starts in a folder of its own.
    args.runtime = os.path.abspath(args.runtime)

    with open(args.data, "rb") as f:
        original = f.read()
    work = tempfile.mkdtemp(prefix="damaged-copies-")
    outcomes = collections.Counter()
    messages = collections.Counter()
    faults = []
    started = time.monotonic()
    try:
        def finish(index, path, what, folder, result):
            status, played, hung, text = result
            outcome = outcome_of(status, played, hung, text)
            outcomes[outcome] += 1
            for line in text.splitlines():
                if line.startswith("vtrrt: "):
                    messages[message_kind(line, path)] += 1
            left = sorted(set(os.listdir(folder)) - {"stderr", os.path.basename(path)})
            if outcome not in GOOD_OUTCOMES or left:
                note = outcome + ("; left behind: " + ", ".join(left) if left else "")
                faults.append((index, what, note, text))
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    shutil.copy(path, os.path.join(args.keep, "copy%03d.vtg" % index))
            shutil.rmtree(folder, ignore_errors=True)

        # A few runs at a time, each waited on by a thread of its own.
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
            futures = {}
            for index in range(args.count):
                data, what = make_copy(original, args.seed, index)
                folder = os.path.join(work, "run%03d" % index)
                os.makedirs(folder)
                path = os.path.join(folder, "copy.vtg")
                with open(path, "wb") as f:
                    f.write(data)
                future = pool.submit(run_copy, args.runtime, path, args.play_seconds, args.grace_seconds, folder)
                futures[future] = (index, path, what, folder)
            for future in concurrent.futures.as_completed(futures):
                index, path, what, folder = futures[future]
                finish(index, path, what, folder, future.result())
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for index, what, note, text in sorted(faults):
        print("copy %d (%s): %s" % (index, what, note))
        for line in text.splitlines()[:12]:
            print("    " + line)
    print("%d damaged copies (seed %d) in %.0f s:" % (args.count, args.seed, time.monotonic() - started))
    for outcome, n in outcomes.most_common():
        print("  %4d  %s" % (n, outcome))
    print("messages seen:")
    for text, n in messages.most_common():
        print("  %4d  %s" % (n, text))
    faulty = len(faults)
    print("%d passed, %d failed" % (args.count - faulty, faulty))
    return 1 if faulty else 0


if __name__ == "__main__":
    sys.exit(main())
