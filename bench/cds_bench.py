#!/usr/bin/env python3
"""Class-data archive benchmark (not a test): two applications start through build/linux/launcher
with "Class Data Sharing=auto" and without the key, on the same runtime, alternating:

- the Eclipse compiler (Debian's package ecj, one 6.8 MB jar) compiling a small source file;
- jEdit (Debian's package jedit, a Swing editor, one 6.3 MB jar) opening its window on a private
  Xvfb display and closing it as soon as the window shows.

Prints per runtime and application the median wall time of each, how much faster "auto" is once
its archive exists (targets for the compiler: at least 40% with Java 25's ahead-of-time cache, 30%
with Java 17's dynamic archive), what the VM's checksum test of the archive would cost (the same
archive given by hand with -XX:+VerifySharedSpaces), what the recording start costs over a start
without the key, and the machine's load while it ran.

    bench/cds_bench.py [--runs N] [--recordings N] [--jdk PATH ...] [--app ecj|jedit ...]
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
from harness import Xvfb  # noqa: E402

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
JEDIT_EXIT = '''new Thread(new Runnable() {
  public void run() {
    while (jEdit.getActiveView() == null || !jEdit.getActiveView().isShowing()) Thread.sleep(5);
    javax.swing.SwingUtilities.invokeLater(new Runnable() { public void run() { jEdit.exit(null, false); } });
  }
}).start();
'''
# Per application: Debian package, jar, main class, VM parameters, arguments (work is the folder).
APPS = {
    'ecj': ('ecj', '/usr/share/java/eclipse-jdt-core.jar',
            'org.eclipse.jdt.internal.compiler.batch.Main', '',
            lambda work: ['-proc:none', '-11', '-nowarn', '-d', str(work / 'out'), 'Sample.java']),
    # jEdit runs its startup script before its window exists: the script waits on a thread of its
    # own until the window shows, then ends jEdit (jEdit.exit, which calls System.exit).
    'jedit': ('jedit', '/usr/share/jedit/jedit.jar', 'org.gjt.sp.jedit.jEdit',
              '--add-opens=java.desktop/sun.awt=ALL-UNNAMED',
              lambda work: ['-settings=%s' % (work / 'settings'), '-noserver', '-nosplash',
                            '-run=%s' % (work / 'exit.bsh')]),
}


def ensure(package, jar):
    if Path(jar).exists():
        return
    if os.geteuid() != 0:
        raise SystemExit('%s is missing and only root may install it: apt-get install %s' % (jar, package))
    print('installing %s (Debian package) ...' % package)
    subprocess.run(['apt-get', 'install', '-y', package], check=True, stdout=subprocess.DEVNULL)


def timed(argv, cwd, env):
    started = time.perf_counter()
    result = subprocess.run(argv, cwd=cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=300)
    elapsed = time.perf_counter() - started
    if result.returncode != 0:
        raise SystemExit('%s failed: %r %r %r' % (argv, result.returncode, result.stdout[-500:],
                                                  result.stderr[-500:]))
    return elapsed


def application(work, name, jdk, app, extra):
    _package, jar, main, parameters, arguments = APPS[app]
    exe = work / name
    shutil.copy2(ROOT / 'build' / 'linux' / 'launcher', exe)
    (work / (name + '.ini')).write_text(
        '[Java Runtime Environment]\nMain Class=%s\nJRE Path=%s\nVirtual Machine Parameters=%s %s\n%s'
        '[Product Information]\nProduct Name=Bench\nProduct Code=cds\n'
        '[Class Path]\nClass Path=%s\n' % (main, jdk, parameters, extra.pop('parameters', ''),
                                           ''.join(extra.values()), jar))
    return [str(exe)] + arguments(work)


def median_ms(values):
    return statistics.median(values) * 1000


def bench(jdk, app, runs, recordings, display):
    work = Path(tempfile.mkdtemp(prefix='cds-bench-'))
    try:
        (work / 'Sample.java').write_text(SOURCE)
        (work / 'exit.bsh').write_text(JEDIT_EXIT)
        env = dict(os.environ, XDG_CACHE_HOME=str(work / 'cache'), DISPLAY=display)
        for name in ('QL_LAUNCHER_TRACE', 'JAVA_TOOL_OPTIONS', '_JAVA_OPTIONS'):
            env.pop(name, None)
        archives = work / 'cache' / 'ql-launcher' / 'Bench' / 'cds'
        auto = application(work, 'auto', jdk, app, {'cds': 'Class Data Sharing=auto\n'})
        plain = application(work, 'plain', jdk, app, {})
        timed(plain, work, env)  # warms the file cache and makes jEdit's settings

        # The recording start, each time from an empty cache, against a start without the key.
        recording_times, plain_times = [], []
        for i in range(recordings):
            shutil.rmtree(archives, ignore_errors=True)
            pair = [('auto', auto), ('plain', plain)]
            for name, argv in (pair if i % 2 == 0 else pair[::-1]):
                (recording_times if name == 'auto' else plain_times).append(timed(argv, work, env))
        kept = sorted(archives.glob('*.jsa')) + sorted(archives.glob('*.aot'))
        if len(kept) != 1:
            raise SystemExit('the recording start left %d archives' % len(kept))

        # A start that uses the archive: checked once in the trace, then timed. The same archive
        # given by hand with the VM's checksum test shows what that test would cost.
        trace = work / 'trace.txt'
        timed(auto, work, dict(env, QL_LAUNCHER_TRACE=str(trace)))
        if 'class data sharing: using ' not in trace.read_text():
            raise SystemExit('the archive was not used:\n' + trace.read_text())
        by_hand_file = work / ('by-hand' + kept[0].suffix)
        shutil.copyfile(kept[0], by_hand_file)
        option = '-XX:AOTCache=' if kept[0].suffix == '.aot' else '-XX:SharedArchiveFile='
        by_hand = application(work, 'byhand', jdk, app, {'parameters': '-Xlog:cds*=off -XX:+VerifySharedSpaces %s%s'
                                                         % (option, by_hand_file)})
        times = {'auto': [], 'plain': [], 'by hand': []}
        load = os.getloadavg()[0]
        for i in range(runs):
            order = [('auto', auto), ('plain', plain), ('by hand', by_hand)]
            for name, argv in order[i % 3:] + order[:i % 3]:
                times[name].append(timed(argv, work, env))
        load = (load + os.getloadavg()[0]) / 2

        auto_ms, plain_ms = median_ms(times['auto']), median_ms(times['plain'])
        print('%s, %s (%s %.1f MB; load average about %.1f on %d cores)'
              % (app, jdk, kept[0].suffix, kept[0].stat().st_size / 1e6, load, os.cpu_count()))
        for name, values in (('auto', times['auto']), ('without', times['plain'])):
            print('  %-8s median %7.1f ms  (min %6.1f, max %6.1f, %d runs)'
                  % (name, median_ms(values), min(values) * 1000, max(values) * 1000, runs))
        faster = 1 - auto_ms / plain_ms
        target = {('ecj', '.aot'): 0.40, ('ecj', '.jsa'): 0.30}.get((app, kept[0].suffix))
        print('  auto is %.1f%% faster%s; best runs %.1f%% faster'
              % (faster * 100, '' if target is None else ' (target at least %d%%: %s)'
                 % (target * 100, 'met' if faster >= target else 'NOT met'),
                 (1 - min(times['auto']) / min(times['plain'])) * 100))
        hand_ms = median_ms(times['by hand'])
        print('  the same archive with -XX:+VerifySharedSpaces: median %.1f ms, %.1f%% faster; the '
              'checksum test costs %+.1f ms' % (hand_ms, (1 - hand_ms / plain_ms) * 100,
                                                hand_ms - auto_ms))
        record_ms, plain_record_ms = median_ms(recording_times), median_ms(plain_times)
        print('  recording start median %.1f ms against %.1f ms without: %+.1f ms (x%.2f, %d runs)'
              % (record_ms, plain_record_ms, record_ms - plain_record_ms,
                 record_ms / plain_record_ms, recordings))
        return faster
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=30)
    parser.add_argument('--recordings', type=int, default=8)
    parser.add_argument('--jdk', action='append')
    parser.add_argument('--app', action='append', choices=sorted(APPS))
    options = parser.parse_args()
    runtimes = options.jdk or [r for r in RUNTIMES if (Path(r) / 'bin' / 'java').exists()]
    for skipped in sorted(set(RUNTIMES) - set(runtimes)):
        if not options.jdk:
            print('%s: not installed, skipped' % skipped)
    apps = options.app or sorted(APPS)
    for app in apps:
        ensure(APPS[app][0], APPS[app][1])
    build = ROOT / 'build' / 'linux'
    subprocess.run(['cmake', '-S', str(ROOT), '-B', str(build), '-G', 'Ninja'], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(['ninja', '-C', str(build), '-j2', 'launcher'], check=True,
                   stdout=subprocess.DEVNULL)
    with Xvfb() as display:
        for app in apps:
            for jdk in runtimes:
                bench(jdk, app, options.runs, options.recordings, display)


if __name__ == '__main__':
    main()
