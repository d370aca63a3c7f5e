"""Single instance on Linux: the names the launcher gives a program path, and where it keeps them."""

import os
import stat
from pathlib import Path


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
            if stat.S_ISDIR(info.st_mode) and info.st_uid == os.geteuid() and not info.st_mode & 0o77:
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


def channel_files(program_path, env=None):
    """The message channels (sockets) of a Linux program path's launchers in the private folder."""
    scope = _fnv1a64(block_name(program_path).encode('utf-8', 'surrogateescape'))
    return sorted(private_folder(env).glob('m-%016x-*' % scope))
