#!/usr/bin/env python3
"""The parts of scripts/measure-sync.sh that are easier said in Python.

  sync_measurement.py terminal LOG SECONDS -- COMMAND...
      Runs COMMAND on a pseudo-terminal (korvanthe-xm play shows its status
      line only on a terminal) for at most SECONDS and writes to LOG one line
      "NANOSECONDS ORDER ROW" per status line it printed, the monotonic clock
      when the line arrived. Exit status: COMMAND's, 124 when it was stopped.

  sync_measurement.py analyse RAW TIMES POSITIONS RENDER STAMPS [--check MEDIAN SPREAD]
      RAW and TIMES come from korvanthe-sync-record, POSITIONS is a log as
      above (or the demo's KORVANTHE_POSITION_LOG); RENDER (a WAV file) and
      STAMPS (its --positions log) are the song rendered offline by
      `korvanthe-xm render`. Finds in the recording the first frame of the
      block with which each stamp begins (the frame at which the program,
      reading the stamp of the block it hears, should begin to show the row),
      the moment it was heard, and the moment the program first reported the
      row, and prints shown minus heard per row and, last, "shown minus heard:
      median M ms, p5 A ms, p95 B ms". With --check, fails unless the median
      lies within +-MEDIAN ms and p5 and p95 within +-SPREAD ms.

Heard is the moment the sink played a frame by the server's timing of the
recording (the monitor's latency, which is negative: a monitor gets what its
sink plays as soon as the sink has mixed it, which may be long before the sink
plays it). The same figures dated by each fragment's arrival at the recorder,
as a plain recorder (parec) dates them, are printed beside: they put the
sound earlier by the sink's lead, and the picture as much later.

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
FRAME_BYTES = 4
# Frames of the render that find a block's start in the recording: long
# enough to be found once, short enough to lie within one block.
NEEDLE_FRAMES = 256
# How far from where the last one was found the next block's start is looked
# for: a stream that ran dry plays silence, and the server may then skip
# what came too late.
SEARCH_FRAMES = RATE // 2
# A row change seen across a longer pause between two reports (a frame the
# demo took long to draw on a busy machine) says little about when it
# happened; such rows are counted and left out.
LONGEST_REPORT_GAP_NS = 50_000_000
# Fewer rows measured than this share of the song's changes: not measured.
LEAST_MEASURED_SHARE = 2 / 3


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


def wav_data(path):
    """The sample bytes of a 16-bit stereo WAV file."""
    with open(path, "rb") as wav:
        data = wav.read()
    offset = 12
    while offset + 8 <= len(data):
        chunk = data[offset:offset + 4]
        size = struct.unpack_from("<I", data, offset + 4)[0]
        if chunk == b"data":
            return data[offset + 8:offset + 8 + size]
        offset += 8 + size + (size & 1)
    fail(f"{path}: no data chunk")


def first_sound(data):
    """The first frame whose samples are not both 0, or -1."""
    for frame in range(len(data) // FRAME_BYTES):
        if data[frame * FRAME_BYTES:(frame + 1) * FRAME_BYTES] != bytes(FRAME_BYTES):
            return frame
    return -1


def read_stamps(path):
    """The offline render's stamps, one (order, row) per block."""
    stamps = []
    with open(path) as log:
        for line in log:
            fields = line.split()
            if len(fields) == 3:
                stamps.append((int(fields[1]), int(fields[2])))
    return stamps


def stamp_changes(stamps):
    """Every block whose stamp differs from the one before, as (block, before,
    after), for the first pass through the song: up to the first stamp that
    was seen before (the song going round)."""
    changes = []
    seen = {stamps[0]} if stamps else set()
    for block in range(1, len(stamps)):
        if stamps[block] == stamps[block - 1]:
            continue
        if stamps[block] in seen:
            break
        seen.add(stamps[block])
        changes.append((block, stamps[block - 1], stamps[block]))
    return changes


