"""Shared helpers of the end-to-end tests (Python 3 standard library only).

Linux:   make_app(...) then run_linux(exe, args) -> Result(code, stdout, stderr).
Windows: with Wine('label') as wine: wine.run(exe, args) -> Result(code, boxes, stdout, stderr):
         the program runs under wine64 on a private Xvfb display in a throw-away prefix, through
         the UI driver (build/win64/uidriver.exe), which reads, photographs and dismisses every
         dialog box of the program and reports its exact 32-bit exit code.
         with wine.session(exe) as s: the test drives the program's windows itself through the
         driver's interactive mode (s.wait_dialog, s.wait_window, s.info, s.press, s.shot, ...).
Both:    write_pictures(...) makes BMP, JPEG, GIF and PNG test pictures with the JDK's writers;
         with Xvfb() as display: a private X display for a Linux program.
"""

import hashlib
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import zlib
from pathlib import Path

__all__ = ['SOURCE_DIR', 'tree_state', 'BUILD_DIR', 'linux_build', 'win64_build', 'win32_build', 'make_app',
           'run_linux', 'Result', 'Wine', 'WineError', 'WineCase', 'bmp_to_png', 'SCREENSHOT_DIR',
           'read_bmp', 'Picture', 'Session', 'control',
           'text', 'app_ini', 'read_lines', 'traced', 'wait_for', 'read_log', 'log_field',
           'unescape_log', 'secondary_calls', 'block_name', 'private_folder', 'block_files',
           'make_icon', 'Xvfb', 'write_pictures', 'JDK_HOME', 'class_sources']

SOURCE_DIR = Path(os.environ.get('SOURCE_DIR') or Path(__file__).resolve().parents[2])
BUILD_DIR = Path(os.environ.get('BUILD_DIR') or SOURCE_DIR / 'build' / 'linux')
SCREENSHOT_DIR = SOURCE_DIR / 'build' / 'screenshots'
WINE64 = '/usr/lib/wine/wine64'
JDK_HOME = Path('/usr/lib/jvm/java-17-openjdk-amd64')
WINESERVER = '/usr/lib/wine/wineserver'


def linux_build():
    return SOURCE_DIR / 'build' / 'linux'


def win64_build():
    return SOURCE_DIR / 'build' / 'win64'


def win32_build():
    return SOURCE_DIR / 'build' / 'win32'


class WineError(AssertionError):
    """The Windows side could not be driven (driver failed, program hung): a test failure."""


class Result:
    """Outcome of one run.

    code: Linux: exit status as the shell sees it (0..255; 128+N after signal N).
          Windows: the signed 32-bit exit code (-1 for 0xFFFFFFFF).
    stdout, stderr: text (UTF-8, undecodable bytes replaced); raw bytes in stdout_bytes/stderr_bytes.
    boxes: Windows only: the texts of the dialog boxes shown, in order ([] on Linux).
    windows: Windows only: one dict per box: text, caption, png (Path or None), pressed
             ('ok', 'cancel' or 'close'), controls (list of {id, class, text, visible, enabled}).
    """

    def __init__(self, code, stdout_bytes=b'', stderr_bytes=b'', windows=None, command_line=None):
        self.code = code
        self.stdout_bytes = stdout_bytes or b''
        self.stderr_bytes = stderr_bytes or b''
        self.stdout = self.stdout_bytes.decode('utf-8', 'replace')
        self.stderr = self.stderr_bytes.decode('utf-8', 'replace')
        self.windows = windows or []
        self.boxes = [w['text'] for w in self.windows]
        self.command_line = command_line

    def __repr__(self):
        return ('Result(code=%r, boxes=%r, stdout=%r, stderr=%r)'
                % (self.code, self.boxes, self.stdout[-2000:], self.stderr[-2000:]))


