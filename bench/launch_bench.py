#!/usr/bin/env python3
"""Start-up benchmark (not a test): a hello-world application launched through build/linux/launcher
and through the JDK's own `java -cp` on the same runtime, alternating, many times. Prints the median
wall time of each and their ratio (launcher / java; the target is at most 1.00).

    bench/launch_bench.py [--runs N] [--jdk PATH]
"""

import argparse
import os
import shutil
import tempfile
from pathlib import Path

from hello_runs import build_launcher, compile_hello, run_in_turn


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=30)
    parser.add_argument('--jdk', default='/usr/lib/jvm/java-17-openjdk-amd64')
    options = parser.parse_args()
    jdk = Path(options.jdk)
    launcher = build_launcher()

    work = Path(tempfile.mkdtemp(prefix='launch-bench-'))
    try:
        compile_hello(work, jdk)
        shutil.copy2(launcher, work / 'hello')
        (work / 'hello.ini').write_text('[Java Runtime Environment]\nMain Class=Hello\n'
                                        'JRE Path=%s\n[Class Path]\nClass Path=.\n' % jdk)
        env = dict(os.environ)
        env.pop('QL_LAUNCHER_TRACE', None)
        medians = run_in_turn({'launcher': [str(work / 'hello')],
                               'java': [str(jdk / 'bin' / 'java'), '-cp', '.', 'Hello']},
                              options.runs, work, env)
        print('ratio launcher/java: %.3f' % (medians['launcher'] / medians['java']))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
