#!/usr/bin/env python3
"""Turns the explorer page's sources into a C++ source: the page before the
listing data and the page after it, with the hashes of its script and style
in its content security policy (embed_page.py PAGE_CPP); or the data
format's constants of format.js into a C++ header for the page's writer
(embed_page.py --format HEADER)."""
import base64
import hashlib
import pathlib
import re
import sys

here = pathlib.Path(__file__).resolve().parent

# The page's pieces, in order; the build asks for this list (--list).
NOTICE = ['cut_notice.js']
SCRIPT = ['constants.js', 'format.js', 'decode.js', 'treemap.js', 'model.js', 'changes.js', 'widgets.js', 'tree.js', 'page.js',
          'panels.js', 'duplicates_view.js', 'compare_view.js', 'ui.js']
WORKER = ['constants.js', 'matcher.js', 'worker.js']
PIECES = list(dict.fromkeys(['page.html', 'style.css'] + NOTICE + SCRIPT + WORKER))
if sys.argv[1:] == ['--list']:
    print(';'.join(PIECES))
    sys.exit(0)


def read(name):
    text = (here / name).read_text(encoding='utf-8')
    for bad in ('</script', '<!--', '\r'):
        if bad in text.lower():
            sys.exit(f'{name}: {bad!r} would end or change its element')
    return text


def format_constants():
    """format.js's `const NAME = number;` lines as (kName, number)."""
    found = []
    for line in read('format.js').splitlines():
        if not line.startswith('const '):
            continue
        m = re.fullmatch(r'const ([A-Z][A-Z0-9_]*) = (0x[0-9a-fA-F]+|[0-9]+);', line)
        if not m:
            sys.exit(f'format.js: not a constant the C++ writer can take: {line}')
        name = 'k' + ''.join(w.capitalize() for w in m.group(1).split('_'))
        found.append((name, int(m.group(2), 0)))
    if not found:
        sys.exit('format.js: no constants')
    return found

if sys.argv[1] == '--format':
    pathlib.Path(sys.argv[2]).write_text(
        '// Made by embed_page.py from src/listing/explorer/format.js; do not edit.\n'
        '#pragma once\n#include <cstdint>\n\n'
        'namespace tf::listing::explorer_format {\n\n' +
        ''.join(f'constexpr std::uint64_t {name} = {value};\n' for name, value in format_constants()) +
        '\n}  // namespace tf::listing::explorer_format\n', encoding='utf-8')
    sys.exit(0)

out = pathlib.Path(sys.argv[1])


def csp_hash(text):
    return 'sha256-' + base64.b64encode(hashlib.sha256(text.encode('utf-8')).digest()).decode()

# One function scope for the page; the worker gets the matcher and its own file.
notice = ''.join(read(n) for n in NOTICE)
script = '(function () {\n' + ''.join(read(n) for n in SCRIPT) + '})();\n'
worker = ''.join(read(n) for n in WORKER)
style = read('style.css')
page = (here / 'page.html').read_text(encoding='utf-8')
page = (page.replace('@SCRIPT_HASH@', csp_hash(script)).replace('@NOTICE_HASH@', csp_hash(notice))
        .replace('@STYLE_HASH@', csp_hash(style)).replace('@STYLE@', style).replace('@NOTICE@', notice)
        .replace('@WORKER@', worker).replace('@SCRIPT@', script))
head, marker, tail = page.partition('<!--LISTING DATA-->\n')
if not marker:
    sys.exit('page.html: no listing data marker')

def literal(text):
    # Escaped pieces of plain ASCII: no raw-string limits or line endings
    # to think of, and the bytes go in exactly.
    data = text.encode('utf-8')
    out = []
    for i in range(0, len(data), 120):
        chunk = data[i:i + 120]
        out.append('"' + ''.join(
            chr(b) if 0x20 <= b < 0x7f and chr(b) not in '"\\?' else '\\%03o' % b for b in chunk) + '"')
    return '\n    '.join(out) if out else '""'

out.write_text(
    '// Made by embed_page.py from src/listing/explorer; do not edit.\n'
    '#include "listing/explorer/explorer_page.h"\n\n'
    'namespace tf::listing {\n\n'
    'const char kExplorerPageHead[] =\n    ' + literal(head) + ';\n'
    'const std::size_t kExplorerPageHeadSize = sizeof kExplorerPageHead - 1;\n\n'
    'const char kExplorerPageTail[] =\n    ' + literal(tail) + ';\n'
    'const std::size_t kExplorerPageTailSize = sizeof kExplorerPageTail - 1;\n\n'
    '}  // namespace tf::listing\n', encoding='utf-8')

