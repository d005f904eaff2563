#!/usr/bin/env python3
"""SIGKILL mcishell at random moments of a scripted session on the virtual clock (captures
that overwrite and insert at random places, deletes, saves) and check that the take it
leaves reopens with exactly the sound a save just before the kill would have held, less at
most 0.5 s of the capture under way.

    mcishell-kill.py BUILD_DIR [KILLS] [SEED] [--compact]

The input numbers every frame (mcishell --numbered), so the run is the same every time: a
first run without kills saves the state after each step, and each killed run is compared
with those. Half the kills land in a capture that runs at the speed of a real one (the
virtual clock moved 50 ms every 50 ms), where the loss is measured against what the
element reported captured; the others land right after a random line, where the take must
hold every change already answered and be some state the element passed through.
With --compact, mcishell compacts its take whenever any of it is garbage, each copy paced
to last a few hundred milliseconds, and the kills that do not land in a capture come while
the script polls the element (as the window's timer does, so finished copies are switched
to): they land before, during and after compactions, and the take must still reopen equal
to the save before the kill.
Prints the figures: kills, kills mid-capture, largest loss, and with --compact the kills
that found a compaction unfinished and the takes already compacted."""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

RATE, CHANNELS, FRAME = 8000, 2, 4
BYTES_PER_MS = RATE * FRAME // 1000
MAX_LOSS_MS = 500


def make_steps(rng):
    """Each step: ('capture', how, at_ms, ms) or ('delete', from_ms, to_ms)."""
    steps, length = [("capture", "overwrite", 0, 2000)], 2000
    for _ in range(11):
        if rng.random() < 0.3 and length > 200:
            a = rng.randrange(0, length - 100)
            b = rng.randrange(a + 1, min(length, a + 1500) + 1)
            steps.append(("delete", a, b))
            length -= b - a
        else:
            how = rng.choice(["insert", "overwrite"])
            at, ms = rng.randrange(0, length + 1), rng.randrange(200, 2500)
            steps.append(("capture", how, at, ms))
            length = length + ms if how == "insert" else max(length, at + ms)
    return steps


def script(steps, refs):
    """(line, phase, step index) triples; phase names what has happened once it is answered."""
    lines = [("open new type waveaudio alias A", "open", -1),
             ("set A time format ms samplespersec %d channels %d bitspersample 16" % (RATE, CHANNELS),
              "open", -1)]
    for k, s in enumerate(steps):
        if s[0] == "capture":
            _, how, at, ms = s
            lines += [("record A from %d %s" % (at, how), "started", k),
                      ("wait %d" % ms, "waiting", k),
                      ("status A length", "captured", k),
                      ("stop A", "done", k)]
        else:
            lines.append(("delete A from %d to %d" % (s[1], s[2]), "done", k))
        lines.append(('save A "%s"' % os.path.join(refs, "ref-%d.wav" % k), "done", k))
    return lines


def frames_of(path):
    with wave.open(path, "rb") as w:
        return w.readframes(w.getnframes())


COMPACT = ["--compact-after", "1", "--compact-percent", "0", "--compact-pause", "100"]


def mcishell(build, env, extra):
    return subprocess.Popen([os.path.join(build, "mcishell"), "--virtual", "--numbered"] + extra,
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=env, text=True, bufsize=1)


def captured_with(before, after, how, at_ms, got):
    """The element after a capture at `at_ms` that kept `got` bytes of what `after` holds."""
    at = at_ms * BYTES_PER_MS
    if how == "insert":
        return before[:at] + after[at:at + got] + before[at:]
    return after[:at + got] + before[at + got:]


def kept_bytes(before, after, how, at_ms, recovered):
    """How much of the capture `recovered` holds, or None if it is no such state."""
    at = at_ms * BYTES_PER_MS
    if how == "insert":
        got = len(recovered) - len(before)
    elif len(recovered) > len(before):
        got = len(recovered) - at
    else:
        got = 0
        limit = len(after) - at
        while got < limit and recovered[at + got:at + got + FRAME] == after[at + got:at + got + FRAME]:
            got += FRAME
    full = len(after) - len(before) if how == "insert" else None
    if got < 0 or (full is not None and got > full):
        return None
    return got if captured_with(before, after, how, at_ms, got) == recovered else None


def generations(folder):
    """The generations whose files are in a take folder, and whether an atomic write is."""
    gens, temp = set(), False
    for name in os.listdir(folder):
        stem, _, gen = name.partition(".")
        if stem in ("sound", "journal"):
            gens.add(int(gen) if gen else 0)
        temp = temp or name.startswith(".wsx-")
    return gens, temp


