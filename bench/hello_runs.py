"""What the launch benchmarks share: the Linux launcher built, a hello-world class compiled, and
programs timed in turn, many times, with their medians printed."""

import os
import statistics
import subprocess
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
HELLO = 'public class Hello { public static void main(String[] a) { System.out.println("hello"); } }\n'


def build_launcher():
    """build/linux/launcher, configured and built when needed."""
    build = ROOT / 'build' / 'linux'
    subprocess.run(['cmake', '-S', str(ROOT), '-B', str(build), '-G', 'Ninja'], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(['ninja', '-C', str(build), '-j2', 'launcher'], check=True,
                   stdout=subprocess.DEVNULL)
    return build / 'launcher'


def compile_hello(work, jdk):
    """Hello.class in work; its main prints "hello"."""
    (work / 'Hello.java').write_text(HELLO)
    subprocess.run([str(jdk / 'bin' / 'javac'), '-d', str(work), str(work / 'Hello.java')],
                   check=True, timeout=120)


def run_blocking(argv, cwd=None, env=None, limit=120):
    """Runs argv to its end and returns (seconds, exit code, standard output, peak resident memory
    in KiB). The end is awaited with a blocking wait4: Popen.wait with a time-out polls with growing
    sleeps, which would add milliseconds to every figure. A program that outlives limit seconds is
    killed."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        started = time.perf_counter()
        process = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=err)
        watchdog = threading.Timer(limit, process.kill)
        watchdog.start()
        _pid, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - started
        watchdog.cancel()
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        output = out.read()
        if process.returncode != 0 and limit:
            output += err.read()
        return elapsed, process.returncode, output, usage.ru_maxrss


def timed(argv, cwd, env, expected=b'hello\n'):
    elapsed, code, output, _peak = run_blocking(argv, cwd, env)
    if code != 0 or (expected is not None and output != expected):
        raise SystemExit('%s failed: %r %r' % (argv, code, output[-500:]))
    return elapsed


def run_in_turn(programs, count, cwd, env, expected=b'hello\n'):
    """Runs each program (name: argv) once to warm the file cache, then count times each, the
    order rotating from round to round. Returns the medians by name, after printing them."""
    for argv in programs.values():
        timed(argv, cwd, env, expected)
    times = {name: [] for name in programs}
    order = list(programs.items())
    for i in range(count):
        for name, argv in order[i % len(order):] + order[:i % len(order)]:
            times[name].append(timed(argv, cwd, env, expected))
    medians = {name: statistics.median(values) for name, values in times.items()}
    width = max(len(name) for name in programs)
    for name in programs:
        print('%-*s median %7.1f ms  (min %6.1f, max %6.1f, %d runs)'
              % (width, name, medians[name] * 1000, min(times[name]) * 1000,
                 max(times[name]) * 1000, count))
    return medians
