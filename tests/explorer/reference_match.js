'use strict';
// The reference search the page is checked against: code point by code
// point, each lowered on its own, plain text anywhere, and a pattern with
// `*` or `?` matched against the whole name by plain backtracking.
const lower = (s) => Array.from(s, (c) => (c === 'ς' ? 'σ' : c.toLowerCase().length === c.length ? c.toLowerCase() : c));
function wildcard(p, n, i = 0, j = 0) {
  if (i === p.length) return j === n.length;
  if (p[i] === '*') return wildcard(p, n, i + 1, j) || (j < n.length && wildcard(p, n, i, j + 1));
  return j < n.length && (p[i] === '?' || p[i] === n[j]) && wildcard(p, n, i + 1, j + 1);
}
function matches(query, name) {
  const q = lower(query);
  const n = lower(name);
  return /[*?]/.test(query) ? wildcard(q, n) : n.join('').includes(q.join(''));
}

module.exports = { matches };
