"""A private X display (Xvfb) for a test: Linux programs use it directly, Wine through a prefix."""

import os
import select
import shutil
import subprocess
import time

from .process import die_with_parent, kill_group, terminate


class DisplayError(AssertionError):
    """No display could be had: the test fails."""


def remove_stale(base, age=6 * 3600):
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
        stderr=subprocess.DEVNULL, start_new_session=True, preexec_fn=die_with_parent)
    os.close(write_end)
    number = b''
    deadline = time.time() + 30
    with os.fdopen(read_end, 'rb', buffering=0) as pipe:
        while not number.endswith(b'\n') and time.time() < deadline:
            ready, _, _ = select.select([pipe], [], [], max(0.0, deadline - time.time()))
            if not ready:
                break
            piece = pipe.read(16)
            if not piece:
                break
            number += piece
    if not number.strip().isdigit():
        kill_group(xvfb)
        raise DisplayError('Xvfb did not report a display number')
    return xvfb, ':' + number.strip().decode()


class Xvfb:
    """A private X display for a Linux test: with Xvfb() as display: ... (display is ':N')."""

    def __enter__(self):
        self._process, self.display = start_xvfb()
        return self.display

    def __exit__(self, *exc):
        terminate(self._process)
        return False
