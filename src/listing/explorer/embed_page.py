#!/usr/bin/env python3
"""Turns the explorer page's sources into a C++ source: the page before the
listing data and the page after it, with the hashes of its script and style
in its content security policy."""
import base64
import hashlib
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent

# The page's pieces, in order; the build asks for this list (--list).
NOTICE = ['cut_notice.js']
SCRIPT = ['constants.js', 'decode.js', 'treemap.js', 'model.js', 'compare.js', 'widgets.js', 'tree.js', 'page.js',
          'panels.js', 'duplicates_view.js', 'compare_view.js', 'ui.js']
WORKER = ['constants.js', 'matcher.js', 'worker.js']
PIECES = list(dict.fromkeys(['page.html', 'style.css'] + NOTICE + SCRIPT + WORKER))
if sys.argv[1:] == ['--list']:
    print(';'.join(PIECES))
    sys.exit(0)
out = pathlib.Path(sys.argv[1])

def read(name):
    text = (here / name).read_text(encoding='utf-8')
    for bad in ('</script', '<!--', '\r'):
        if bad in text.lower():
            sys.exit(f'{name}: {bad!r} would end or change its element')
    return text

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
