#!/usr/bin/env python3
"""Hand-over benchmark: how long a second start of a single-instance application takes, from its
start to its exit, when the running first instance answers with the void form of secondaryMain.
Linux, real JVM. Not a test: it prints the figures.

    python3 bench/handover_bench.py [--runs N] [--launcher build/linux/launcher]
"""

import argparse
import os
import signal
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

from hello_runs import run_blocking

JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')
SOURCE = r'''
import java.nio.file.*;
public class Bench {
  public static void main(String[] a) throws Exception {
    Path dir = Paths.get(System.getProperty("bench.dir"));
    Files.write(dir.resolve("ready"), new byte[0]);
    while (!Files.exists(dir.resolve("stop"))) Thread.sleep(50);
    System.exit(0);
  }
  static volatile int calls;
  public static void secondaryMain(String[] a) { calls++; }
}
'''


def handover_times(launcher, runs):
    """The hand-over's wall times in milliseconds, sorted."""
    with tempfile.TemporaryDirectory(prefix='handover-bench-') as tmp:
        folder = Path(tmp)
        (folder / 'Bench.java').write_text(SOURCE)
        subprocess.run([str(JDK / 'bin/javac'), '-d', str(folder), str(folder / 'Bench.java')],
                       check=True, timeout=120)
        exe = folder / 'app'
        exe.write_bytes(Path(launcher).read_bytes())
        exe.chmod(0o755)
        (folder / 'app.ini').write_text(
            '[Application]\nSingle Instance=yes\n[Java Runtime Environment]\nMain Class=Bench\n'
            'JRE Path=%s\nVirtual Machine Parameters=-Dbench.dir=%s\n[Class Path]\nClass Path=%s\n'
            % (JDK, folder, folder))
        env = dict(os.environ)
        env.pop('QL_LAUNCHER_TRACE', None)
        first = subprocess.Popen([str(exe)], env=env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 start_new_session=True)
        try:
            end = time.time() + 60
            while not (folder / 'ready').exists():
                if time.time() > end or first.poll() is not None:
                    raise SystemExit('the first instance did not start')
                time.sleep(0.02)
            # A few warm-up hand-overs (the first ones attach the VM's request threads cold).
            for _ in range(5):
                run_blocking([str(exe), 'warm'], env=env, limit=30)
            times = []
            for i in range(runs):
                elapsed, code, _out, _peak = run_blocking([str(exe), 'doc-%d.txt' % i, '--flag'],
                                                          env=env, limit=30)
                times.append(elapsed * 1000)
                if code != 0:
                    raise SystemExit('run %d ended with %d' % (i, code))
        finally:
            (folder / 'stop').write_text('')
            try:
                first.wait(timeout=30)
            except subprocess.TimeoutExpired:
                os.killpg(first.pid, signal.SIGKILL)
        times.sort()
        return times


def main():
    root_dir = Path(__file__).resolve().parents[1]
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=200)
    parser.add_argument('--launcher', default=str(root_dir / 'build/linux/launcher'))
    options = parser.parse_args()
    times = handover_times(options.launcher, options.runs)
    print('hand-over, second start to exit, void form: %d runs' % len(times))
    print('  median %.2f ms   p10 %.2f ms   p90 %.2f ms   min %.2f ms   max %.2f ms' % (
        statistics.median(times), times[len(times) // 10], times[len(times) * 9 // 10],
        times[0], times[-1]))


if __name__ == '__main__':
    main()
