#!/usr/bin/env python3
"""The parts of scripts/measure-sync.sh that are easier said in Python.

  sync_measurement.py terminal LOG SECONDS -- COMMAND...
      Runs COMMAND on a pseudo-terminal (korvanthe-xm play shows its status
      line only on a terminal) for at most SECONDS and writes to LOG one line
      "NANOSECONDS ORDER ROW" per status line it printed, the monotonic clock
      when the line arrived. Exit status: COMMAND's, 124 when it was stopped.

  sync_measurement.py analyse RAW TIMES POSITIONS [--check MEDIAN SPREAD]
      RAW and TIMES come from korvanthe-sync-record, POSITIONS is a log as
      above (or the demo's KORVANTHE_POSITION_LOG). Finds the clicks that
      begin the rows of the sync song, the moment each was heard, and the
      moment the program first reported each row, and prints shown minus
      heard per row and, last, "shown minus heard: median M ms, p5 A ms,
      p95 B ms". With --check, fails unless the median lies within +-MEDIAN
      ms and p5 and p95 within +-SPREAD ms.

A program reports its position now and then (the player every few ms, the
demo once a frame), so a row change is seen between two reports: the last
that still names the row before and the first that names the new one. The
change is taken to have happened midway; how late the first report came is
printed beside it as "first report". A change seen across a pause of more
than 50 ms between reports is left out (and counted).
"""

import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import time

RATE = 44100
ROWS_PER_PATTERN = 40
ORDERS = 2
ROW_FRAMES = 5304  # speed 12 at 249 BPM: six blocks of 884 frames
SONG_ROWS = ROWS_PER_PATTERN * ORDERS
CLICK_LEVEL = 4000  # a click is full scale; silence is 0
QUIET_FRAMES = RATE // 50  # 20 ms of silence before a click
# A row change seen across a longer pause between two reports (a frame the
# demo took long to draw on a busy machine) says little about when it
# happened; such rows are counted and left out.
LONGEST_REPORT_GAP_NS = 50_000_000


def fail(message, status=1):
    print(f"measure-sync: {message}", file=sys.stderr)
    sys.exit(status)


# Exit status of a run that could not be measured: the program reported its
# position too rarely, which says more about a busy machine than about sync.
UNMEASURED = 3


def run_on_terminal(log_path, seconds, command):
    status_pattern = re.compile(rb"order\s+(\d+)\s+row\s+(\d+)")
    # Each line is dated when it is read: on a busy machine a reader that
    # waits for the processor dates it late. Where allowed, it waits less.
    try:
        os.nice(-10)
    except OSError:
        pass
    master, slave = pty.openpty()
    process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=subprocess.DEVNULL,
                               close_fds=True, start_new_session=True)
    os.close(slave)
    deadline = time.monotonic() + seconds
    pending = b""
    timed_out = False
    with open(log_path, "w") as log:
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                timed_out = True
                break
            ready, _, _ = select.select([master], [], [], min(left, 0.5))
            if not ready:
                if process.poll() is not None:
                    break
                continue
            try:
                chunk = os.read(master, 4096)
            except OSError:  # the program has closed the terminal
                break
            if not chunk:
                break
            now = time.monotonic_ns()
            pending += chunk
            # A status line is complete once the next one (or a line end)
            # has begun; the last piece may still be growing.
            pieces = re.split(rb"[\r\n]", pending)
            pending = pieces.pop()
            for piece in pieces:
                found = status_pattern.search(piece)
                if found:
                    log.write(f"{now} {int(found.group(1))} {int(found.group(2))}\n")
    if timed_out:
        os.killpg(process.pid, signal.SIGTERM)
    code = process.wait()
    os.close(master)
    return 124 if timed_out else code


def percentile(values, fraction):
    ordered = sorted(values)
    place = fraction * (len(ordered) - 1)
    low = int(place)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (place - low)


