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
import sys
import tempfile
from pathlib import Path

from hello_runs import ROOT, build_launcher, compile_hello, run_in_turn

sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
from harness import Xvfb, write_pictures  # noqa: E402


def splash_medians(jdk, runs, width, height, launcher):
    """Median seconds of hello world with and without a splash, through the launcher and java."""
    work = Path(tempfile.mkdtemp(prefix='splash-bench-'))
    try:
        compile_hello(work, jdk)
        write_pictures((work / 'splash.png', 'png', width, height,
                        [(40, 60, 120), (200, 120, 40), (40, 140, 60), (230, 230, 230)]))
        ini = ('[Java Runtime Environment]\nMain Class=Hello\nJRE Path=%s\n'
               '[Class Path]\nClass Path=.\n' % jdk)
        for name, display in (('plain', ''), ('splash', 'Splash Screen=splash.png\n')):
            shutil.copy2(launcher, work / name)
            (work / (name + '.ini')).write_text(ini + '[Display]\n' + display)
        java = str(jdk / 'bin' / 'java')
        with Xvfb() as screen:
            env = dict(os.environ, DISPLAY=screen)
            env.pop('QL_LAUNCHER_TRACE', None)
            return run_in_turn({'without splash': [str(work / 'plain')],
                                'with splash': [str(work / 'splash')],
                                'java': [java, '-cp', '.', 'Hello'],
                                'java -splash': [java, '-splash:splash.png', '-cp', '.', 'Hello']},
                               runs, work, env)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=40)
    parser.add_argument('--jdk', default='/usr/lib/jvm/java-17-openjdk-amd64')
    parser.add_argument('--size', default='480x300', help='the splash picture, in pixels')
    options = parser.parse_args()
    width, height = (int(n) for n in options.size.split('x'))
    medians = splash_medians(Path(options.jdk), options.runs, width, height, build_launcher())
    print('splash %dx%d, launcher with/without: %.3f (target at most 1.05); '
          'java -splash / java: %.3f'
          % (width, height, medians['with splash'] / medians['without splash'],
             medians['java -splash'] / medians['java']))


if __name__ == '__main__':
    main()
