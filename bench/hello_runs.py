"""What the launch benchmarks share: the Linux launcher built, a hello-world class compiled, and
programs timed in turn, many times, with their medians printed."""

import statistics
import subprocess
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


def timed(argv, cwd, env):
    started = time.perf_counter()
    result = subprocess.run(argv, cwd=cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    elapsed = time.perf_counter() - started
    if result.returncode != 0 or result.stdout != b'hello\n':
        raise SystemExit('%s failed: %r %r' % (argv, result.returncode, result.stderr[-500:]))
    return elapsed


def run_in_turn(programs, count, cwd, env):
    """Runs each program (name: argv) once to warm the file cache, then count times each, the
    order rotating from round to round. Returns the medians by name, after printing them."""
    for argv in programs.values():
        timed(argv, cwd, env)
    times = {name: [] for name in programs}
    order = list(programs.items())
    for i in range(count):
        for name, argv in order[i % len(order):] + order[:i % len(order)]:
            times[name].append(timed(argv, cwd, env))
    medians = {name: statistics.median(values) for name, values in times.items()}
    width = max(len(name) for name in programs)
    for name in programs:
        print('%-*s median %7.1f ms  (min %6.1f, max %6.1f, %d runs)'
              % (width, name, medians[name] * 1000, min(times[name]) * 1000,
                 max(times[name]) * 1000, count))
    return medians
