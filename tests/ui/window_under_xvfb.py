#!/usr/bin/env python3
"""The program in a real X server (Xvfb), driven by xdotool as an organist
would drive it: it starts in window mode, a click on a tab draws the stop,
closing writes the configuration; a 16-bit screen asks about its colours
once, a 24-bit one never.

usage: window_under_xvfb.py CORVINTA SKIN_PREVIEW CONFIGURATION CASE
  CASE: play | scale (24 bits) | shallow-yes | shallow-no (16 bits)
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

CONSOLE_TITLE = "Corvinta Style 216 ver 0.88"
COLOUR_CAPTION = "Corvinta Screen Initialization"
DEADLINE = 60  # seconds for any one condition; the conditions decide, not the clock


def press_keys(env, window, keys):
    """Real key presses (XTEST) into a window, with the pointer over it: the
    X server's own focus follows the pointer here. Keys sent to the window
    instead (XSendEvent) can outlive it and reach whatever takes the
    keyboard next, such as the console's menu."""
    subprocess.run(["xdotool", "mousemove", "--window", window, "20", "20"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", keys], env=env, stderr=subprocess.DEVNULL)


def fail(text):
    print("FAIL:", text)
    sys.exit(1)


def wait_for(what, condition):
    """Waits until condition() gives something other than None/False."""
    end = time.monotonic() + DEADLINE
    while time.monotonic() < end:
        result = condition()
        if result:
            return result
        time.sleep(0.05)
    fail("gave up waiting for " + what)


class XServer:
    def __init__(self, depth):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x%d" % depth, "-nolisten", "tcp"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                fail("Xvfb did not start")
            number += chunk
        os.close(read)
        self.display = ":" + number.decode().strip()

    def close(self):
        self.process.terminate()
        self.process.wait()


def visible_windows(env):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."], env=env,
                         capture_output=True, text=True).stdout.split()
    windows = {}
    for w in out:
        name = subprocess.run(["xdotool", "getwindowname", w], env=env, capture_output=True, text=True).stdout
        windows[w] = name.strip()
    return windows


def centre_of_region(preview, region):
    """The skin's geometry, asked of the skin preview tool (a sanitizer build's
    library cannot be loaded into this interpreter)."""
    text = subprocess.run([preview, "--region", str(region)], capture_output=True, text=True, check=True).stdout
    rects = [[int(v) for v in r.split(",")] for r in text.strip().split(";") if r]
    left, top, right, bottom = rects[1]  # the first piece of the shape
    return (left + right) // 2, (top + bottom) // 2


def rank_notes_on(log, rank):
    notes = []
    if os.path.exists(log):
        for line in open(log):
            fields = line.split()
            if len(fields) == 6 and fields[1] == str(rank) and fields[3].startswith("9") and int(fields[5], 16) != 0:
                notes.append(int(fields[4], 16))
    return notes


def play_a_scale(preview, console, env, log):
    """Draws the Solo's 8' Tibia and types C major on the computer keyboard:
    real key presses and releases through the X server."""
    x, y = centre_of_region(preview, 7)
    subprocess.run(["xdotool", "mousemove", "--window", console, str(x), str(y), "click", "1"], env=env, check=True)
    scale = ["z", "x", "c", "v", "b", "n", "m", "comma"]
    for key in scale:
        subprocess.run(["xdotool", "keydown", "--window", console, key], env=env, check=True)
        subprocess.run(["xdotool", "keyup", "--window", console, key], env=env, check=True)
    expected = [60, 62, 64, 65, 67, 69, 71, 72]
    wait_for("the scale in the MIDI log", lambda: len(rank_notes_on(log, 6)) >= len(expected))
    if rank_notes_on(log, 6) != expected:
        fail("the Tibia rank played %s, not the scale %s" % (rank_notes_on(log, 6), expected))


def main():
    if sys.argv[1] == "--skip":
        print("SKIP:", sys.argv[2])
        sys.exit(77)
    corvinta, preview, configuration, case = sys.argv[1:5]
    depth = 16 if case.startswith("shallow") else 24
    server = XServer(depth)
    work = tempfile.mkdtemp()
    # A configuration with nothing drawn, so this is no first run (which would
    # play the start-up piece and draw stops of its own).
    config = os.path.join(work, "Corvinta.xml")
    shutil.copy(configuration, config)
    env = dict(os.environ, DISPLAY=server.display, XDG_CONFIG_HOME=os.path.join(work, "config"))
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    log = os.path.join(work, "ranks.log")
    # "res 1024 797" places the console at the skin's own scale: window pixels are design pixels.
    organ = subprocess.Popen([corvinta, "res", "1024", "797", "--audio-driver", "none", "--midi-log", log],
                             cwd=work, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    said = []  # what the organ says on stderr, line by line
    reader = threading.Thread(target=lambda: said.extend(iter(organ.stderr.readline, "")), daemon=True)
    reader.start()
    colour_questions = 0
    try:
        def console_or_box():
            if organ.poll() is not None:
                return "ended"
            nonlocal colour_questions
            for window, name in visible_windows(env).items():
                if name == CONSOLE_TITLE:
                    return window
                if name == COLOUR_CAPTION:
                    colour_questions += 1
                    keys = "alt+y" if case == "shallow-yes" else "Return"  # Return takes the default, No
                else:
                    keys = "Return"  # any other message (no MIDI devices here) is taken as read
                press_keys(env, window, keys)
                time.sleep(0.2)  # let the box go before looking again
            return None

        console = wait_for("the console window or the program's end", console_or_box)
        if case == "shallow-no":
            if console != "ended" or organ.wait() != 1:
                fail("answering No to the colour question must end the program with 1")
            if colour_questions != 1:
                fail("expected one colour question, saw %d" % colour_questions)
            return
        if console == "ended":
            reader.join()
            fail("the program ended before its window opened: " + "".join(said))
        # The window takes clicks once the organ says it is playing.
        wait_for("the organ to play", lambda: any("Corvinta is playing" in line for line in said))
        if colour_questions != (1 if case == "shallow-yes" else 0):
            fail("expected %d colour questions, saw %d" % (1 if case == "shallow-yes" else 0, colour_questions))

        if case == "scale":
            play_a_scale(preview, console, env, log)
            organ.send_signal(signal.SIGTERM)
            organ.wait(timeout=DEADLINE)
            return

        def tremulant_sent():
            """A Tibia rank message its voice at start never sends: its
            tremulant's patch (a program other than the first) or modulation."""
            if not os.path.exists(log):
                return False
            first_program = None
            for line in open(log):
                fields = line.split()
                if len(fields) != 6 or fields[1] != "6":
                    continue
                status, data1 = fields[3].lower(), fields[4].lower()
                if status == "c6":
                    if first_program is None:
                        first_program = data1
                    elif data1 != first_program:
                        return True
                if status == "b6" and int(data1, 16) == 1:
                    return True
            return False
        # "8 TIBIA" of the Solo (item 7), then the Tibia tremulant's tab (tab
        # number 99), which sends its rank's tremulant message: once that is
        # in the log, both clicks have been handled, in order.
        x, y = centre_of_region(preview, 7)
        subprocess.run(["xdotool", "mousemove", "--window", console, str(x), str(y), "click", "1"], env=env, check=True)
        x, y = centre_of_region(preview, 99)
        subprocess.run(["xdotool", "mousemove", "--window", console, str(x), str(y), "click", "1"], env=env, check=True)
        wait_for("the Tibia tremulant in the MIDI log", tremulant_sent)

        organ.send_signal(signal.SIGTERM)
        if organ.wait(timeout=DEADLINE) != 0:
            reader.join()
            fail("closing did not end with 0: " + "".join(said))
        words = {int(i): int(v) for i, v in re.findall(r'<tabstate id="(\d+)">(\d+)</tabstate>', open(config).read())}
        drawn = [item for item in range(128) if words.get(item // 64, 0) >> (item % 64) & 1]
        if 7 not in drawn or 99 not in drawn:
            fail("closing wrote the registration %s, not the tab and the tremulant clicked" % drawn)
    finally:
        if organ.poll() is None:
            organ.kill()
        server.close()


if __name__ == "__main__":
    main()
    print("ok")
