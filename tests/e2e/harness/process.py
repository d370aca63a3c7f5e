"""Processes of the tests: a Linux program's run and its Result, an application folder, waits."""

import hashlib
import os
import pwd
import shutil
import signal
import subprocess
import time
import unittest
from pathlib import Path


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


def kill_group(process):
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
    removed from) the current environment, which has no display unless env gives one (a failure
    would otherwise wait for its desktop dialog). A program that outlives timeout is killed and
    the test fails."""
    full_env = dict(os.environ)
    full_env.pop('DISPLAY', None)
    full_env.pop('WAYLAND_DISPLAY', None)
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
        kill_group(process)
        raise AssertionError('%s %s did not end within %s s' % (exe, list(args), timeout))
    code = process.returncode
    if code < 0:
        code = 128 - code
    return Result(code, out, err)


def die_with_parent():
    # The display goes when the test process goes, even when it is killed.
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def terminate(process):
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        kill_group(process)


def tree_state(folder):
    """Every file below folder with the digest of its bytes; folders listed too."""
    state = {}
    if folder.exists():
        for path in sorted(folder.rglob('*')):
            key = str(path.relative_to(folder))
            state[key] = hashlib.sha256(path.read_bytes()).hexdigest() if path.is_file() else 'dir'
    return state


def wait_for(condition, what, timeout=60, interval=0.02):
    """Polls condition until it holds; fails the test when it does not within timeout seconds."""
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return
        time.sleep(interval)
    raise AssertionError('%s did not happen within %s s' % (what, timeout))


def other_user(name='qlother'):
    """The pwd entry of another local user (made with useradd when missing), for what other users
    can do; unittest.SkipTest when the tests do not run as root, who alone can make one."""
    if os.geteuid() != 0:
        raise unittest.SkipTest('not root: no other local user can be made or acted for')
    try:
        return pwd.getpwnam(name)
    except KeyError:
        subprocess.run(['useradd', '--no-create-home', name], check=True, timeout=60)
        return pwd.getpwnam(name)