def make_app(folder, launcher, ini_text, name='app'):
    """Copies the launcher into folder as name (+'.exe' when the source ends in .exe) and writes
    name.ini beside it (none when ini_text is None). ini_text may be bytes (written as they stand)
    or str (UTF-8 for a Linux launcher, cp1252, the ANSI code page of the prefix, for a .exe).
    Returns the copied executable's path."""
    folder = Path(folder)
    launcher = Path(launcher)
    folder.mkdir(parents=True, exist_ok=True)
    windows = launcher.suffix.lower() == '.exe'
    exe = folder / (name + ('.exe' if windows and not name.lower().endswith('.exe') else ''))
    shutil.copy2(launcher, exe)
    if ini_text is not None:
        base = name[:-4] if name.lower().endswith('.exe') else name
        data = ini_text if isinstance(ini_text, bytes) else ini_text.encode(
            'cp1252' if windows else 'utf-8')
        (folder / (base + '.ini')).write_bytes(data)
    return exe


def _kill_group(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        pass


def run_linux(exe, args=(), env=None, cwd=None, timeout=120):
    """Runs a Linux program with the given arguments; env entries are added to (None values
    removed from) the current environment. A program that outlives timeout is killed and the
    test fails."""
    full_env = dict(os.environ)
    for key, value in (env or {}).items():
        if value is None:
            full_env.pop(key, None)
        else:
            full_env[key] = str(value)
    process = subprocess.Popen([str(exe)] + [str(a) for a in args], cwd=str(cwd) if cwd else None,
                               env=full_env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, start_new_session=True)
    try:
        out, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        _kill_group(process)
        raise AssertionError('%s %s did not end within %s s' % (exe, list(args), timeout))
    code = process.returncode
    if code < 0:
        code = 128 - code
    return Result(code, out, err)


class Picture:
    """Pixels of a screenshot: rows top to bottom, each bytes of r, g, b."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows

    def pixel(self, x, y):
        row = self.rows[y]
        return tuple(row[3 * x:3 * x + 3])

    def count(self, colour, box=None):
        """Pixels of exactly that (r, g, b) colour, within box (left, top, right, bottom)."""
        return self.colours(box).get(tuple(colour), 0)

    def colours(self, box=None):
        """{(r, g, b): pixel count} within box (left, top, right, bottom)."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        found = {}
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                found[self.pixel(x, y)] = found.get(self.pixel(x, y), 0) + 1
        return found


def read_bmp(bmp):
    """The pixels of an uncompressed 24- or 32-bit BMP."""
    data = Path(bmp).read_bytes()
    if data[:2] != b'BM':
        raise ValueError('%s is not a BMP file' % bmp)
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height, _planes, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        raise ValueError('%s: unsupported BMP format (%d bits, compression %d)' % (bmp, bits, compression))
    bottom_up = height > 0
    height = abs(height)
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(height):
        row_start = offset + (height - 1 - y if bottom_up else y) * stride
        row = data[row_start:row_start + width * step]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[2::step]
        rgb[1::3] = row[1::step]
        rgb[2::3] = row[0::step]
        rows.append(bytes(rgb))
    return Picture(width, height, rows)


def bmp_to_png(bmp, png):
    """Converts an uncompressed 24- or 32-bit BMP into a PNG (pure Python)."""
    picture = read_bmp(bmp)
    width, height = picture.width, picture.height
    rows = [b'\x00' + row for row in picture.rows]

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))

    png_data = (b'\x89PNG\r\n\x1a\n'
                + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(b''.join(rows), 6))
                + chunk(b'IEND', b''))
    Path(png).parent.mkdir(parents=True, exist_ok=True)
    Path(png).write_bytes(png_data)


def _die_with_parent():
    # The display goes when the test process goes, even when it is killed.
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def _remove_stale(base, age=6 * 3600):
    # Prefixes of test processes that were killed; a day's runs would otherwise fill the disk.
    now = time.time()
    for entry in base.iterdir():
        try:
            if entry.is_dir() and now - entry.stat().st_mtime > age:
                shutil.rmtree(entry, ignore_errors=True)
        except OSError:
            pass


