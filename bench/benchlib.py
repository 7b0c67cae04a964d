"""Helpers the benchmark scripts share: a scratch folder the organ can run
in, and running a program with its wall time and peak resident memory."""
import os
import signal
import subprocess
import tempfile
import time

FONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"


def organ_folder(font=FONT):
    """A folder with data/Corvinta.sf2 and no configuration: the organ's
    defaults, with font (by default the General MIDI one) as its sound."""
    folder = tempfile.mkdtemp(prefix="corvinta-bench-")
    os.makedirs(os.path.join(folder, "data"))
    os.symlink(os.path.abspath(font), os.path.join(folder, "data", "Corvinta.sf2"))
    return folder


def organ_env(folder):
    env = dict(os.environ)
    env["CORVINTA_DATA_DIR"] = os.path.join(folder, "data")
    return env


def run(args, cwd, env=None):
    """Runs args to the end; returns (seconds, peak RSS in MB)."""
    start = time.perf_counter()
    proc = subprocess.Popen(args, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if proc.returncode != 0:
        raise SystemExit(f"{args[0]} failed ({proc.returncode}):\n{err}")
    return seconds, usage.ru_maxrss / 1024


def run_until(args, cwd, env, ready_text, timeout=30):
    """Starts args, waits for ready_text on its standard error, then sends
    SIGINT. Returns (seconds to ready, peak RSS in MB over the whole run)."""
    start = time.perf_counter()
    proc = subprocess.Popen(args, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seen = b""
    ready = None
    os.set_blocking(proc.stderr.fileno(), False)
    while time.perf_counter() - start < timeout:
        chunk = proc.stderr.read()
        if chunk:
            seen += chunk
            if ready_text.encode() in seen:
                ready = time.perf_counter() - start
                break
        elif proc.poll() is not None:
            break
        else:
            time.sleep(0.001)
    proc.send_signal(signal.SIGINT)
    _, status, usage = os.wait4(proc.pid, 0)
    if ready is None:
        raise SystemExit(f"{args[0]} never became ready:\n{seen.decode(errors='replace')}")
    return ready, usage.ru_maxrss / 1024
