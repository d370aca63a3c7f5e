"""The launcher's own texts and INI files, its decision trace, and the VM double's log."""

import re
from pathlib import Path

from .paths import SOURCE_DIR


def _string_table():
    table = {}
    source = (SOURCE_DIR / 'resources' / 'strings.def').read_text(encoding='utf-8')
    for number, name, literal in re.findall(r'STRING_ENTRY\((\d+), (\w+), ("(?:[^"\\]|\\.)*")\)',
                                            source):
        table[name] = (int(number), literal[1:-1].encode('latin-1').decode('unicode_escape'))
    return table


_STRINGS = None


def text(name):
    """The text of the string table entry named name in resources/strings.def, as shown."""
    global _STRINGS
    if _STRINGS is None:
        _STRINGS = _string_table()
    return _STRINGS[name][1]


def app_ini(extra='', main='example.Main', classpath='app.jar', sections=''):
    """An INI file with a main class and a class path: extra goes into [Java Runtime Environment],
    sections after [Class Path]."""
    return ('[Java Runtime Environment]\nMain Class=%s\n%s[Class Path]\nClass Path=%s\n%s'
            % (main, extra, classpath, sections))


def read_lines(path, encoding='utf-8'):
    """The lines of a text file (a trace, a log); [] when it does not exist."""
    path = Path(path)
    return path.read_text(encoding=encoding, errors='replace').splitlines() if path.exists() else []


def traced(lines, prefix):
    """The rest of every line that starts with prefix."""
    return [line[len(prefix):] for line in lines if line.startswith(prefix)]


def class_sources(output):
    """{class name: source} from the VM's -Xlog:class+load lines in output, the first line of a class
    (a VM that assembles an ahead-of-time cache logs after the start's own); "shared objects file
    (top)" is the source of a class from a dynamic archive, "shared objects file" from the cache."""
    sources = {}
    for m in re.finditer(r'\]\[class,load\s*\] (\S+) source: (.*)$', output, re.M):
        sources.setdefault(m.group(1), m.group(2).strip())
    return sources


def read_log(path):
    """The event lines of the VM double's log."""
    return read_lines(path, 'ascii')


def log_field(events, prefix):
    """The rest of the first event line that starts with prefix."""
    for line in events:
        if line.startswith(prefix):
            return line[len(prefix):]
    raise AssertionError('no %r in %r' % (prefix, events))


def unescape_log(value):
    """A text field of the VM double's log with its \\xNN escapes undone."""
    return re.sub(r'\\x([0-9a-f]{2})', lambda m: chr(int(m.group(1), 16)), value)


def secondary_calls(log):
    """The argument lists of the secondaryMain calls in the VM double's log."""
    out = []
    for line in read_log(log):
        m = re.match(r'secondaryMain call (\d+) ?(.*)$', line)
        if m:
            count, body = int(m.group(1)), unescape_log(m.group(2))
            args = body.split('\x1f')[1:] if count else []
            assert len(args) == count, line
            out.append(args)
    return out