def start_xvfb():
    """Starts an Xvfb server of 1024 by 768 pixels on a free display; returns (process, ':N')."""
    read_end, write_end = os.pipe()
    # A desktop always has clients; without -noreset the server resets whenever its last client
    # goes, and the next program's connection waits for that.
    xvfb = subprocess.Popen(
        ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1024x768x24', '-nolisten', 'tcp',
         '-noreset'],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL, start_new_session=True, preexec_fn=_die_with_parent)
    os.close(write_end)
    number = b''
    deadline = time.time() + 30
    with os.fdopen(read_end, 'rb', buffering=0) as pipe:
        import select
        while not number.endswith(b'\n') and time.time() < deadline:
            ready, _, _ = select.select([pipe], [], [], max(0.0, deadline - time.time()))
            if not ready:
                break
            piece = pipe.read(16)
            if not piece:
                break
            number += piece
    if not number.strip().isdigit():
        _kill_group(xvfb)
        raise WineError('Xvfb did not report a display number')
    return xvfb, ':' + number.strip().decode()


def _terminate(process):
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        _kill_group(process)


class Xvfb:
    """A private X display for a Linux test: with Xvfb() as display: ... (display is ':N')."""

    def __enter__(self):
        self._process, self.display = start_xvfb()
        return self.display

    def __exit__(self, *exc):
        _terminate(self._process)
        return False


class Running:
    """A program started with Wine.start; wait() gives its Result."""

    def __init__(self, wine, process, result_file, label, argv, out_file, err_file):
        self._wine = wine
        self._process = process
        self._result_file = result_file
        self._label = label
        self._argv = argv
        self._out_file = out_file
        self._err_file = err_file

    def wait(self, timeout=120):
        # The driver ends on its own at its time-out; the margin covers Wine itself hanging.
        try:
            self._process.wait(timeout=timeout + 30)
        except subprocess.TimeoutExpired:
            _kill_group(self._process)
            raise WineError('the UI driver did not end within %s s: %s' % (timeout + 30, self._argv))
        out = self._out_file.read_bytes()
        err = self._err_file.read_bytes()
        return self._wine._collect(self._result_file, self._label, out, err, self._process.returncode,
                                   self._argv)


def control(info, control_id):
    """The one control with that id in an info() answer."""
    found = [c for c in info['controls'] if c['id'] == control_id]
    if len(found) != 1:
        raise AssertionError('%d controls with id %d in %r' % (len(found), control_id,
                                                               [c['id'] for c in info['controls']]))
    return found[0]


