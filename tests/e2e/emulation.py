"""The 32-bit Windows programs under emulation: Wine's 32-bit loader runs under qemu-i386 (this
machine's kernel cannot run 32-bit code), registered by tools/setup.sh as the binfmt entry
ql-i386, which emulates only for processes that have QL_EMULATE_I386 set. The prefix is a 64-bit
one whose server and services run natively; tools/wine32-prefix gives it Wine's i386 DLLs.

with Wine32('label') as wine: wine.run(exe32, ...) as with harness.Wine: the 64-bit UI driver
starts the 32-bit program, reads its boxes and reports its exit code across the word sizes.
Wine32Case: a test class sharing one such prefix, with applications whose runtime holds the 32-bit
VM double; it is skipped, with the reason, where the emulation is missing.
"""

import shutil
import subprocess
import unittest
from pathlib import Path

from harness import SOURCE_DIR, Wine, WineCase, app_ini, make_app, win32_build

BINFMT_ENTRY = Path('/proc/sys/fs/binfmt_misc/ql-i386')
WINE32_DLLS = Path('/usr/lib/i386-linux-gnu/wine/i386-windows')


def unavailable():
    """Why 32-bit programs cannot run here (None when they can)."""
    if not WINE32_DLLS.is_dir():
        return "Wine's 32-bit part (wine32:i386) is not installed: run tools/setup.sh"
    if not BINFMT_ENTRY.exists() or 'enabled' not in BINFMT_ENTRY.read_text():
        return 'the i386 emulation (binfmt entry ql-i386) is not registered: run tools/setup.sh'
    return None


class Wine32(Wine):
    """harness.Wine whose prefix also runs 32-bit programs, emulated."""

    def __enter__(self):
        super().__enter__()
        try:
            subprocess.run([str(SOURCE_DIR / 'tools' / 'wine32-prefix'), str(self.prefix)],
                           check=True, timeout=600, stdin=subprocess.DEVNULL)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        self.env['QL_EMULATE_I386'] = '1'
        return self


class Wine32Case(WineCase):
    """WineCase for the 32-bit build's launcher."""

    @classmethod
    def setUpClass(cls):
        reason = unavailable()
        if reason:
            raise unittest.SkipTest(reason)
        launcher = win32_build() / 'launcher.exe'
        if not launcher.exists():
            raise AssertionError('%s is missing: build the win32 tree' % launcher)
        cls.wine = Wine32(cls.wine_label).__enter__()
        cls.count = 0

    def app_with_double(self, name, behaviour, extra):
        """The 32-bit launcher as app.exe in <name>/app, its runtime (the VM double) in <name>/rt,
        behaviour for the double's main class com/example/App ("GO" names <name>/go), extra lines
        in the INI file; returns (exe, env for the double, the <name> folder, where "log" is its log)."""
        root = self.wine.workdir / name
        (root / 'rt' / 'bin' / 'client').mkdir(parents=True)
        shutil.copy2(win32_build() / 'vmdouble' / 'jvm.dll', root / 'rt' / 'bin' / 'client')
        (root / 'cfg').write_text('main=com/example/App\n' + behaviour.replace('GO', self.wine.winpath(root / 'go')))
        ini = app_ini('JRE Path=%s\n%s' % (self.wine.winpath(root / 'rt'), extra), 'com.example.App')
        env = {'VMDOUBLE_CONFIG': self.wine.winpath(root / 'cfg'), 'VMDOUBLE_LOG': self.wine.winpath(root / 'log')}
        return make_app(root / 'app', win32_build() / 'launcher.exe', ini), env, root
