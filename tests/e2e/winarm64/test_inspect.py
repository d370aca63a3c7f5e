"""The Windows ARM64 executables as files, since nothing runs them on this machine: launcher.exe
gets the inspection of the x86 builds (windows/test_pe_inspect.py: a GUI program of machine 0xAA64,
system DLLs only, the string table, icons and manifest) and the byte-for-byte checks of a branded
copy (windows/test_branding.py, the Linux-built tool on every variant); brand.exe is an ARM64
console program that needs only system DLLs."""

import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from harness import SOURCE_DIR, linux_build, make_icon

sys.path.insert(0, str(SOURCE_DIR / 'tests' / 'e2e' / 'windows'))
import test_branding as branding  # noqa: E402
import test_pe_inspect as pe_inspect  # noqa: E402

ARM64_BUILD = SOURCE_DIR / 'build' / 'winarm64'
branding.LAUNCHERS['arm64'] = ARM64_BUILD / 'launcher.exe'


class Arm64Executables(pe_inspect.ExecutableInspection):
    TARGETS = [('arm64', ARM64_BUILD / 'launcher.exe', 0x20B, 0xAA64)]
    # Zig's LLVM C++ library is prebuilt with exceptions: its string code brings the unwinder, the
    # demangler and a formatter of its own (about 100 KiB that the GNU builds leave out).
    BUDGETS = {'arm64': 320 * 1024}

    def test_brand_tool_is_an_arm64_console_program(self):
        pe = pe_inspect.PeFile(ARM64_BUILD / 'brand.exe')
        self.assertEqual((pe.machine, pe.magic, pe.subsystem), (0xAA64, 0x20B, 3))
        self.assertEqual([d for d in pe.imported_dlls() if d.lower() not in pe_inspect.SYSTEM_DLLS], [])


class Arm64Branding(branding.Branding):
    """The branding tests that read files only, on the ARM64 launcher (see load_tests)."""

    @classmethod
    def setUpClass(cls):
        cls.folder = Path(tempfile.mkdtemp(prefix='arm64-branding-'))
        cls.icon = cls.folder / 'acme.ico'
        make_icon(cls.icon, branding.ICON_IMAGES)
        cls.exes = {}
        for name, variant in branding.VARIANTS.items():
            exe = cls.exes['arm64', name] = cls.folder / (name + '.exe')
            subprocess.run([str(linux_build() / 'brand')] + [o.format(icon=cls.icon) for o in variant['options']]
                           + [str(branding.LAUNCHERS['arm64']), str(exe)], check=True, timeout=60)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)


def load_tests(loader, tests, pattern):
    suite = loader.loadTestsFromTestCase(Arm64Executables)
    suite.addTest(Arm64Branding('test_pe_structure_and_every_other_byte'))
    return suite


if __name__ == '__main__':
    unittest.main(verbosity=2)