def find_blocks(recording, render, blocks, block_frames):
    """For each block (a frame count of the render: block * block_frames),
    the recording's frame that holds it, or None where it is silent or not
    found; each is looked for near where the one before was found."""
    offset = first_sound(recording) - first_sound(render)
    found = {}
    for block in blocks:
        frame = block * block_frames
        needle = render[frame * FRAME_BYTES:(frame + NEEDLE_FRAMES) * FRAME_BYTES]
        if len(needle) < NEEDLE_FRAMES * FRAME_BYTES or needle.count(0) == len(needle):
            found[block] = None
            continue
        # Of the places that hold it (a song may repeat a block exactly),
        # the nearest to where the last block found says.
        expected = frame + offset
        low = max(0, expected - SEARCH_FRAMES) * FRAME_BYTES
        high = (expected + SEARCH_FRAMES + NEEDLE_FRAMES) * FRAME_BYTES
        best = None
        at = recording.find(needle, low, high)
        while at >= 0:
            if at % FRAME_BYTES == 0 and (best is None or
                                          abs(at // FRAME_BYTES - expected) < abs(best - expected)):
                best = at // FRAME_BYTES
            at = recording.find(needle, at + 1, high)
        found[block] = best
        if best is not None:
            offset = best - frame
    return found


def recording_clock(times_path, column):
    """The monotonic nanosecond at which recorded frame 0 was heard (column 1:
    by the server's timing; column 2: by each fragment's arrival, dating its
    last frame), and the spread of the timing around it."""
    rows = []
    with open(times_path) as times:
        for line in times:
            fields = line.split()
            if len(fields) >= 3:
                rows.append((int(fields[0]), int(fields[1]), int(fields[2])))
    if len(rows) < 10:
        fail(f"{times_path}: the recording has almost no timing ({len(rows)} fragments)")
    offsets = []
    for index, (frames, heard, arrived) in enumerate(rows[:-1]):
        if column == 1:
            offsets.append(heard - frames * 1_000_000_000 / RATE)
        else:
            offsets.append(arrived - rows[index + 1][0] * 1_000_000_000 / RATE)
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
                reports.append((int(fields[0]), (int(fields[1]), int(fields[2]))))
    return reports


def row_changes(reports, changes):
    """For each of the render's stamp changes the program was seen to make,
    its index in `changes` and the last report of the position before and
    the first of the new one, both in ns. Reports are matched to the changes
    in turn; a change the program passed over (a row shown for less than a
    report's time) or made out of turn is left out."""
    seen = {}
    next_change = 0
    for (before_time, before), (time_ns, position) in zip(reports, reports[1:]):
        if position == before:
            continue
        for index in range(next_change, min(next_change + 8, len(changes))):
            if changes[index][2] == position:
                if changes[index][1] == before:
                    seen[index] = (before_time, time_ns)
                next_change = index + 1
                break
    return seen


def analyse(raw_path, times_path, positions_path, render_path, stamps_path, check):
    with open(raw_path, "rb") as raw:
        recording = raw.read()
    render = wav_data(render_path)
    stamps = read_stamps(stamps_path)
    changes = stamp_changes(stamps)
    if not changes:
        fail(f"{stamps_path}: the song's stamps never change")
    block_frames = round(RATE * 20 / 1000 + 3) & ~3  # the renderer's blocks: 884 at 44100 Hz
    if first_sound(recording) < 0:
        fail(f"{raw_path}: {len(recording) / FRAME_BYTES / RATE:.1f} s of silence: the sound did "
             f"not reach the sink")
    found = find_blocks(recording, render, [block for block, _, _ in changes], block_frames)
    # The sink does not rewind, so the recording holds every frame that was
    # played. When the stream runs dry the sink plays silence, and the server
    # may then skip what came too late: a block is then found earlier or later
    # than the one before would say. Either way the server's clock, and so
    # the position, saw the same; such blocks are counted and measured.
    located = [(block, found[block]) for block, _, _ in changes if found[block] is not None]
    shifts = sum(1 for (a, at_a), (b, at_b) in zip(located, located[1:])
                 if abs((at_b - at_a) - (b - a) * block_frames) > 8)
    clocks = {column: recording_clock(times_path, column) for column in (1, 2)}
    reports = read_positions(positions_path)
    seen = row_changes(reports, changes)
    paused = [index for index, (before, first) in seen.items()
              if first - before > LONGEST_REPORT_GAP_NS]
    for index in paused:
        del seen[index]
    unplaced = [index for index in seen if found[changes[index][0]] is None]
    for index in unplaced:
        del seen[index]
    heard_changes = sum(1 for block, _, _ in changes if found[block] is not None
                        and found[block] < len(recording) // FRAME_BYTES)
    if len(seen) < heard_changes * LEAST_MEASURED_SHARE or not seen:
        fail(f"{positions_path}: not measured: only {len(seen)} of the {heard_changes} row "
             f"changes found in the recording were reported within "
             f"{LONGEST_REPORT_GAP_NS // 1_000_000} ms of the report before ({len(paused)} across "
             f"longer pauses): the program drew too few frames", UNMEASURED)

    results = {}
    for column in (1, 2):
        frame_zero = clocks[column][0]
        differences = []
        firsts = []
        for index in sorted(seen):
            last_before, first = seen[index]
            heard = frame_zero + found[changes[index][0]] * 1_000_000_000 / RATE
            differences.append(((last_before + first) / 2 - heard) / 1e6)
            firsts.append((first - heard) / 1e6)
        results[column] = (differences, firsts)
    differences, firsts = results[1]
    print("order row  shown-heard ms  first report ms")
    for index, difference, first in zip(sorted(seen), differences, firsts):
        order, row = changes[index][2]
        print(f"{order:5d} {row:3d}  {difference:14.1f}  {first:15.1f}")
    gaps = [(b - a) / 1e6 for (a, _), (b, _) in zip(reports, reports[1:])]
    timing_spread = clocks[1][1]
    print(f"rows measured: {len(differences)} of {heard_changes} heard ({len(paused)} left out: "
          f"seen across a pause of more than {LONGEST_REPORT_GAP_NS // 1_000_000} ms between "
          f"reports; {len(unplaced)} whose block is silent); reports every "
          f"{percentile(gaps, 0.5):.1f} ms (p95 {percentile(gaps, 0.95):.1f} ms); recording "
          f"timing within {timing_spread[0] / 1e6:+.2f}..{timing_spread[1] / 1e6:+.2f} ms; "
          f"the sound stalled or skipped before {shifts} rows")
    print(f"first report minus heard: median {percentile(firsts, 0.5):.1f} ms, "
          f"p5 {percentile(firsts, 0.05):.1f} ms, p95 {percentile(firsts, 0.95):.1f} ms")
    arrived = results[2][0]
    lead = (clocks[1][0] - clocks[2][0]) / 1e6
    print(f"dated by arrival at the recorder instead (as parec dates it): shown minus heard "
          f"median {percentile(arrived, 0.5):.1f} ms; the sink's monitor gets the sound "
          f"{lead:.1f} ms before the sink plays it")
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
    if len(arguments) in (6, 9) and arguments[0] == "analyse":
        check = None
        if len(arguments) == 9:
            if arguments[6] != "--check":
                fail("usage: analyse RAW TIMES POSITIONS RENDER STAMPS [--check MEDIAN SPREAD]")
            check = (float(arguments[7]), float(arguments[8]))
        analyse(*arguments[1:6], check)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
