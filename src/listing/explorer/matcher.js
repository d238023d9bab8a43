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
//
// The pattern counts code points without the `u` flag: engines of 2022
// (V8 10) let `[^\0]` under `u` take half of a surrogate pair after a
// literal, so ` ?` missed " 🙂". Here `?` takes a whole pair or one unit
// that is no trailing half; `*` may stop inside a pair, but then nothing
// after it can match that trailing half, so no match comes of it.
const ANY_ONE = '(?:[\\ud800-\\udbff][\\udc00-\\udfff]|[^\\0\\udc00-\\udfff])';
const ANY_RUN = '[^\\0]*';

function compileQuery(query) {
  const q = foldCase(query);
  if (q === '' || q.indexOf('\0') >= 0) return null;
  if (!/[*?]/.test(q)) return { text: q };
  const inner = /^\*+([^*?]+)\*+$/.exec(q);
  if (inner) return { text: inner[1] };
  let source = '\\0';
  let lastRun = false;
  for (let k = 0; k < q.length; k++) {
    const ch = q[k];
    if (ch === '*') {
      if (!lastRun) source += ANY_RUN;
    } else if (ch === '?') {
      source += ANY_ONE;
    } else {
      source += escapeRegExp(ch);
    }
    lastRun = ch === '*';
  }
  return { regex: new RegExp(source + '(?=\\0)', 'g') };
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
