'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { random } = require('./seeded_random.js');
const { encode } = require('./encode.js');

// The page's pieces share one scope; here the decoder's names are global the same way.
const decoder = require(path.join(__dirname, '../../src/listing/explorer/decode.js'));
Object.assign(globalThis, decoder);
const { listingModel } = require(path.join(__dirname, '../../src/listing/explorer/model.js'));

const words = ['a', 'B', 'b', 'Ärger', 'σ', 'x.txt', 'X.TXT', 'data.bin', '日本', '🙂', 'a b'];

// A listing and, beside it, every entry as the test knows it: path, folder's path, name, type, size, times.
function makeListing(seed) {
  const rand = random(seed);
  const pick = (a) => a[Math.floor(rand() * a.length)];
  const known = [];
  let folders = 0;
  const folder = (name, at, depth) => {
    folders++;
    known.push({ name, folder: at.slice(0, at.lastIndexOf('/')) || '/', kind: 2, type: 'Folder', size: 0, mtime: 0, ctime: 0 });
    const me = known[known.length - 1];
    const files = [];
    for (let i = Math.floor(rand() * 8); i > 0; i--) {
      // Sizes past 2^52 cannot be packed with an entry and are ranked first.
      const file = { name: pick(words) + (rand() < 0.5 ? '' : i), kind: rand() < 0.2 ? 'link' : 'file',
        type: pick(['', 'Text', 'text', 'Data']), size: pick([0, 5, 5, 2 ** 40, seed % 2 ? 2 ** 52 : 7, Math.floor(rand() * 1e6)]),
        mtime: 13e9 + Math.floor(rand() * 50), ctime: 13e9 };
      files.push(file);
      known.push({ name: file.name, folder: at, kind: file.kind === 'link' ? 1 : 0, type: file.type, size: file.size,
        mtime: file.mtime, ctime: file.ctime });
    }
    const subs = [];
    for (let i = depth < 3 ? Math.floor(rand() * 4) : 0; i > 0; i--) {
      const sub = pick(words) + '-' + folders;
      subs.push(folder(sub, at + '/' + sub, depth + 1));
    }
    const bytes = files.reduce((a, f) => a + f.size, 0);
    const subtree = bytes + subs.reduce((a, s) => a + s.subtree, 0);
    me.size = subtree;
    me.mtime = 13e9 + Math.floor(rand() * 50);
    me.ctime = me.mtime;
    return { name, files, folders: subs, filesCount: files.length, bytes, subtree, mtime: me.mtime, ctime: me.ctime, skipped: '' };
  };
  const root = folder('/top', '/top', 0);
  known[0].folder = '';
  const d = new decoder.Decoder();
  for (const c of encode([{ source: '/top', listedAt: 13e9, separator: '/', root, totals: null }], 7)) d.chunk(c);
  return { store: d.finish(), known };
}

test('entries sort by every key as a plain comparison of what the listing says', () => {
  for (let seed = 1; seed <= 12; seed++) {
    const { store, known } = makeListing(seed);
    assert.strictEqual(store.count, known.length);
    const model = listingModel(store);
    const rand = random(seed + 100);
    const list = [];
    for (let e = 0; e < store.count; e++) if (rand() < 0.7) list.push(e);
    for (let k = list.length - 1; k > 0; k--) {
      const j = Math.floor(rand() * (k + 1));
      [list[k], list[j]] = [list[j], list[k]];
    }
    const keyOf = {
      name: (e) => known[e].name.toLowerCase(), type: (e) => known[e].type.toLowerCase(), path: (e) => known[e].folder.toLowerCase(),
      size: (e) => known[e].size, kind: (e) => known[e].kind, modified: (e) => known[e].mtime, created: (e) => known[e].ctime,
    };
    for (const [key, of] of Object.entries(keyOf)) {
      for (const up of [true, false]) {
        const expected = list.slice().sort((a, b) => {
          const x = of(a);
          const y = of(b);
          return (x < y ? -1 : x > y ? 1 : 0) * (up ? 1 : -1) || a - b;
        });
        assert.deepStrictEqual(Array.from(model.sortEntries(Int32Array.from(list), key, up)), expected, key + ' ' + up);
      }
    }
    for (let e = 1; e < store.count; e++) {
      assert.strictEqual(model.entryPath(e), (known[e].folder === '/' ? '' : known[e].folder) + '/' + known[e].name);
    }
  }
});