class Session:
    """A program started under the UI driver's interactive mode; the test drives its windows.

    with wine.session(exe, env=...) as s:
        dialog = s.wait_dialog('JRE Not Found')
        info = s.info(dialog)          # the window and every control: id, class, text, style,
                                       # exstyle, rect and client (screen), visible, enabled
        s.press(dialog, 2); code = s.wait_exit()
    Each call sends one command and returns the driver's JSON answer; an answer with an error
    raises WineError (pass check=False to command() to get it instead).
    """

    def __init__(self, wine, process, label, out_file, err_file):
        self._wine = wine
        self._process = process
        self._label = label
        self._out_file = out_file
        self._err_file = err_file
        self._buffer = b''
        self.exit_code = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        if self._process is None:
            return
        try:
            if self._process.poll() is None:
                self.command('quit', timeout=30, check=False)
        except WineError:
            pass
        try:
            self._process.stdin.close()
            self._process.stdout.close()
            self._process.wait(timeout=30)
        except (subprocess.TimeoutExpired, OSError):
            _kill_group(self._process)
        self._process = None

    @property
    def stdout(self):
        return self._out_file.read_bytes().decode('utf-8', 'replace') if self._out_file.exists() else ''

    @property
    def stderr(self):
        return self._err_file.read_bytes().decode('utf-8', 'replace') if self._err_file.exists() else ''

    def command(self, *fields, timeout=60, check=True):
        import select
        line = '\t'.join(str(f) for f in fields) + '\n'
        try:
            self._process.stdin.write(line.encode('utf-8'))
            self._process.stdin.flush()
        except OSError as error:
            raise WineError('the UI driver is gone (%s) before %r' % (error, fields))
        deadline = time.time() + timeout
        pipe = self._process.stdout.fileno()
        while b'\n' not in self._buffer:
            left = deadline - time.time()
            ready = select.select([pipe], [], [], max(0.0, left))[0] if left > 0 else []
            if not ready:
                raise WineError('no answer to %r within %s s' % (fields, timeout))
            piece = os.read(pipe, 65536)
            if not piece:
                raise WineError('the UI driver ended before answering %r' % (fields,))
            self._buffer += piece
        answer, self._buffer = self._buffer.split(b'\n', 1)
        reply = json.loads(answer.decode('ascii').strip())
        if check and 'error' in reply:
            raise WineError('%r: %s' % (fields, reply['error']))
        return reply

    def wait_dialog(self, title, timeout=30):
        return self.command('wait-dialog', title, int(timeout * 1000), timeout=timeout + 30)['hwnd']

    def info(self, hwnd):
        return self.command('info', hwnd)

    def wait_window(self, class_name, timeout=30):
        """A visible top-level window of the program of that window class."""
        return self.command('wait-window', class_name, int(timeout * 1000), timeout=timeout + 30)['hwnd']

    def windows(self, class_name):
        """Every top-level window of the program of that class, shown or not."""
        return self.command('windows', class_name)['windows']

    def shot(self, hwnd, name):
        """A picture of the window: saved as build/screenshots/<name>.png; returns (png, Picture)."""
        bmp = self._wine.unixpath(self.command('shot', hwnd, name)['path'])
        picture = read_bmp(bmp)
        png = SCREENSHOT_DIR / (name + '.png')
        bmp_to_png(bmp, png)
        bmp.unlink()
        return png, picture

    def press(self, hwnd, control_id):
        return self.command('press', hwnd, control_id)

    def key(self, hwnd, virtual_key):
        return self.command('key', hwnd, virtual_key)

    def close_box(self, hwnd):
        return self.command('close', hwnd)

    def resize(self, hwnd, width, height):
        return self.command('resize', hwnd, width, height)

    def show(self, hwnd, how):
        return self.command('show', hwnd, how)

    def post(self, hwnd, message, wparam=0, lparam=0):
        return self.command('post', hwnd, message, wparam, lparam)

    def tooltips(self):
        return self.command('tooltips')['tooltips']

    def work_area(self):
        return self.command('workarea')['rect']

    def tree_select(self, window, *names):
        """Selects an item of the tree view in window by the texts of the items from the root."""
        return self.command('tree-select', window, *names)

    def gone(self, hwnd, timeout=30):
        return self.command('gone', hwnd, int(timeout * 1000), timeout=timeout + 30)

    def wait_exit(self, timeout=60):
        """The program's exit code, once it has ended."""
        self.exit_code = self.command('wait-exit', int(timeout * 1000), timeout=timeout + 30)['exit_code']
        return self.exit_code