def read_clicks(raw_path):
    """Frame numbers of the recording at which each click begins."""
    with open(raw_path, "rb") as raw:
        data = raw.read()
    count = len(data) // 4
    left = struct.unpack_from(f"<{count * 2}h", data)[0::2]
    clicks = []
    quiet = QUIET_FRAMES
    for frame, value in enumerate(left):
        if abs(value) >= CLICK_LEVEL:
            # A stall inside a click splits it; its second half is no row.
            if quiet >= QUIET_FRAMES and (not clicks or frame - clicks[-1] > ROW_FRAMES // 2):
                clicks.append(frame)
            quiet = 0
        else:
            quiet += 1
    return clicks, count


def recording_clock(times_path):
    """The monotonic nanosecond at which recorded frame 0 was heard, and the
    spread of the server's timing around it."""
    offsets = []
    with open(times_path) as times:
        for line in times:
            frames, heard = line.split()[:2]
            offsets.append(int(heard) - int(frames) * 1_000_000_000 / RATE)
    if len(offsets) < 10:
        fail(f"{times_path}: the recording has almost no timing ({len(offsets)} fragments)")
    # The first fragments come while the stream's timing settles.
    settled = offsets[len(offsets) // 10:]
    centre = percentile(settled, 0.5)
    spread = (percentile(settled, 0.05) - centre, percentile(settled, 0.95) - centre)
    return centre, spread


def read_positions(path):
    reports = []
    with open(path) as log:
        for line in log:
            fields = line.split()
            if len(fields) == 3:
                reports.append((int(fields[0]), int(fields[1]), int(fields[2])))
    return reports


def row_changes(reports):
    """For each song row after the first, the last report of the row before
    and the first report of the row, both in ns; rows the program never
    reported, or reported out of turn, are left out. Only the first time
    through the song counts (the demo plays on)."""
    changes = {}
    for (before_time, before_order, before_row), (time_ns, order, row) in zip(reports, reports[1:]):
        index = order * ROWS_PER_PATTERN + row
        previous = before_order * ROWS_PER_PATTERN + before_row
        if 1 <= index < SONG_ROWS and previous == index - 1 and index not in changes:
            changes[index] = (before_time, time_ns)
    return changes


def analyse(raw_path, times_path, positions_path, check):
    clicks, recorded = read_clicks(raw_path)
    if len(clicks) < SONG_ROWS:
        fail(f"{raw_path}: {len(clicks)} clicks in {recorded / RATE:.1f} s of recording, "
             f"the song has {SONG_ROWS}: the sound did not reach the sink")
    clicks = clicks[:SONG_ROWS]
    # The sink does not rewind, so the recording holds every frame that was
    # played. When the stream runs dry the sink plays silence, and the server
    # may then skip what came too late: a click comes late or a little early.
    # Either way the server's clock, and so the position, saw the same; the
    # clicks are still the rows in turn, and are counted and measured.
    stalls = sum(1 for index in range(1, SONG_ROWS)
                 if abs(clicks[index] - clicks[index - 1] - ROW_FRAMES) > 8)
    frame_zero, timing_spread = recording_clock(times_path)
    reports = read_positions(positions_path)
    changes = row_changes(reports)
    paused = [index for index, (before, first) in changes.items()
              if first - before > LONGEST_REPORT_GAP_NS]
    for index in paused:
        del changes[index]
    if len(changes) < (SONG_ROWS - 1) * 2 // 3:
        fail(f"{positions_path}: not measured: only {len(changes)} of {SONG_ROWS - 1} row "
             f"changes reported within {LONGEST_REPORT_GAP_NS // 1_000_000} ms of the report "
             f"before ({len(paused)} across longer pauses): the program drew too few frames",
             UNMEASURED)

    differences = []
    firsts = []
    print("order row  shown-heard ms  first report ms")
    for index in sorted(changes):
        last_before, first = changes[index]
        heard = frame_zero + clicks[index] * 1_000_000_000 / RATE
        shown = (last_before + first) / 2
        differences.append((shown - heard) / 1e6)
        firsts.append((first - heard) / 1e6)
        print(f"{index // ROWS_PER_PATTERN:5d} {index % ROWS_PER_PATTERN:3d}  "
              f"{differences[-1]:14.1f}  {firsts[-1]:15.1f}")
    gaps = [(b - a) / 1e6 for (a, _, _), (b, _, _) in zip(reports, reports[1:])]
    print(f"rows measured: {len(differences)} of {SONG_ROWS - 1} ({len(paused)} left out: "
          f"seen across a pause of more than {LONGEST_REPORT_GAP_NS // 1_000_000} ms between "
          f"reports); reports every "
          f"{percentile(gaps, 0.5):.1f} ms (p95 {percentile(gaps, 0.95):.1f} ms); recording "
          f"timing within {timing_spread[0] / 1e6:+.2f}..{timing_spread[1] / 1e6:+.2f} ms; "
          f"the sound stalled or skipped before {stalls} rows")
    print(f"first report minus heard: median {percentile(firsts, 0.5):.1f} ms, "
          f"p5 {percentile(firsts, 0.05):.1f} ms, p95 {percentile(firsts, 0.95):.1f} ms")
    median = percentile(differences, 0.5)
    low = percentile(differences, 0.05)
    high = percentile(differences, 0.95)
    print(f"shown minus heard: median {median:.1f} ms, p5 {low:.1f} ms, p95 {high:.1f} ms")
    if check is not None:
        median_limit, spread_limit = check
        problems = []
        if abs(median) > median_limit:
            problems.append(f"median {median:.1f} ms is outside +-{median_limit:g} ms")
        if low < -spread_limit or high > spread_limit:
            problems.append(f"p5..p95 {low:.1f}..{high:.1f} ms is outside +-{spread_limit:g} ms")
        if problems:
            fail("; ".join(problems))


def main(arguments):
    if len(arguments) >= 4 and arguments[0] == "terminal" and arguments[3] == "--":
        return run_on_terminal(arguments[1], float(arguments[2]), arguments[4:])
    if len(arguments) in (4, 7) and arguments[0] == "analyse":
        check = None
        if len(arguments) == 7:
            if arguments[4] != "--check":
                fail("usage: analyse RAW TIMES POSITIONS [--check MEDIAN SPREAD]")
            check = (float(arguments[5]), float(arguments[6]))
        analyse(arguments[1], arguments[2], arguments[3], check)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
