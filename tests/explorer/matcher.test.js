'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { random } = require('./seeded_random.js');
const { foldCase, compileQuery, searchText } = require(path.join(__dirname, '../../src/listing/explorer/matcher.js'));

const { matches } = require('./reference_match.js');

const letters = ['a', 'B', 'c', '.', 'Ä', 'ä', 'ß', 'Σ', 'σ', 'ς', 'Ж', 'ж', '日', '🙂', '😀', '𝒜', 'İ', '-', ' ', '[', '(', '$', '\\'];

test('search finds exactly the names the reference matcher matches', () => {
  const rand = random(5);
  const pick = () => letters[Math.floor(rand() * letters.length)];
  for (let round = 0; round < 40; round++) {
    const names = [];
    for (let i = 0; i < 300; i++) {
      let n = '';
      const len = 1 + Math.floor(rand() * 8);
      for (let k = 0; k < len; k++) n += pick();
      names.push(n);
    }
    const folded = '\0' + foldCase(names.join('\0') + '\0');
    const starts = [];
    let at = 1;
    for (const n of names) {
      starts.push(at);
      at += n.length + 1;
    }
    const endOf = (o) => folded.indexOf('\0', o);
    for (let t = 0; t < 25; t++) {
      let query = '';
      const len = 1 + Math.floor(rand() * 4);
      for (let k = 0; k < len; k++) {
        const r = rand();
        query += r < 0.2 ? '*' : r < 0.3 ? '?' : pick();
      }
      if (t % 5 === 0) query = '*' + pick() + '*';
      const found = [];
      const compiled = compileQuery(query);
      if (compiled) {
        searchText(folded, compiled, 0, folded.length, (o) => {
          let k = starts.length - 1;
          while (starts[k] > o) k--;
          found.push(k);
        }, endOf);
      }
      const expected = names.map((n, k) => (matches(query, n) ? k : -1)).filter((k) => k >= 0);
      assert.deepStrictEqual(found, expected, 'query ' + JSON.stringify(query));
    }
  }
});

test('folding keeps every length, so offsets stay offsets', () => {
  for (const s of ['İstanbul', 'ΟΔΟΣ', 'Straße', 'ǅ', '🙂A']) assert.strictEqual(foldCase(s).length, s.length);
  assert.strictEqual(foldCase('ΟΔΟΣ'), 'οδοσ');
  assert.strictEqual(compileQuery(''), null);
});
