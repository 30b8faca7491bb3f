"""The keys of `korvanthe-xm play`, driven on a pseudo-terminal and checked
in what a null sink's monitor recorded (scripts/check-play-keys.sh).

  play_keys_check.py drive LOG -- COMMAND...
      runs COMMAND on a pseudo-terminal; once it shows 2 s of song heard it
      sends Space, a second later Space, two seconds later Page Down, three
      seconds later q; LOG gets what it showed and when the keys went
  play_keys_check.py analyse SONG.wav HEARD.raw ORDER-FRAMES LOG
      checks the recording against the render (exit 1 when it does not hold)
"""
import os
import pty
import re
import select
import subprocess
import sys
import time

RATE = 44100
FRAME = 4  # 16-bit stereo

STATUS = re.compile(rb"order\s+(\d+)\s+row\s+(\d+)\s+(\d+):(\d+)\.(\d)")


def drive(log_path, command):
    master, slave = pty.openpty()
    process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=subprocess.DEVNULL,
                               close_fds=True, start_new_session=True)
    os.close(slave)
    keys = [(b" ", "pause"), (b" ", "resume"), (b"\x1b[6~", "next order"), (b"q", "quit")]
    waits = [1.0, 2.0, 3.0]
    started = None
    next_key_at = None
    shown = b""
    deadline = time.monotonic() + 60
    with open(log_path, "w") as log:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.02)
            if ready:
                try:
                    chunk = os.read(master, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                shown = (shown + chunk)[-400:]
                found = list(STATUS.finditer(shown))
                if found and started is None:
                    last = found[-1]
                    seconds = int(last.group(3)) * 60 + int(last.group(4))
                    if seconds >= 2:
                        started = time.monotonic()
                        next_key_at = started
            if process.poll() is not None:
                break
            if next_key_at is not None and time.monotonic() >= next_key_at and keys:
                key, name = keys.pop(0)
                os.write(master, key)
                status = STATUS.findall(shown)
                log.write(f"{time.monotonic():.3f} {name} after {status[-1] if status else None}\n")
                next_key_at = time.monotonic() + (waits.pop(0) if waits else 0)
    try:
        code = process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        code = 124
    os.close(master)
    return code if not keys else 125


def frames_of(data):
    return [data[i:i + FRAME] for i in range(0, len(data) - FRAME + 1, FRAME)]


class Check:
    def __init__(self):
        self.failures = []

    def fail(self, text):
        self.failures.append(text)
        print("FAILED: " + text)


def first_nonzero(data, start):
    at = start
    zero = b"\0" * FRAME
    while at + FRAME <= len(data) and data[at:at + FRAME] == zero:
        at += FRAME
    return at


def matching_run(heard, h, song, s):
    """Bytes from heard[h:] and song[s:] that agree, whole frames."""
    length = 0
    step = 1 << 16
    while True:
        a = heard[h + length:h + length + step]
        b = song[s + length:s + length + step]
        n = min(len(a), len(b))
        if n == 0:
            return length
        if a[:n] == b[:n]:
            length += n
            if n < step:
                return length - length % FRAME
            continue
        lo = 0
        while a[lo] == b[lo]:
            lo += 1
        length += lo - lo % FRAME
        return length


def analyse(song_path, heard_path, order_frames_path, log_path):
    check = Check()
    with open(song_path, "rb") as file:
        wav = file.read()
    if wav[:4] != b"RIFF" or wav[36:40] != b"data":
        print("FAILED: the render is not a canonical WAV file")
        return 1
    song = wav[44:]
    with open(heard_path, "rb") as file:
        heard = file.read()
    heard = heard[:len(heard) - len(heard) % FRAME]
    entries = []
    with open(order_frames_path) as file:
        for line in file:
            order, frame = line.split()
            entries.append((int(frame), int(order)))
    entries.sort()
    with open(log_path) as file:
        print("keys: " + "; ".join(line.strip() for line in file))

    # The song's first sound, and the recording's.
    s = first_nonzero(song, 0)
    h = first_nonzero(heard, 0)
    if h >= len(heard):
        print("FAILED: the recording is silent")
        return 1
    before = matching_run(heard, h, song, s)
    print(f"from its first sound the song is heard for {before // FRAME} frames "
          f"({before / FRAME / RATE:.3f} s)")
    if before < 1.5 * RATE * FRAME:
        check.fail("the song is not heard as rendered up to the pause")
    h += before
    s += before
    # The pause: digital silence in the recording, then the song on with the
    # frame after the last one heard (the song's own silence at that point,
    # if any, counted out).
    resume_h = first_nonzero(heard, h)
    resume_s = first_nonzero(song, s)
    pause = (resume_h - h) - (resume_s - s)
    print(f"pause: {pause // FRAME} frames of silence ({pause / FRAME / RATE:.3f} s)")
    if not 0.5 * RATE * FRAME <= pause <= 2.5 * RATE * FRAME:
        check.fail("no pause of about a second")
    h, s = resume_h, resume_s
    between = matching_run(heard, h, song, s)
    print(f"after the pause the song goes on from the next frame for {between // FRAME} frames "
          f"({between / FRAME / RATE:.3f} s)")
    if between < 1.0 * RATE * FRAME:
        check.fail("the song does not go on where it was paused")
    h += between
    s += between
    # The jump: what is heard next is the song from an order entry's first
    # frame, the entry after the one that was playing.
    probe = heard[h:h + RATE * FRAME // 10]
    target = -1
    found = song.find(probe)
    while found >= 0 and found % FRAME != 0:
        found = song.find(probe, found + 1)
    target = found // FRAME if found >= 0 else -1
    jumped_from = s // FRAME
    playing = [frame for frame, _ in entries if frame <= jumped_from]
    later = [frame for frame, _ in entries if frame > jumped_from]
    print(f"jump: from song frame {jumped_from} to song frame {target}")
    expected = later[:1]
    # Pressed just before an order's end, the jump may be heard just after it.
    near = [frame for frame, _ in entries if jumped_from - RATE // 4 < frame <= jumped_from]
    if near:
        expected.append(near[-1])
        after = [frame for frame in later if frame > near[-1]]
        expected.extend(after[:1])
    if target not in expected:
        check.fail(f"the jump went to song frame {target}, not the next order entry's first frame "
                   f"({', '.join(str(frame) for frame in expected)})")
    if playing and target >= 0:
        h_after = matching_run(heard, h, song, target * FRAME)
        rest = heard[h + h_after:]
        print(f"after the jump the song is heard from there for {h_after // FRAME} frames "
              f"({h_after / FRAME / RATE:.3f} s), then {len(rest) // FRAME} frames to the end "
              f"of the recording")
        if h_after < 2.0 * RATE * FRAME:
            check.fail("after the jump the song is not heard as rendered from there")
        if rest.strip(b"\0"):
            check.fail("after q the recording is not silent: something else was heard")
    print("play keys: " + ("FAILED" if check.failures else "ok"))
    return 1 if check.failures else 0


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "drive" and sys.argv[3] == "--":
        sys.exit(drive(sys.argv[2], sys.argv[4:]))
    if len(sys.argv) == 6 and sys.argv[1] == "analyse":
        sys.exit(analyse(*sys.argv[2:]))
    print(__doc__, file=sys.stderr)
    sys.exit(2)


if __name__ == "__main__":
    main()
