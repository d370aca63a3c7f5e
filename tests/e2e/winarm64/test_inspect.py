"""The ARM64 executables as files: launcher.exe gets the x86 builds' inspection and the byte checks of
its branded copies (windows/test_pe_inspect.py, test_branding.py); brand.exe is an ARM64 console program."""

import contextlib
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from harness import SOURCE_DIR, linux_build, make_icon

sys.path.insert(0, str(SOURCE_DIR / 'tests' / 'e2e' / 'windows'))
import test_branding as branding  # noqa: E402
import test_pe_inspect as pe_inspect  # noqa: E402

BUILD = branding.LAUNCHERS['arm64'] = SOURCE_DIR / 'build' / 'winarm64' / 'launcher.exe'


class Arm64Executables(pe_inspect.ExecutableInspection):
    TARGETS = [('arm64', BUILD, 0x20B, 0xAA64)]
    BUDGETS = {'arm64': 348 * 1024}  # Zig's prebuilt C++ library adds its exception support (~100 KiB)

    def test_brand_tool_is_an_arm64_console_program(self):
        pe = pe_inspect.PeFile(BUILD.with_name('brand.exe'))
        foreign = [d for d in pe.imported_dlls() if d.lower() not in pe_inspect.SYSTEM_DLLS]
        self.assertEqual((pe.machine, pe.magic, pe.subsystem, foreign), (0xAA64, 0x20B, 3, []))


class Arm64Branding(branding.Branding):
    wine = contextlib.nullcontext()  # what the inherited tearDownClass ends

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix='arm64-branding-')
        cls.folder = Path(cls.scratch.name)
        make_icon(cls.folder / 'acme.ico', branding.ICON_IMAGES)
        cls.exes = {('arm64', name): cls.folder / (name + '.exe') for name in branding.VARIANTS}
        for (_, name), exe in cls.exes.items():
            options = [o.format(icon=cls.folder / 'acme.ico') for o in branding.VARIANTS[name]['options']]
            subprocess.run([str(linux_build() / 'brand')] + options + [str(BUILD), str(exe)], check=True, timeout=60)


def load_tests(loader, tests, pattern):  # of the branding tests, the one that reads files only
    return unittest.TestSuite([loader.loadTestsFromTestCase(Arm64Executables),
                               Arm64Branding('test_pe_structure_and_every_other_byte')])


if __name__ == '__main__':
    unittest.main(verbosity=2)
