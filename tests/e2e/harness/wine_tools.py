"""What a test does in a Wine prefix besides running the program: a terminal session in cmd.exe
and the registry (a mixin of Wine)."""

import os
import pty
import re
import select
import signal
import subprocess
import tempfile
import time

from .paths import WINE64
from .process import kill_group
from .session import WineError


class WineTools:
    """Needs the prefix's workdir, winpath, _full_env and _run_count of Wine."""

    def console(self, lines, env=None, settle=1.5, timeout=90):
        """Types lines at an interactive cmd.exe of this prefix on a pseudo-terminal, as a user at
        a terminal does: each once the screen has been quiet for settle seconds, then "exit".
        env entries go through the Unix environment (custom variables reach the programs).
        Returns the screen's text with the terminal's control sequences dropped, its cursor moves
        to the right as blanks and its line ends as "\\n"."""
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
                kill_group(process)
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