def main():
    args = [a for a in sys.argv[1:] if a != "--compact"]
    compact = len(args) < len(sys.argv) - 1
    build = args[0]
    kills = int(args[1]) if len(args) > 1 else 24
    seed = int(args[2]) if len(args) > 2 else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("seed %d%s" % (seed, " with compactions" if compact else ""))
    work = tempfile.mkdtemp(prefix="wsx-kill-")
    try:
        return run(build, kills, rng, work, COMPACT if compact else [])
    finally:
        shutil.rmtree(work, ignore_errors=True)


def run(build, kills, rng, work, extra):
    refs, state = os.path.join(work, "refs"), os.path.join(work, "state")
    os.makedirs(refs)
    env = dict(os.environ, XDG_STATE_HOME=state)
    steps = make_steps(rng)
    lines = script(steps, refs)
    full = subprocess.run([os.path.join(build, "mcishell"), "--virtual", "--numbered"] + extra, env=env,
                          input="\n".join(l for l, _, _ in lines) + "\nclose A\n", text=True,
                          capture_output=True, check=True)
    assert "\n".join(full.stdout.split("\n")[2:]).count("0") >= len(steps), full.stdout
    ref = [frames_of(os.path.join(refs, "ref-%d.wav" % k)) for k in range(len(steps))]

    failures, mid_capture, worst_loss_ms = 0, 0, 0.0
    mid_compaction, compacted = 0, 0
    for n in range(kills):
        shutil.rmtree(state, ignore_errors=True)
        paced = n % 2 == 0
        waits = [i for i, (_, ph, _) in enumerate(lines) if ph == "waiting"]
        stop_at = rng.choice(waits) if paced else rng.randrange(2, len(lines))
        delay = rng.choice([0.0, rng.uniform(0.0, 0.05), rng.uniform(0.1, 0.3)])
        p = mcishell(build, env, extra)
        for line, _, _ in lines[:stop_at if paced else stop_at + 1]:
            p.stdin.write(line + "\n")
            if not line.startswith("wait "):
                p.stdout.readline()
        _, phase, k = lines[stop_at]
        if paced:
            # The capture under way runs in real time; the kill comes at a random moment.
            phase, reported = "paced", 0
            chunks = rng.randrange(1, steps[k][3] // 50 + 1)
            for i in range(chunks):
                p.stdin.write("wait 50\nstatus A position\n")
                reported = int(p.stdout.readline().split('"')[1]) - steps[k][2]
                time.sleep(0.05 if i + 1 < chunks else rng.uniform(0.0, 0.05))
        elif extra:
            # Polled as the window polls, so a finished copy is switched to meanwhile.
            until = time.monotonic() + rng.uniform(0.0, 0.6)
            while time.monotonic() < until:
                p.stdin.write("status A mode\n")
                p.stdout.readline()
                time.sleep(rng.uniform(0.0, 0.03))
        else:
            time.sleep(delay)
        p.send_signal(signal.SIGKILL)
        p.wait()
        takes = [d for d in os.listdir(os.path.join(state, "wanshengxia")) if d.startswith("take-")]
        before = ref[k - 1] if k > 0 else b""
        after = ref[k]
        if not takes:
            recovered = b""
        else:
            assert len(takes) == 1, takes
            folder = os.path.join(state, "wanshengxia", takes[0])
            gens, temp = generations(folder)
            mid_compaction += len(gens) > 1 or temp
            compacted += max(gens, default=0) > 0
            out = os.path.join(work, "recovered.wav")
            r = subprocess.run([os.path.join(build, "mcishell")], env=env, text=True, capture_output=True,
                               input='open "%s" type waveaudio alias R\nsave R "%s"\n' % (folder, out))
            if r.returncode != 0:
                print("kill %d: the take did not reopen: %s %s" % (n, r.stdout, r.stderr))
                failures += 1
                continue
            recovered = frames_of(out)
            if os.listdir(os.path.join(state, "wanshengxia")):
                print("kill %d: a saved, unchanged take was left behind" % n)
                failures += 1
        step = steps[k]
        what = "kill %d after '%s' (%s)" % (n, lines[stop_at][0], phase)
        if phase == "done" or (step[0] == "delete" and phase != "open"):
            ok = recovered == after
        elif step[0] == "capture":
            got = kept_bytes(before, after, step[1], step[2], recovered)
            ok = got is not None
            if ok and phase == "paced":
                mid_capture += 1
                loss_ms = reported - got / BYTES_PER_MS
                worst_loss_ms = max(worst_loss_ms, loss_ms)
                ok = loss_ms <= MAX_LOSS_MS
        else:
            ok = recovered == b""
        if not ok:
            failures += 1
            print("FAIL %s: recovered %d bytes, before %d, after %d" % (what, len(recovered), len(before), len(after)))
    print("%d kills, %d mid-capture; largest loss of a capture %.1f ms (allowed %d); %d failures"
          % (kills, mid_capture, worst_loss_ms, MAX_LOSS_MS, failures))
    if extra:
        print("%d kills found a compaction unfinished; %d takes had been compacted"
              % (mid_compaction, compacted))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
