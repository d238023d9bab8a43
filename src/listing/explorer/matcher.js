'use strict';
// Name search: plain text is found anywhere in a name, a pattern with `*` or
// `?` must match the whole name; neither regards case. Names are searched in
// the chunk texts, where each name ends with U+0000.

// Lower case that keeps every string's length, so offsets into folded text
// are offsets into the names; final sigma folds like any sigma.
function foldCase(text) {
  let lower = text.toLowerCase();
  if (lower.length !== text.length) {
    const out = [];
    for (const ch of text) {
      const l = ch.toLowerCase();
      out.push(l.length === ch.length ? l : ch);
    }
    lower = out.join('');
  }
  return lower.indexOf('\u03c2') >= 0 ? lower.replaceAll('\u03c2', '\u03c3') : lower;
}

function escapeRegExp(text) {
  return text.replace(/[\\^$.*+?()[\]{}|/]/g, '\\$&');
}

// {text} for plain text (or a pattern that amounts to it), {regex} for a
// wildcard pattern run over text in which every name is preceded by U+0000
// and followed by U+0000; null when nothing can match.
function compileQuery(query) {
  const q = foldCase(query);
  if (q === '' || q.indexOf('\0') >= 0) return null;
  if (!/[*?]/.test(q)) return { text: q };
  const inner = /^\*+([^*?]+)\*+$/.exec(q);
  if (inner) return { text: inner[1] };
  let source = '\\0';
  for (const ch of q) {
    if (ch === '*') source += '[^\\0]*';
    else if (ch === '?') source += '[^\\0]';
    else source += escapeRegExp(ch);
  }
  source = source.replace(/(\[\^\\0\]\*)+/g, '[^\\0]*');
  return { regex: new RegExp(source + '(?=\\0)', 'gu') };
}

// Calls hit(offset) once for each name of `folded` (names ended by U+0000,
// the text starting with U+0000) that matches, with an offset inside that
// name; `endOf(offset)` gives the offset of the U+0000 ending the name there.
function searchText(folded, compiled, from, to, hit, endOf) {
  if (compiled.text !== undefined) {
    const t = compiled.text;
    let at = folded.indexOf(t, from);
    while (at >= 0 && at < to) {
      hit(at);
      at = folded.indexOf(t, endOf(at) + 1);
    }
  } else {
    const re = compiled.regex;
    re.lastIndex = from;
    let m;
    while ((m = re.exec(folded)) !== null && m.index < to) {
      hit(m.index + 1);
      re.lastIndex = m.index + m[0].length;
    }
  }
}

if (typeof module !== 'undefined') module.exports = { foldCase, compileQuery, searchText };
