"""A throw-away Wine prefix with its own display, and the test class whose tests share one."""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from .display import remove_stale, start_xvfb
from .paths import SCREENSHOT_DIR, SOURCE_DIR, WINE64, WINESERVER, win64_build
from .pictures import bmp_to_png
from .process import Result, terminate
from .session import Running, Session, WineError
from .wine_tools import WineTools


class Wine(WineTools):
    """A throw-away Wine prefix with its own Xvfb display and a persistent wineserver.

    with Wine('label') as wine:
        result = wine.run(exe, args=['a', 'b c'])          # arguments quoted simply
        result = wine.run(exe, cmdline='"a b" c\\\\')        # the raw command line after the program
        result.code, result.boxes
    Screenshots of the boxes go to build/screenshots/<label>-<N>.png (N counts across the runs).
    Set KEEP_WINE=1 in the environment to keep the prefix for inspection.
    """

    def __init__(self, name):
        self.name = name
        self.env = {}
        self.prefix = None
        self.root = None
        self.display = None
        self._xvfb = None
        self._shot_count = 0
        self._run_count = 0
        self.driver = win64_build() / 'uidriver.exe'

    # -- set-up and tear-down ------------------------------------------------------------------

    def __enter__(self):
        if not self.driver.exists():
            raise WineError('%s is missing: build the win64 tree first' % self.driver)
        base = SOURCE_DIR / 'build' / 'wine' / 'tmp'
        base.mkdir(parents=True, exist_ok=True)
        remove_stale(base)
        self.root = Path(tempfile.mkdtemp(prefix=self.name + '-', dir=str(base)))
        try:
            self._start_xvfb()
            self.prefix = self.root / 'prefix'
            subprocess.run([str(SOURCE_DIR / 'tools' / 'wine-prefix'), str(self.prefix)],
                           check=True, timeout=600, stdin=subprocess.DEVNULL)
            self._unmanaged_windows()
            (self.root / 'work').mkdir()
            (self.root / 'results').mkdir()
            self.env = {
                'WINEPREFIX': str(self.prefix),
                'DISPLAY': self.display,
                'WINEDEBUG': '-all',
                'WINEDLLOVERRIDES': 'mscoree,mshtml=',
            }
            # A persistent server keeps the prefix loaded between the runs of a test; should the
            # test be killed, it still goes away on its own a minute after the last program.
            subprocess.run([WINESERVER, '-p60'], env=self._full_env(), check=True, timeout=60,
                           stdin=subprocess.DEVNULL)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _unmanaged_windows(self):
        # Xvfb has no window manager: Wine would wait two seconds for one whenever a top-level
        # window is hidden or destroyed (every message box). Unmanaged windows skip that wait.
        # Written before the prefix's wineserver starts, so it reads it with the rest.
        with open(self.prefix / 'user.reg', 'a', encoding='ascii', newline='\n') as reg:
            reg.write('\n[Software\\\\Wine\\\\X11 Driver] %d\n"Managed"="N"\n' % int(time.time()))

    def _start_xvfb(self):
        self._xvfb, self.display = start_xvfb()

    def __exit__(self, *exc):
        if self.prefix is not None and (self.prefix / 'system.reg').exists():
            try:
                subprocess.run([WINESERVER, '-k'], env=self._full_env(), timeout=30,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
                subprocess.run([WINESERVER, '-w'], env=self._full_env(), timeout=30,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                pass
        if self._xvfb is not None:
            terminate(self._xvfb)
            self._xvfb = None
        if self.root is not None and not os.environ.get('KEEP_WINE'):
            shutil.rmtree(self.root, ignore_errors=True)
            lock = Path(str(self.prefix) + '.lock') if self.prefix else None
            if lock is not None and lock.exists():
                lock.unlink()
        return False

    # -- paths ---------------------------------------------------------------------------------

    @staticmethod
    def winpath(p):
        """The Z:\\ form of a Unix path (absolute, not resolved through links)."""
        return 'Z:' + os.path.abspath(str(p)).replace('/', '\\')

    def unixpath(self, windows_path):
        """The Unix path of a C:\\ or Z:\\ path in this prefix."""
        drive, rest = windows_path[0].lower(), windows_path[2:].replace('\\', '/')
        if drive == 'z':
            return Path(rest)
        return self.prefix / 'dosdevices' / (drive + ':') / rest.lstrip('/')

    @property
    def appdata(self):
        """The prefix's APPDATA folder (Unix path), as Windows programs see it by default."""
        users = sorted(p for p in (self.prefix / 'drive_c' / 'users').iterdir()
                       if p.is_dir() and p.name != 'Public')
        return users[0] / 'AppData' / 'Roaming'

    @property
    def workdir(self):
        """A scratch folder of this prefix, outside any test application; default current folder."""
        return self.root / 'work'

    def _full_env(self, extra=None):
        env = dict(os.environ)
        env.update(self.env)
        for key, value in (extra or {}).items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = str(value)
        return env

    # -- running programs ----------------------------------------------------------------------

    def _program_arguments(self, exe, args, cmdline, env):
        """The driver's arguments that name the program, its command line and its environment."""
        argv = []
        for key, value in (env or {}).items():
            argv += ['--unset', key] if value is None else ['--env', '%s=%s' % (key, value)]
        if cmdline is not None:
            return argv + ['--cmdline', cmdline, self.winpath(exe)]
        return argv + ['--', self.winpath(exe)] + [str(a) for a in (args or [])]

    def start(self, exe, args=None, cmdline=None, env=None, cwd=None, timeout=120, boxes=True,
              button='ok'):
        """Starts exe through the UI driver and returns at once; .wait() gives the Result.
        The parameters are those of run()."""
        if args is not None and cmdline is not None:
            raise ValueError('give args or cmdline, not both')
        self._run_count += 1
        label = '%s-run%d' % (self.name, self._run_count)
        result_file = self.root / 'results' / (label + '.json')
        argv = [WINE64, self.winpath(self.driver), '--out', self.winpath(result_file),
                '--shots', self.winpath(self.root / 'results'), '--name', label,
                '--timeout', str(int(timeout * 1000)), '--button', button]
        if not boxes:
            argv.append('--no-boxes')
        argv += self._program_arguments(exe, args, cmdline, env)
        # Output goes to files, not pipes: Wine's helper processes (explorer, services) inherit the
        # descriptors and would hold a pipe open long after the program has ended.
        out_file = self.root / 'results' / (label + '.stdout')
        err_file = self.root / 'results' / (label + '.stderr')
        with open(out_file, 'wb') as out, open(err_file, 'wb') as err:
            process = subprocess.Popen(argv, cwd=str(cwd or self.workdir), env=self._full_env(),
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                       start_new_session=True)
        return Running(self, process, result_file, label, argv, out_file, err_file)

    def run(self, exe, args=None, cmdline=None, env=None, cwd=None, timeout=120, boxes=True,
            button='ok'):
        """Runs exe (a Unix path) under wine64 and waits for it.

        args: arguments, each put in double quotes when it holds a blank, tab or quote;
        cmdline: the exact raw command line after the quoted program path;
        env: environment variables for this run (None removes one); the driver sets them just
             before it starts the program, so they arrive exactly, even those that Wine otherwise
             fills from the prefix (APPDATA, TEMP, PATH, USERPROFILE...); values are Windows
             text (use winpath for paths). Entries of self.env go through the Unix environment,
             where Wine keeps custom variables but replaces APPDATA, TEMP, PATH and drops HOME;
        cwd: the current folder (Unix path; default: a scratch folder of the prefix);
        boxes: True: every dialog box is read, photographed and dismissed (button 'ok' or
               'cancel', the other one when that is missing, else closed); False: the program's
               windows are left alone;
        timeout: seconds until the program is terminated, which fails the test."""
        return self.start(exe, args, cmdline, env, cwd, timeout, boxes, button).wait(timeout)

    def session(self, exe, args=None, cmdline=None, env=None, cwd=None):
        """Starts exe under the driver's interactive mode and returns the Session; the parameters
        are those of run(). The program's output goes to files (Session.stdout, .stderr)."""
        if args is not None and cmdline is not None:
            raise ValueError('give args or cmdline, not both')
        self._run_count += 1
        label = '%s-session%d' % (self.name, self._run_count)
        out_file = self.root / 'results' / (label + '.stdout')
        err_file = self.root / 'results' / (label + '.stderr')
        argv = [WINE64, self.winpath(self.driver), '--interactive', '--stdout', self.winpath(out_file),
                '--stderr', self.winpath(err_file), '--shots', self.winpath(self.root / 'results')]
        argv += self._program_arguments(exe, args, cmdline, env)
        # The pipes carry commands and answers only; nothing waits for them to close, so Wine's
        # helper processes may inherit them harmlessly.
        process = subprocess.Popen(argv, cwd=str(cwd or self.workdir), env=self._full_env(),
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        return Session(self, process, label, out_file, err_file)

    def _collect(self, result_file, label, out, err, driver_status, argv):
        if not result_file.exists():
            raise WineError('the UI driver wrote no result (status %s): %s\nstderr: %s'
                            % (driver_status, argv, err.decode('utf-8', 'replace')[-3000:]))
        report = json.loads(result_file.read_text(encoding='ascii'))
        if not report['started']:
            raise WineError('the program could not be started: %s (%s)' % (report['error'], argv))
        windows = []
        for box in report['boxes']:
            png = None
            if box['shot']:
                bmp = self.unixpath(box['shot'])
                if bmp.exists():
                    self._shot_count += 1
                    png = SCREENSHOT_DIR / ('%s-%d.png' % (self.name, self._shot_count))
                    bmp_to_png(bmp, png)
                    bmp.unlink()
            windows.append({'text': box['text'], 'caption': box['caption'], 'png': png,
                            'pressed': box['pressed'], 'controls': box['controls'],
                            'seen_ms': box['seen_ms'], 'gone_ms': box['gone_ms']})
        if report['timed_out']:
            raise WineError('%s did not end in time and was terminated; boxes seen: %r'
                            % (argv[-1], [w['text'] for w in windows]))
        result = Result(report['exit_code'], out, err, windows, report['command_line'])
        result.elapsed_ms = report['elapsed_ms']
        return result


class WineCase(unittest.TestCase):
    """A test class whose tests share one Wine prefix and display, named wine_label."""

    wine_label = 'wine'

    @classmethod
    def setUpClass(cls):
        launcher = win64_build() / 'launcher.exe'
        if not launcher.exists():
            raise AssertionError('%s is missing: build the win64 tree' % launcher)
        cls.wine = Wine(cls.wine_label).__enter__()
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.wine.__exit__(None, None, None)