class Wine:
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
        _remove_stale(base)
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
            _terminate(self._xvfb)
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

    def console(self, lines, env=None, settle=1.5, timeout=90):
        """Types lines at an interactive cmd.exe of this prefix on a pseudo-terminal, as a user at
        a terminal does: each once the screen has been quiet for settle seconds, then "exit".
        env entries go through the Unix environment (custom variables reach the programs).
        Returns the screen's text with the terminal's control sequences dropped, its cursor moves
        to the right as blanks and its line ends as "\\n"."""
        import pty
        import re
        import select
        full_env = self._full_env(env)
        pid, fd = pty.fork()
        if pid == 0:
            try:
                os.chdir(str(self.workdir))
                os.execve(WINE64, [WINE64, 'cmd'], full_env)
            finally:
                os._exit(127)
        screen = b''
        pending = [line.encode('utf-8') + b'\r' for line in list(lines) + ['exit']]
        quiet_since = time.time()
        deadline = time.time() + timeout
        try:
            while time.time() < deadline:
                ready, _, _ = select.select([fd], [], [], 0.2)
                if ready:
                    try:
                        piece = os.read(fd, 4096)
                    except OSError:
                        break  # the terminal closed: cmd has exited
                    if not piece:
                        break
                    screen += piece
                    quiet_since = time.time()
                elif pending and time.time() - quiet_since >= settle:
                    os.write(fd, pending.pop(0))
                    quiet_since = time.time()
            else:
                raise WineError('cmd did not end within %s s; screen: %r' % (timeout, screen[-2000:]))
        finally:
            try:
                os.killpg(pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
            os.waitpid(pid, 0)
            os.close(fd)
        text = screen.decode('utf-8', 'replace')
        text = re.sub(r'\x1b\[(\d*)C', lambda m: ' ' * int(m.group(1) or 1), text)
        text = re.sub(r'\x1b\][^\x07]*\x07|\x1b\[[0-9;?]*[A-Za-z]', '', text)
        return text.replace('\r\n', '\n').replace('\r', '')

    # -- registry ------------------------------------------------------------------------------

    def _tool(self, args, timeout=120):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen([WINE64] + args, cwd=str(self.workdir), env=self._full_env(),
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                       start_new_session=True)
            try:
                process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                _kill_group(process)
                raise WineError('%s did not end within %s s' % (args, timeout))
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, process.returncode, out.read(), err.read())

    def reg_import(self, text):
        """Imports .reg text ("REGEDIT4" or "Windows Registry Editor Version 5.00") into the prefix."""
        self._run_count += 1
        path = self.workdir / ('import-%d.reg' % self._run_count)
        if text.lstrip().startswith('Windows Registry Editor Version 5.00'):
            path.write_bytes(b'\xff\xfe' + text.replace('\r\n', '\n').replace('\n', '\r\n')
                             .encode('utf-16-le'))
        else:
            path.write_bytes(text.replace('\r\n', '\n').replace('\n', '\r\n').encode('cp1252'))
        done = self._tool(['regedit', '/S', self.winpath(path)])
        path.unlink()
        if done.returncode != 0:
            raise WineError('regedit failed (%d): %s' % (done.returncode,
                                                          done.stderr.decode('utf-8', 'replace')))

    def reg_delete(self, key):
        """Deletes a key and everything below it; True when it existed."""
        return self._tool(['reg', 'delete', key, '/f']).returncode == 0

    def reg_query(self, key, value=None):
        """The output of `reg query` for a key (or one value), None when it does not exist."""
        args = ['reg', 'query', key] + (['/v', value] if value is not None else [])
        done = self._tool(args)
        return done.stdout.decode('utf-8', 'replace') if done.returncode == 0 else None


def tree_state(folder):
    """Every file below folder with the digest of its bytes; folders listed too."""
    state = {}
    if folder.exists():
        for path in sorted(folder.rglob('*')):
            key = str(path.relative_to(folder))
            state[key] = hashlib.sha256(path.read_bytes()).hexdigest() if path.is_file() else 'dir'
    return state


# -- the launcher's own texts, INI files, traces and the VM double's log ----------------------------

def _string_table():
    table = {}
    source = (SOURCE_DIR / 'resources' / 'strings.def').read_text(encoding='utf-8')
    for number, name, literal in re.findall(r'STRING_ENTRY\((\d+), (\w+), ("(?:[^"\\]|\\.)*")\)',
                                            source):
        table[name] = (int(number), literal[1:-1].encode('latin-1').decode('unicode_escape'))
    return table


_STRINGS = None


def text(name):
    """The text of the string table entry named name in resources/strings.def, as shown."""
    global _STRINGS
    if _STRINGS is None:
        _STRINGS = _string_table()
    return _STRINGS[name][1]


def app_ini(extra='', main='example.Main', classpath='app.jar', sections=''):
    """An INI file with a main class and a class path: extra goes into [Java Runtime Environment],
    sections after [Class Path]."""
    return ('[Java Runtime Environment]\nMain Class=%s\n%s[Class Path]\nClass Path=%s\n%s'
            % (main, extra, classpath, sections))


def read_lines(path, encoding='utf-8'):
    """The lines of a text file (a trace, a log); [] when it does not exist."""
    path = Path(path)
    return path.read_text(encoding=encoding, errors='replace').splitlines() if path.exists() else []


