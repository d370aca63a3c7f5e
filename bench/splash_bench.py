#!/usr/bin/env python3
"""Splash benchmark (not a test): a hello-world application launched through build/linux/launcher
on the same runtime with and without a splash image, and for reference through the JDK's own
`java` with and without `-splash:`, in turn, many times, on a private Xvfb display (every kind runs
with the display, so the splash is the only difference). Prints the median wall time of each and
the ratios with / without (the launcher's target is at most 1.05).

    bench/splash_bench.py [--runs N] [--jdk PATH] [--size WxH]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
from harness import Xvfb, write_pictures  # noqa: E402

HELLO = 'public class Hello { public static void main(String[] a) { System.out.println("hello"); } }\n'


def timed(argv, cwd, env):
    started = time.perf_counter()
    result = subprocess.run(argv, cwd=cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    elapsed = time.perf_counter() - started
    if result.returncode != 0 or result.stdout != b'hello\n':
        raise SystemExit('%s failed: %r %r' % (argv, result.returncode, result.stderr[-500:]))
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=30)
    parser.add_argument('--jdk', default='/usr/lib/jvm/java-17-openjdk-amd64')
    parser.add_argument('--size', default='480x300', help='the splash picture, in pixels')
    options = parser.parse_args()
    jdk = Path(options.jdk)
    width, height = (int(n) for n in options.size.split('x'))

    build = ROOT / 'build' / 'linux'
    subprocess.run(['cmake', '-S', str(ROOT), '-B', str(build), '-G', 'Ninja'], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(['ninja', '-C', str(build), '-j2', 'launcher'], check=True,
                   stdout=subprocess.DEVNULL)

    work = Path(tempfile.mkdtemp(prefix='splash-bench-'))
    try:
        (work / 'Hello.java').write_text(HELLO)
        subprocess.run([str(jdk / 'bin' / 'javac'), '-d', str(work), str(work / 'Hello.java')],
                       check=True, timeout=120)
        write_pictures((work / 'splash.png', 'png', width, height,
                        [(40, 60, 120), (200, 120, 40), (40, 140, 60), (230, 230, 230)]))
        ini = ('[Java Runtime Environment]\nMain Class=Hello\nJRE Path=%s\n'
               '[Class Path]\nClass Path=.\n' % jdk)
        for name, display in (('plain', ''), ('splash', 'Splash Screen=splash.png\n')):
            shutil.copy2(build / 'launcher', work / name)
            (work / (name + '.ini')).write_text(ini + '[Display]\n' + display)
        with Xvfb() as screen:
            env = dict(os.environ, DISPLAY=screen)
            env.pop('QL_LAUNCHER_TRACE', None)
            java = str(jdk / 'bin' / 'java')
            runs = {'without splash': [str(work / 'plain')], 'with splash': [str(work / 'splash')],
                    'java': [java, '-cp', '.', 'Hello'],
                    'java -splash': [java, '-splash:splash.png', '-cp', '.', 'Hello']}
            for argv in runs.values():  # warm the file cache
                timed(argv, work, env)
            times = {name: [] for name in runs}
            for i in range(options.runs):
                order = list(runs.items())
                order = order[i % len(order):] + order[:i % len(order)]
                for name, argv in order:
                    times[name].append(timed(argv, work, env))
        medians = {name: statistics.median(values) for name, values in times.items()}
        for name in runs:
            print('%-15s median %7.1f ms  (min %6.1f, max %6.1f, %d runs)'
                  % (name, medians[name] * 1000, min(times[name]) * 1000,
                     max(times[name]) * 1000, options.runs))
        print('splash %dx%d, launcher with/without: %.3f (target at most 1.05); '
              'java -splash / java: %.3f'
              % (width, height, medians['with splash'] / medians['without splash'],
                 medians['java -splash'] / medians['java']))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
