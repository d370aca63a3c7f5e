#!/usr/bin/env python3
"""Checks the layering of the product's sources by their #include lines:

- Windows headers (and our headers that bring them, anything in a win32/ folder) are included only
  by files in os/win32/ and the Windows-only folders of the subsystems (*/win32/); POSIX system
  headers only by files in */posix/.
- The include graph, a header and its source of the same name counted as one file, has no loop.
- The folders stand on floors that only look down: a file includes headers of its own folder and
  of lower floors only (os/ lowest, launcher/ on top; see FLOORS), and folders of one floor do not
  include each other.
- No header outside launcher/ names the Launcher: a subsystem takes its settings and its own state.
Exits 1 and names every breach."""

import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
# Bottom to top. resources/ is data (the string table and resource ids) that every floor may read.
FLOORS = [
    ['os', 'resources'],
    ['base'],            # what every subsystem reports with: trace, error boxes, texts, module path
    ['config'],          # the INI files and the settings
    ['ui'],              # dialog controls
    ['runtime', 'splash'],
    ['vm'],              # uses runtime/ for what a runtime's release file says
    ['instance'],        # single instance: serves second starts through the VM
    ['launcher'],        # entry, Launcher, the launch sequence
]
FLOOR = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
FOLDERS = [folder for folders in FLOORS for folder in folders]
LAUNCHER_REFERENCE = re.compile(r'\bLauncher\s*&')
WINDOWS_HEADERS = {'windows.h', 'shellapi.h', 'shlobj.h', 'commctrl.h', 'objbase.h', 'olectl.h',
                   'ocidl.h', 'winuser.h', 'wingdi.h', 'winreg.h', 'winbase.h', 'shlwapi.h'}
POSIX_HEADERS = re.compile(r'^(unistd|pthread|dlfcn|fcntl|dirent|poll|signal|sched|time|limits|'
                           r'stdlib)\.h$|^sys/')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def sources():
    for folder in FOLDERS:
        for path in sorted((ROOT / folder).rglob('*')):
            if path.suffix in ('.h', '.cpp', '.def'):
                yield path.relative_to(ROOT).as_posix()


def node(path):
    """A header and its source are one file of the graph."""
    return re.sub(r'\.(h|cpp)$', '', path)


def in_os_folder(path, kind):
    return ('/%s/' % kind) in ('/' + path)


def main():
    problems = []
    edges = {}
    files = list(sources())
    known = set(files)
    for path in files:
        text = (ROOT / path).read_text(encoding='utf-8', errors='replace')
        if path.endswith('.h') and not path.startswith('launcher/'):
            if LAUNCHER_REFERENCE.search(re.sub(r'//.*', '', text)):
                problems.append('%s takes a Launcher&: subsystems take their settings and state'
                                % path)
        for kind, name in INCLUDE.findall(text):
            if kind == '<':
                if name.lower() in WINDOWS_HEADERS and not in_os_folder(path, 'win32'):
                    problems.append('%s includes <%s> outside a win32/ folder' % (path, name))
                if POSIX_HEADERS.search(name) and not in_os_folder(path, 'posix'):
                    problems.append('%s includes <%s> outside a posix/ folder' % (path, name))
                continue
            target = name if name in known else None
            if target is None:
                continue  # the JDK's jni.h and the like
            if '/win32/' in '/' + target and not in_os_folder(path, 'win32'):
                problems.append('%s includes %s outside a win32/ folder' % (path, target))
            if '/posix/' in '/' + target and not in_os_folder(path, 'posix'):
                problems.append('%s includes %s outside a posix/ folder' % (path, target))
            source_folder, target_folder = path.split('/')[0], target.split('/')[0]
            if (source_folder != target_folder and target_folder != 'resources' and
                    FLOOR[target_folder] >= FLOOR[source_folder]):
                problems.append('%s includes %s: %s/ is not on a lower floor than %s/' %
                                (path, target, target_folder, source_folder))
            a, b = node(path), node(target)
            if a != b:
                edges.setdefault(a, set()).add(b)

    # Loops: a depth-first search that reports the first cycle through each node.
    state = {}
    stack = []

    def visit(n):
        state[n] = 'open'
        stack.append(n)
        for m in sorted(edges.get(n, ())):
            if state.get(m) == 'open':
                cycle = stack[stack.index(m):] + [m]
                problems.append('include loop: ' + ' -> '.join(cycle))
            elif m not in state:
                visit(m)
        stack.pop()
        state[n] = 'done'

    for n in sorted(edges):
        if n not in state:
            visit(n)

    for problem in problems:
        print(problem)
    print('%d files, %d graph edges, %d problems' % (len(files), sum(map(len, edges.values())),
                                                     len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
