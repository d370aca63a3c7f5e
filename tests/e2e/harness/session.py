"""The UI driver's two ways of running a Windows program: once, with every box read and dismissed
(Running), and interactively, with the test driving the windows (Session)."""

import json
import os
import select
import subprocess
import time

from .paths import SCREENSHOT_DIR
from .pictures import bmp_to_png, read_bmp
from .process import kill_group


class WineError(AssertionError):
    """The Windows side could not be driven (driver failed, program hung): a test failure."""


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
            kill_group(self._process)
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
            kill_group(self._process)
        self._process = None

    @property
    def stdout(self):
        return self._out_file.read_bytes().decode('utf-8', 'replace') if self._out_file.exists() else ''

    @property
    def stderr(self):
        return self._err_file.read_bytes().decode('utf-8', 'replace') if self._err_file.exists() else ''

    def command(self, *fields, timeout=60, check=True):
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
