#!/usr/bin/env python3
"""Class-data archive benchmark (not a test): a large application, the Eclipse compiler (Debian's
package ecj, installed here when missing), compiles a small source file through build/linux/launcher
with "Class Data Sharing=auto" and without the key, on the same runtime, alternating. Prints per
runtime the median wall time of each, how much faster "auto" is once its archive exists (the
target is at least 30%), what the VM's checksum test of the archive would cost (the same archive
given by hand with -XX:+VerifySharedSpaces), and what the recording start costs over a start
without the key.

    bench/cds_bench.py [--runs N] [--recordings N] [--jdk PATH ...]
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
ECJ_JAR = Path('/usr/share/java/eclipse-jdt-core.jar')
ECJ_MAIN = 'org.eclipse.jdt.internal.compiler.batch.Main'
RUNTIMES = ['/usr/lib/jvm/java-17-openjdk-amd64', '/usr/lib/jvm/temurin-25-jdk-amd64']
# A start, not a build: the compiler loads its classes and compiles one small file.
SOURCE = r'''
import java.util.*;
import java.util.stream.*;

public class Sample {
  public static void main(String[] args) {
    List<String> words = Arrays.asList(args);
    System.out.println(words.stream().map(String::length).collect(Collectors.toList()));
  }
}
'''


def ensure_ecj():
    if ECJ_JAR.exists():
        return
    if os.geteuid() != 0:
        raise SystemExit('%s is missing and only root may install it: apt-get install ecj' % ECJ_JAR)
    print('installing ecj (Debian package) ...')
    subprocess.run(['apt-get', 'install', '-y', 'ecj'], check=True, stdout=subprocess.DEVNULL)


def timed(argv, cwd, env):
    started = time.perf_counter()
    result = subprocess.run(argv, cwd=cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=300)
    elapsed = time.perf_counter() - started
    if result.returncode != 0:
        raise SystemExit('%s failed: %r %r %r' % (argv, result.returncode, result.stdout[-500:],
                                                  result.stderr[-500:]))
    return elapsed


def application(work, name, jdk, extra):
    exe = work / name
    shutil.copy2(ROOT / 'build' / 'linux' / 'launcher', exe)
    (work / (name + '.ini')).write_text(
        '[Java Runtime Environment]\nMain Class=%s\nJRE Path=%s\n%s'
        '[Product Information]\nProduct Name=Bench\nProduct Code=cds\n'
        '[Class Path]\nClass Path=%s\n' % (ECJ_MAIN, jdk, extra, ECJ_JAR))
    return [str(exe), '-proc:none', '-11', '-nowarn', '-d', str(work / 'out'), 'Sample.java']


def median_ms(values):
    return statistics.median(values) * 1000


def bench_runtime(jdk, runs, recordings):
    work = Path(tempfile.mkdtemp(prefix='cds-bench-'))
    try:
        (work / 'Sample.java').write_text(SOURCE)
        env = dict(os.environ, XDG_CACHE_HOME=str(work / 'cache'))
        for name in ('QL_LAUNCHER_TRACE', 'JAVA_TOOL_OPTIONS', '_JAVA_OPTIONS'):
            env.pop(name, None)
        archives = work / 'cache' / 'Bench' / 'cds'
        auto = application(work, 'auto', jdk, 'Class Data Sharing=auto\n')
        plain = application(work, 'plain', jdk, '')
        timed(plain, work, env)  # warms the file cache

        # The recording start, each time from an empty cache, against a start without the key.
        recording_times, plain_times = [], []
        for i in range(recordings):
            shutil.rmtree(archives, ignore_errors=True)
            pair = [('auto', auto), ('plain', plain)]
            for name, argv in (pair if i % 2 == 0 else pair[::-1]):
                (recording_times if name == 'auto' else plain_times).append(timed(argv, work, env))
        kept = sorted(archives.glob('*.jsa'))
        if len(kept) != 1:
            raise SystemExit('the recording start left %d archives' % len(kept))

        # A start that uses the archive: checked once in the trace, then timed. The same archive
        # given by hand with the VM's checksum test shows what that test would cost.
        trace = work / 'trace.txt'
        timed(auto, work, dict(env, QL_LAUNCHER_TRACE=str(trace)))
        if 'class data sharing: using ' not in trace.read_text():
            raise SystemExit('the archive was not used:\n' + trace.read_text())
        shutil.copyfile(kept[0], work / 'by-hand.jsa')
        by_hand = application(work, 'byhand', jdk, 'Virtual Machine Parameters=-Xlog:cds*=off '
                              '-XX:+VerifySharedSpaces -XX:SharedArchiveFile=%s\n'
                              % (work / 'by-hand.jsa'))
        times = {'auto': [], 'plain': [], 'by hand': []}
        for i in range(runs):
            order = [('auto', auto), ('plain', plain), ('by hand', by_hand)]
            for name, argv in order[i % 3:] + order[:i % 3]:
                times[name].append(timed(argv, work, env))

        auto_ms, plain_ms = median_ms(times['auto']), median_ms(times['plain'])
        print('%s (archive %.1f MB)' % (jdk, kept[0].stat().st_size / 1e6))
        for name, values in (('auto', times['auto']), ('without', times['plain'])):
            print('  %-8s median %7.1f ms  (min %6.1f, max %6.1f, %d runs)'
                  % (name, median_ms(values), min(values) * 1000, max(values) * 1000, runs))
        faster = 1 - auto_ms / plain_ms
        print('  auto is %.1f%% faster (target at least 30%%): %s; best runs %.1f%% faster'
              % (faster * 100, 'met' if faster >= 0.30 else 'NOT met',
                 (1 - min(times['auto']) / min(times['plain'])) * 100))
        hand_ms = median_ms(times['by hand'])
        print('  the same archive with -XX:+VerifySharedSpaces: median %.1f ms, %.1f%% faster; the '
              'checksum test costs %+.1f ms' % (hand_ms, (1 - hand_ms / plain_ms) * 100,
                                                hand_ms - auto_ms))
        record_ms, plain_record_ms = median_ms(recording_times), median_ms(plain_times)
        print('  recording start median %.1f ms against %.1f ms without: %+.1f ms (%+.1f%%, %d runs)'
              % (record_ms, plain_record_ms, record_ms - plain_record_ms,
                 (record_ms / plain_record_ms - 1) * 100, recordings))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=30)
    parser.add_argument('--recordings', type=int, default=8)
    parser.add_argument('--jdk', action='append')
    options = parser.parse_args()
    runtimes = options.jdk or [r for r in RUNTIMES if (Path(r) / 'bin' / 'java').exists()]
    for skipped in sorted(set(RUNTIMES) - set(runtimes)):
        if not options.jdk:
            print('%s: not installed, skipped' % skipped)

    ensure_ecj()
    build = ROOT / 'build' / 'linux'
    subprocess.run(['cmake', '-S', str(ROOT), '-B', str(build), '-G', 'Ninja'], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(['ninja', '-C', str(build), '-j2', 'launcher'], check=True,
                   stdout=subprocess.DEVNULL)
    for jdk in runtimes:
        bench_runtime(jdk, options.runs, options.recordings)


if __name__ == '__main__':
    main()
