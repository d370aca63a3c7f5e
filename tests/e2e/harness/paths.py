"""Where the sources, the builds and the screenshots are; the tools the tests run."""

import os
from pathlib import Path

SOURCE_DIR = Path(os.environ.get('SOURCE_DIR') or Path(__file__).resolve().parents[3])
BUILD_DIR = Path(os.environ.get('BUILD_DIR') or SOURCE_DIR / 'build' / 'linux')
SCREENSHOT_DIR = SOURCE_DIR / 'build' / 'screenshots'
WINE64 = '/usr/lib/wine/wine64'
WINESERVER = '/usr/lib/wine/wineserver'
JDK_HOME = Path('/usr/lib/jvm/java-17-openjdk-amd64')


def linux_build():
    return SOURCE_DIR / 'build' / 'linux'


def win64_build():
    return SOURCE_DIR / 'build' / 'win64'


def win32_build():
    return SOURCE_DIR / 'build' / 'win32'
