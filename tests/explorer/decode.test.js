'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { random } = require('./seeded_random.js');
const { encode, duplicatesText } = require('./encode.js');
const { Decoder, entryName, typeOf, hashHex } = require(path.join(__dirname, '../../src/listing/explorer/decode.js'));

const odd = ['</script><img src=x onerror=alert(1)>', '<!--', 'a%2Fb', 'cr\rlf\n', 'tab\t', 'Ärger.TXT', 'Σίσυφος.txt',
  '日本語.md', '🙂.png', '.hidden', 'no-dot', 'x.tar.GZ', '%', '%%3C'];

function makeTree(rand, depth, name) {
  const files = [];
  const n = Math.floor(rand() * 6);
  let bytes = 0;
  for (let i = 0; i < n; i++) {
    const base = rand() < 0.4 ? odd[Math.floor(rand() * odd.length)] : 'f' + Math.floor(rand() * 1000) + '.dat';
    const size = rand() < 0.1 ? 2 ** 40 + Math.floor(rand() * 1e6) : Math.floor(rand() * 1e7);
    const mtime = 13e9 + Math.floor(rand() * 1e9);
    const type = rand() < 0.2 ? '' : rand() < 0.5 ? 'Data/File <odd>' : base.split('.').pop().toUpperCase() + ' File';
    files.push({ name: base, kind: rand() < 0.1 ? 'link' : 'file', type, size, mtime,
      ctime: mtime - Math.floor(rand() * 5e8) + 1e8 });
    bytes += size;
  }
  const folders = [];
  const k = depth < 4 ? Math.floor(rand() * 4) : 0;
  for (let i = 0; i < k; i++) folders.push(makeTree(rand, depth + 1, odd[Math.floor(rand() * odd.length)] + i));
  const subtree = bytes + folders.reduce((a, f) => a + f.subtree, 0);
  return { name, files, folders, filesCount: n, bytes, subtree, mtime: 13e9 + Math.floor(rand() * 1e9), ctime: 0,
    skipped: rand() < 0.1 ? 'permission denied' : '' };
}

function decode(chunks) {
  const d = new Decoder();
  for (const c of chunks) d.chunk(c);
  return d.finish();
}

test('decoding gives back every entry, folder and listing written', () => {
  for (let seed = 1; seed <= 30; seed++) {
    const rand = random(seed);
    const listings = [1, 2].slice(0, 1 + (seed % 2)).map((k) => ({
      source: k === 1 ? '/srv/data <1>' : 'C:', listedAt: 13.4e9 + k, separator: k === 1 ? '/' : '\\',
      root: makeTree(rand, 0, k === 1 ? '/srv/data <1>' : 'C:'),
      totals: { folders: seed, files: seed * 2, bytes: 2 ** 50 + seed, skipped: seed % 3 },
    }));
    const model = decode(encode(listings, 1 + (seed % 7)));
    assert.strictEqual(model.listings.length, listings.length);
    let e = 0;
    let f = 0;
    const walk = (folder, parent) => {
      const me = f++;
      assert.strictEqual(entryName(model, e), folder.name);
      assert.strictEqual(model.folderEntry[me], e);
      assert.strictEqual(model.parent[e], parent);
      e++;
      for (const file of folder.files) {
        assert.strictEqual(entryName(model, e), file.name);
        assert.strictEqual(model.kind[e], file.kind === 'link' ? 1 : 0);
        assert.strictEqual(typeOf(model, e), file.type);
        assert.deepStrictEqual([model.size[e], model.mtime[e], model.ctime[e], model.parent[e]],
          [file.size, file.mtime, file.ctime, me]);
        e++;
      }
      let files = folder.files.length;
      let folders = 0;
      for (const sub of folder.folders) {
        const s = walk(sub, me);
        files += s.files;
        folders += s.folders + 1;
      }
      assert.deepStrictEqual([model.size[model.folderEntry[me]], model.folderFiles[me], model.folderBytes[me],
        model.mtime[model.folderEntry[me]], model.folderEnd[me], model.skipped.get(me) || ''],
      [folder.subtree, folder.filesCount, folder.bytes, folder.mtime, e, folder.skipped]);
      assert.deepStrictEqual([model.subFiles[me], model.subFolders[me]], [files, folders]);
      return { files, folders };
    };
    listings.forEach((l, k) => {
      assert.strictEqual(model.listings[k].root, f);
      walk(l.root, -1);
      assert.deepStrictEqual(model.listings[k].totals, l.totals);
      assert.strictEqual(model.listings[k].source, l.source);
      assert.strictEqual(model.listings[k].separator, l.separator);
    });
    assert.strictEqual(model.count, e);
  }
});