def traced(lines, prefix):
    """The rest of every line that starts with prefix."""
    return [line[len(prefix):] for line in lines if line.startswith(prefix)]


_PICTURES_JAVA = r'''
import java.awt.image.BufferedImage;
import java.io.File;
import javax.imageio.ImageIO;

public class Pictures {
  // Groups of eight arguments: path, format, width, height, then the colours (rrggbb) of the
  // top-left, top-right, bottom-left and bottom-right quarters.
  public static void main(String[] args) throws Exception {
    for (int i = 0; i < args.length; i += 8) {
      int width = Integer.parseInt(args[i + 2]);
      int height = Integer.parseInt(args[i + 3]);
      BufferedImage image = new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB);
      for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
          int quarter = (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);
          image.setRGB(x, y, Integer.parseInt(args[i + 4 + quarter], 16));
        }
      }
      if (!ImageIO.write(image, args[i + 1], new File(args[i]))) {
        throw new IllegalArgumentException("no writer for " + args[i + 1]);
      }
    }
  }
}
'''


def write_pictures(*pictures):
    """Writes pictures with the JDK's own image writers, in one run of java. Each picture is
    (path, format, width, height, quarters): format one of 'bmp', 'jpeg', 'gif', 'png'; quarters
    the (r, g, b) colours of the top-left, top-right, bottom-left and bottom-right quarters."""
    with tempfile.TemporaryDirectory(prefix='pictures-') as folder:
        source = Path(folder) / 'Pictures.java'
        source.write_text(_PICTURES_JAVA)
        argv = [str(JDK_HOME / 'bin' / 'java'), '-Djava.awt.headless=true', str(source)]
        for path, kind, width, height, quarters in pictures:
            argv += [str(path), kind, str(width), str(height)]
            argv += ['%02x%02x%02x' % tuple(colour) for colour in quarters]
        subprocess.run(argv, check=True, timeout=180, stdin=subprocess.DEVNULL)


def wait_for(condition, what, timeout=60, interval=0.02):
    """Polls condition until it holds; fails the test when it does not within timeout seconds."""
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return
        time.sleep(interval)
    raise AssertionError('%s did not happen within %s s' % (what, timeout))


def class_sources(output):
    """{class name: source} from the VM's -Xlog:class+load lines in output; "shared objects file
    (top)" is the source of a class that came from the dynamic archive."""
    sources = {}
    for m in re.finditer(r'\]\[class,load\s*\] (\S+) source: (.*)$', output, re.M):
        sources[m.group(1)] = m.group(2).strip()
    return sources


def read_log(path):
    """The event lines of the VM double's log."""
    return read_lines(path, 'ascii')


def log_field(events, prefix):
    """The rest of the first event line that starts with prefix."""
    for line in events:
        if line.startswith(prefix):
            return line[len(prefix):]
    raise AssertionError('no %r in %r' % (prefix, events))


def unescape_log(value):
    """A text field of the VM double's log with its \\xNN escapes undone."""
    return re.sub(r'\\x([0-9a-f]{2})', lambda m: chr(int(m.group(1), 16)), value)


def secondary_calls(log):
    """The argument lists of the secondaryMain calls in the VM double's log."""
    out = []
    for line in read_log(log):
        m = re.match(r'secondaryMain call (\d+) ?(.*)$', line)
        if m:
            count, body = int(m.group(1)), unescape_log(m.group(2))
            args = body.split('\x1f')[1:] if count else []
            assert len(args) == count, line
            out.append(args)
    return out


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


# -- single instance: the names the launcher gives a program path ------------------------------------

def block_name(program_path, separator='/'):
    """The block and message name of a program path: each separator becomes "_", an underscore
    "_" and a character that never follows a separator ("/" on Linux, "|" on Windows)."""
    escape = '/' if separator == '/' else '|'
    out = []
    for c in str(program_path):
        out.append('_' if c == separator else '_' + escape if c == '_' else c)
    return ''.join(out)


