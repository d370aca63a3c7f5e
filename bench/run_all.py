#!/usr/bin/env python3
"""Every benchmark of the launcher, in one table (Linux, the installed JDK 17; the Windows sizes
from the cross builds). Not a test: it prints figures.

- hello world and a large class-path application (the Eclipse compiler, Debian's ecj, installed
  here when missing) through the launcher against `java -cp` on the same runtime, in turn, and
  the compiler with "Class Data Sharing=auto" against the same without;
- the splash's cost on hello world (on a private Xvfb display);
- the single-instance hand-over, median and p90;
- the launcher's own work, with the VM test double in place of a VM (no Java at all);
- peak memory of the launcher's process against `java`'s;
- the executables' sizes.

    python3 bench/run_all.py [--runs N]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
from pathlib import Path

from handover_bench import handover_times
from hello_runs import ROOT, build_launcher, compile_hello, run_blocking, run_in_turn
from splash_bench import splash_medians

JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')
ECJ = Path('/usr/share/java/eclipse-jdt-core.jar')
ECJ_MAIN = 'org.eclipse.jdt.internal.compiler.batch.Main'


def ensure_ecj():
    if not ECJ.exists():
        subprocess.run(['apt-get', 'install', '-y', '-qq', 'ecj'], check=True,
                       env=dict(os.environ, DEBIAN_FRONTEND='noninteractive'), stdout=subprocess.DEVNULL)


def app(work, name, launcher, main, classpath, extra=''):
    shutil.copy2(launcher, work / name)
    (work / (name + '.ini')).write_text('[Java Runtime Environment]\nMain Class=%s\nJRE Path=%s\n%s'
                                        '[Class Path]\nClass Path=%s\n' % (main, JDK, extra, classpath))
    return str(work / name)


def peak_kib(argv, cwd, env, runs=5):
    return statistics.median(run_blocking(argv, cwd, env)[3] for _ in range(runs))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=30)
    options = parser.parse_args()
    launcher = build_launcher()
    ensure_ecj()
    rows = []
    work = Path(tempfile.mkdtemp(prefix='bench-all-'))
    try:
        env = dict(os.environ)
        env.pop('QL_LAUNCHER_TRACE', None)
        java = str(JDK / 'bin' / 'java')
        compile_hello(work, JDK)

        hello = run_in_turn({'launcher': [app(work, 'hello', launcher, 'Hello', '.')],
                             'java': [java, '-cp', '.', 'Hello']}, options.runs, work, env)
        rows.append(('hello world, launcher / java -cp', '%.1f / %.1f ms' % (
            hello['launcher'] * 1000, hello['java'] * 1000), '%.3f' % (hello['launcher'] / hello['java'])))

        (work / 'Small.java').write_text('class Small { int f() { return 1; } }\n')
        compile_args = ['-d', 'none', '-1.8', '-nowarn', '-proc:none', 'Small.java']
        big = run_in_turn({'launcher': [app(work, 'ecj', launcher, ECJ_MAIN, ECJ)] + compile_args,
                           'java': [java, '-cp', str(ECJ), ECJ_MAIN] + compile_args},
                          options.runs, work, env, expected=None)
        rows.append(('Eclipse compiler, launcher / java -cp', '%.1f / %.1f ms' % (
            big['launcher'] * 1000, big['java'] * 1000), '%.3f' % (big['launcher'] / big['java'])))

        # The same with "Class Data Sharing=auto", once its archive is recorded (bench/cds_bench.py
        # has the other runtime, jEdit and the recording start).
        cds_env = dict(env, XDG_CACHE_HOME=str(work / 'cache'))
        cds = [app(work, 'ecjcds', launcher, ECJ_MAIN, ECJ, 'Class Data Sharing=auto\n')] + compile_args
        run_blocking(cds, work, cds_env)  # records the archive
        shared = run_in_turn({'auto': cds, 'without': [str(work / 'ecj')] + compile_args},
                             options.runs, work, cds_env, expected=None)
        rows.append(('Eclipse compiler, Class Data Sharing auto / without', '%.1f / %.1f ms' % (
            shared['auto'] * 1000, shared['without'] * 1000), '%.3f' % (shared['auto'] / shared['without'])))

        splash = splash_medians(JDK, options.runs, 480, 300, launcher)
        rows.append(('splash 480x300, with / without', '%.1f / %.1f ms' % (
            splash['with splash'] * 1000, splash['without splash'] * 1000),
            '%.3f' % (splash['with splash'] / splash['without splash'])))

        times = handover_times(launcher, 200)
        rows.append(('single-instance hand-over, median / p90', '%.2f / %.2f ms' % (
            statistics.median(times), times[len(times) * 9 // 10]), ''))

        home = work / 'double-rt'
        (home / 'lib' / 'server').mkdir(parents=True)
        shutil.copy2(ROOT / 'build/linux/vmdouble/libjvm.so', home / 'lib/server/libjvm.so')
        (work / 'double.cfg').write_text('main=Hello\n')
        double_env = dict(env, VMDOUBLE_CONFIG=str(work / 'double.cfg'))
        double = app(work, 'double', launcher, 'Hello', '.').replace('double', 'double')
        (work / 'double.ini').write_text((work / 'double.ini').read_text().replace(str(JDK), str(home)))
        own = run_in_turn({'launcher with the VM double': [double]}, options.runs, work, double_env,
                          expected=None)
        rows.append(("the launcher's own work (VM double, no Java)",
                     '%.2f ms' % (own['launcher with the VM double'] * 1000), ''))

        launcher_peak = peak_kib([str(work / 'hello')], work, env)
        java_peak = peak_kib([java, '-cp', '.', 'Hello'], work, env)
        rows.append(('peak memory, launcher / java (hello world)', '%d / %d KiB' % (
            launcher_peak, java_peak), '%.3f' % (launcher_peak / java_peak)))

        for label, path in (('i686', ROOT / 'build/win32/launcher.exe'),
                            ('x86_64', ROOT / 'build/win64/launcher.exe'),
                            ('Linux', launcher)):
            if Path(path).exists():
                rows.append(('size of %s launcher' % label, '%d bytes' % Path(path).stat().st_size, ''))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    width = max(len(r[0]) for r in rows)
    print()
    print('| %-*s | %-22s | %-7s |' % (width, 'measure', 'figure', 'ratio'))
    print('|%s|%s|%s|' % ('-' * (width + 2), '-' * 24, '-' * 9))
    for name, figure, ratio in rows:
        print('| %-*s | %-22s | %-7s |' % (width, name, figure, ratio))


if __name__ == '__main__':
    main()