test('a listing cut short keeps what was written and closes its folders', () => {
  const rand = random(99);
  const listing = { source: '/x', listedAt: 1, separator: '/', root: makeTree(rand, 0, '/x'), totals: null };
  const chunks = encode([listing], 3);
  const model = decode(chunks.slice(0, Math.ceil(chunks.length / 2)));
  assert.ok(model.count > 0);
  assert.strictEqual(model.listings[0].totals, null);
  for (let f = 0; f < model.folderCount; f++) assert.ok(model.folderEnd[f] > model.folderEntry[f]);
  assert.throws(() => decode([chunks[0].slice(0, chunks[0].indexOf('\n') - 1) + '\n' + 'x/']), /cut short|missing/);
});

test('hashes and duplicate groups: each file\'s digest, each folder\'s copies after the first of a group', () => {
  for (let seed = 1; seed <= 20; seed++) {
    const rand = random(seed);
    const root = makeTree(rand, 0, '/h');
    // Digests from a small pool and sizes from few, so that groups happen.
    const pool = [0, 1, 2, 3].map((k) => Buffer.alloc(seed % 2 ? 16 : 32, k * 17 + 1));
    const files = []; // [path, entry, file]
    let e = 0;
    const walk = (f, at) => {
      e++;
      for (const file of f.files) {
        file.size = [0, 5, 7][Math.floor(rand() * 3)];
        file.hash = file.kind === 'file' && rand() < 0.9 ? pool[Math.floor(rand() * pool.length)] : null;
        files.push([at + '/' + file.name, e++, file]);
      }
      for (const sub of f.folders) walk(sub, at + '/' + sub.name);
    };
    walk(root, '');
    // The groups by the writer's rules, the brute way.
    const same = new Map();
    for (const [p, entry, file] of files) {
      if (!file.hash || !file.size) continue;
      const key = file.size + ':' + file.hash.toString('hex');
      if (!same.has(key)) same.set(key, []);
      same.get(key).push([p, entry, file.size]);
    }
    const groups = [...same.values()].filter((g) => g.length > 1).map((g) => g.sort((a, b) => (a[0] < b[0] ? -1 : 1)))
      .sort((a, b) => b[0][2] * (b.length - 1) - a[0][2] * (a.length - 1) || (a[0][0] < b[0][0] ? -1 : 1));
    const chunks = encode([{ source: '/h', listedAt: 1, separator: '/', root, totals: null }], 1 + (seed % 5),
      seed % 2 ? 'xxh128' : 'sha256');
    const d = new Decoder(4);
    chunks.forEach((c, k) => {
      d.chunk(c);
      d.hashes(chunks.hashes[k]);
    });
    d.readDuplicates(duplicatesText(groups.map((g) => g.map((m) => m[1]))));
    const model = d.finish();
    for (const [, entry, file] of files) {
      assert.strictEqual(hashHex(model, entry), file.hash ? file.hash.toString('hex') : '');
    }
    assert.strictEqual(model.duplicates.count, groups.length);
    assert.deepStrictEqual(Array.from(model.duplicates.files), groups.flat().map((m) => m[1]));
    for (let f = 0; f < model.folderCount; f++) {
      const below = model.folderEntry[f];
      const end = model.folderEnd[f];
      const want = groups.flatMap((g) => g.slice(1)).filter((m) => m[1] > below && m[1] < end).reduce((a, m) => a + m[2], 0);
      assert.strictEqual(model.dupBytes[f], want);
    }
  }
});

test('hashes and groups that do not fit the listing are refused', () => {
  const root = { name: '/h', folders: [], filesCount: 2, bytes: 10, subtree: 10, mtime: 1, ctime: 0, skipped: '',
    files: [{ name: 'a', kind: 'file', type: '', size: 5, mtime: 1, ctime: 1, hash: Buffer.alloc(16, 1) },
      { name: 'b', kind: 'link', type: '', size: 5, mtime: 1, ctime: 1 }] };
  const chunks = encode([{ source: '/h', listedAt: 1, separator: '/', root, totals: null }], 100, 'xxh128');
  const fresh = () => {
    const d = new Decoder();
    d.chunk(chunks[0]);
    return d;
  };
  assert.throws(() => fresh().hashes('md5:~'), /unknown kind/);
  assert.throws(() => fresh().hashes(chunks.hashes[0].slice(0, -1)), /cut short/);
  assert.throws(() => fresh().hashes(chunks.hashes[0] + '~'), /left over/);
  const d = fresh();
  d.hashes(chunks.hashes[0]);
  assert.throws(() => d.readDuplicates(duplicatesText([[1, 2]])), /no copy/);
  assert.throws(() => d.readDuplicates(duplicatesText([[1]])), /cut short/);
});
