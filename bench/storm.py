#!/usr/bin/env python3
"""Single-instance storm on Linux with the real JVM. Not a test: it prints what happened.

1. 50 second starts at once against a running first instance (int form of secondaryMain): every
   one must end with its own code, and the first must have received each argument list exactly
   once, unmixed.
2. The same storm, with the first instance killed (SIGKILL) in the middle: every second start must
   end (none hangs), and the next start must become a first instance and run main.

    python3 bench/storm.py [--starts 50] [--launcher build/linux/launcher]
"""

import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
sys.path.insert(0, str(ROOT / 'tests' / 'e2e' / 'linux'))
os.environ.setdefault('SOURCE_DIR', str(ROOT))
from test_single_instance import JAVA_SOURCES, JDK, SEP, ini  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--starts', type=int, default=50)
    parser.add_argument('--launcher', default=str(ROOT / 'build/linux/launcher'))
    options = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix='storm-') as tmp:
        tmp = Path(tmp)
        classes = tmp / 'classes'
        classes.mkdir()
        for name, source in JAVA_SOURCES.items():
            (classes / name).write_text(source)
        subprocess.run([str(JDK / 'bin/javac'), '-d', str(classes)] +
                       [str(classes / n) for n in JAVA_SOURCES], check=True)

        def app(name):
            folder = tmp / name
            folder.mkdir()
            exe = folder / 'app'
            exe.write_bytes(Path(options.launcher).read_bytes())
            exe.chmod(0o755)
            (folder / 'app.ini').write_text(ini('SiInt').replace('{DIR}', str(folder))
                                            .replace('{CLASSES}', str(classes)))
            return exe

        def start(exe, args):
            return subprocess.Popen([str(exe)] + args, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def wait_main(exe, process):
            end = time.time() + 60
            while not (exe.parent / ('main-started-%d' % process.pid)).exists():
                if time.time() > end:
                    raise SystemExit('main of the first instance did not start')
                time.sleep(0.02)

        def records(exe):
            out = []
            for path in exe.parent.glob('rec-*'):
                kind, count, body = path.read_text('utf-8').split('\n', 2)
                if kind == 'int':
                    out.append(body.split(SEP) if int(count) else [])
            return out

        n = options.starts
        sets = {i: ['storm', str(i)] + ['t%d-%d %s' % (i, k, 'y' * (i % 9 * 7)) for k in range(i % 5 + 1)]
                for i in range(n)}

        # 1. The storm.
        exe = app('storm')
        first = start(exe, [])
        wait_main(exe, first)
        began = time.time()
        seconds = {i: start(exe, args) for i, args in sets.items()}
        codes = {i: p.wait(timeout=120) for i, p in seconds.items()}
        took = time.time() - began
        got = records(exe)
        wrong = [i for i, c in codes.items() if c != 100 + i]
        lost = [i for i, a in sets.items() if a not in got]
        duplicated = len(got) - len({tuple(a) for a in got})
        mixed = [a for a in got if a not in sets.values()]
        (exe.parent / 'stop').write_text('0')
        first.wait(timeout=60)
        print('storm: %d second starts in %.2f s; wrong exit codes %d, lost %d, duplicated %d, mixed %d'
              % (n, took, len(wrong), len(lost), duplicated, len(mixed)))

        # 2. The first instance killed in the middle of the storm.
        exe = app('kill')
        first = start(exe, [])
        wait_main(exe, first)
        seconds = {i: start(exe, args) for i, args in sets.items() if i < n // 2}
        time.sleep(0.2)
        os.kill(first.pid, signal.SIGKILL)
        first.wait()
        seconds.update({i: start(exe, args) for i, args in sets.items() if i >= n // 2})
        # A start after the kill finds the block stale and becomes a first instance itself: it runs
        # main (and serves the later ones) until it is told to stop.
        firsts = set()
        hung = 0
        ended = {}
        end = time.time() + 60
        for i, process in seconds.items():
            while process.poll() is None and time.time() < end:
                if (exe.parent / ('main-started-%d' % process.pid)).exists():
                    firsts.add(i)
                    break
                time.sleep(0.02)
            if i in firsts:
                continue
            if process.poll() is None:
                hung += 1
                process.kill()
            ended[i] = process.wait()
        (exe.parent / 'stop').write_text('0')
        for i in firsts:
            ended[i] = seconds[i].wait(timeout=60)
        answered = sum(1 for i, c in ended.items() if c == 100 + i)
        time.sleep(0.5)
        (exe.parent / 'stop').unlink()
        for path in exe.parent.glob('main-started-*'):
            path.unlink()
        after = start(exe, ['after'])
        wait_main(exe, after)
        (exe.parent / 'stop').write_text('7')
        after_code = after.wait(timeout=60)
        print('kill mid-storm: %d second starts: %d answered, %d became a first instance, %d ended with '
              'the killed one, %d hung; the next start ran main and ended with %d'
              % (len(seconds), answered, len(firsts), len(ended) - answered - len(firsts), hung,
                 after_code))


if __name__ == '__main__':
    main()
