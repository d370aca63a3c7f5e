#!/usr/bin/env python3
"""Start-up benchmark (not a test): a hello-world application launched through build/linux/launcher
and through the JDK's own `java -cp` on the same runtime, alternating, many times. Prints the median
wall time of each and their ratio (launcher / java; the target is at most 1.00).

    bench/launch_bench.py [--runs N] [--jdk PATH]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
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
    options = parser.parse_args()
    jdk = Path(options.jdk)

    build = ROOT / 'build' / 'linux'
    subprocess.run(['cmake', '-S', str(ROOT), '-B', str(build), '-G', 'Ninja'], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(['ninja', '-C', str(build), '-j2', 'launcher'], check=True,
                   stdout=subprocess.DEVNULL)

    work = Path(tempfile.mkdtemp(prefix='launch-bench-'))
    try:
        (work / 'Hello.java').write_text(HELLO)
        subprocess.run([str(jdk / 'bin' / 'javac'), '-d', str(work), str(work / 'Hello.java')],
                       check=True, timeout=120)
        shutil.copy2(build / 'launcher', work / 'hello')
        (work / 'hello.ini').write_text('[Java Runtime Environment]\nMain Class=Hello\n'
                                        'JRE Path=%s\n[Class Path]\nClass Path=.\n' % jdk)
        env = dict(os.environ)
        env.pop('QL_LAUNCHER_TRACE', None)
        launcher = [str(work / 'hello')]
        java = [str(jdk / 'bin' / 'java'), '-cp', '.', 'Hello']
        for argv in (launcher, java):  # warm the file cache
            timed(argv, work, env)
        times = {'launcher': [], 'java': []}
        for i in range(options.runs):
            order = [('launcher', launcher), ('java', java)]
            if i % 2:
                order.reverse()
            for name, argv in order:
                times[name].append(timed(argv, work, env))
        medians = {name: statistics.median(values) for name, values in times.items()}
        for name in ('launcher', 'java'):
            print('%-9s median %7.1f ms  (min %6.1f, max %6.1f, %d runs)'
                  % (name, medians[name] * 1000, min(times[name]) * 1000,
                     max(times[name]) * 1000, options.runs))
        print('ratio launcher/java: %.3f' % (medians['launcher'] / medians['java']))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