def private_folder(env=None):
    """The Linux launcher's private folder for this user, as a process with env would pick it."""
    env = os.environ if env is None else env
    runtime = env.get('XDG_RUNTIME_DIR', '')
    if runtime.startswith('/'):
        try:
            info = os.lstat(runtime)
            import stat as st
            if st.S_ISDIR(info.st_mode) and info.st_uid == os.geteuid() and not info.st_mode & 0o77:
                return Path(runtime) / 'ql-launcher'
        except OSError:
            pass
    base = env.get('TMPDIR', '')
    base = base.rstrip('/') or '/' if base.startswith('/') else '/tmp'
    return Path(base) / ('ql-launcher-%d' % os.geteuid())


def _fnv1a64(data):
    value = 1469598103934665603
    for byte in data:
        value = ((value ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return value


def block_files(program_path, env=None):
    """The block file and its companion of a Linux program path (Path, Path)."""
    name = block_name(program_path)
    base = name
    raw = name.encode('utf-8', 'surrogateescape')
    if len(raw) > 200 or '/' in name:
        base = raw[:180].replace(b'/', b'~').decode('utf-8', 'surrogateescape')
        base += '~%016x' % _fnv1a64(raw)
    folder = private_folder(env)
    return folder / (base + '.block'), folder / (base + '.users')


def make_icon(path, images):
    """Writes an icon file with one image per (size, bits) in images: bits 4 or 8 give a paletted
    bitmap, 32 a bitmap with alpha, 'png' a PNG image (as Windows keeps 256x256 images). Every
    size draws a pattern of its own. The directory leaves planes and bit count at 0 for PNG images,
    as many icon editors do. Returns the image bytes in order."""
    datas, entries = [], []
    for size, bits in images:
        def colour(x, y):
            return ((x * 255) // size, (y * 255) // size, (size * 37) & 0xFF)
        if bits == 'png':
            bmp = Path(tempfile.mkstemp(suffix='.bmp')[1])
            stride = size * 3 + (-size * 3) % 4
            rows = b''.join(bytes(c for x in range(size) for c in reversed(colour(x, y)))
                            + b'\0' * (stride - size * 3) for y in range(size - 1, -1, -1))
            bmp.write_bytes(b'BM' + struct.pack('<IHHI', 54 + len(rows), 0, 0, 54)
                            + struct.pack('<IiiHHIIiiII', 40, size, size, 1, 24, 0, len(rows), 0, 0, 0, 0)
                            + rows)
            png = bmp.with_suffix('.png')
            bmp_to_png(bmp, png)
            data = png.read_bytes()
            bmp.unlink()
            png.unlink()
            entries.append((size % 256, size % 256, 0, 0, 0, len(data)))
        else:
            colours = 1 << bits if bits <= 8 else 0
            palette = b''.join(struct.pack('<BBBB', (i * 53) & 0xFF, (i * 97) & 0xFF, (i * 29) & 0xFF, 0)
                               for i in range(colours))
            pixels = bytearray()
            for y in range(size - 1, -1, -1):
                if bits == 32:
                    row = b''.join(bytes(reversed(colour(x, y))) + b'\xff' for x in range(size))
                else:
                    indices = [(x + y) % colours for x in range(size)]
                    per_byte = 8 // bits
                    row = bytes(sum(indices[x + k] << (8 - bits * (k + 1)) for k in range(per_byte))
                                for x in range(0, size, per_byte))
                pixels += row + b'\0' * (-len(row) % 4)
            mask = b'\0' * (((size + 31) // 32) * 4 * size)
            data = (struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, bits, 0,
                                len(pixels) + len(mask), 0, 0, 0, 0) + palette + bytes(pixels) + mask)
            entries.append((size % 256, size % 256, colours % 256, 1, bits, len(data)))
        datas.append(data)
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for (width, height, colours, planes, bits, length), data in zip(entries, datas):
        directory += struct.pack('<BBBBHHII', width, height, colours, 0, planes, bits, length, offset)
        offset += length
    Path(path).write_bytes(directory + b''.join(datas))
    return datas
