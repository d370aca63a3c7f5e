"""Shared helpers of the end-to-end tests (Python 3 standard library only), one module per concern:

paths       where the sources and builds are (SOURCE_DIR, BUILD_DIR, linux_build, win64_build, ...)
process     Linux runs: make_app(...) then run_linux(exe, args) -> Result(code, stdout, stderr);
            tree_state, wait_for, other_user (another local user, as root)
display     with Xvfb() as display: a private X display for a Linux program
wine        with Wine('label') as wine: wine.run(exe, args) -> Result(code, boxes, stdout, stderr):
            the program runs under wine64 on a private Xvfb display in a throw-away prefix, through
            the UI driver (build/win64/uidriver.exe), which reads, photographs and dismisses every
            dialog box of the program and reports its exact 32-bit exit code; WineCase shares one
            prefix among the tests of a class
session     with wine.session(exe) as s: the test drives the program's windows itself through the
            driver's interactive mode (s.wait_dialog, s.wait_window, s.info, s.press, s.shot, ...)
wine_tools  wine.console(lines), wine.reg_import(text), reg_query, reg_delete
pictures    screenshots read back, write_pictures(...) (BMP, JPEG, GIF and PNG with the JDK's
            writers), make_icon(...)
texts       text(name) from the string table, app_ini(...), traces and the VM double's log
instance    single instance's block names and private folder on Linux
Tests import every name from the package itself: from harness import ...
"""

from .display import Xvfb
from .instance import block_files, block_name, channel_files, private_folder
from .paths import (BUILD_DIR, JDK_HOME, SCREENSHOT_DIR, SOURCE_DIR, linux_build, win32_build,
                    win64_build)
from .pictures import (Picture, bmp_to_png, make_icon, read_bmp, read_xwd, write_pictures,
                       write_png)
from .process import Result, make_app, other_user, run_linux, tree_state, wait_for
from .session import Session, WineError, control
from .texts import (app_ini, class_sources, log_field, read_lines, read_log, secondary_calls, text,
                    traced, unescape_log)
from .wine import Wine, WineCase

__all__ = ['SOURCE_DIR', 'tree_state', 'BUILD_DIR', 'linux_build', 'win64_build', 'win32_build',
           'make_app', 'run_linux', 'Result', 'Wine', 'WineError', 'WineCase', 'bmp_to_png',
           'SCREENSHOT_DIR', 'read_bmp', 'Picture', 'Session', 'control', 'text', 'app_ini',
           'read_lines', 'traced', 'wait_for', 'read_log', 'log_field', 'unescape_log',
           'secondary_calls', 'block_name', 'private_folder', 'block_files', 'channel_files',
           'make_icon', 'Xvfb', 'write_pictures', 'JDK_HOME', 'class_sources', 'read_xwd',
           'write_png', 'other_user']
