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

// The data as the page reads it: each listing element, perhaps its hashes,
// then perhaps the groups. Either it is refused with the decoder's error,
// whose message starts "explorer data:", or what is read holds together:
// every folder's run inside the entries, every parent a folder, and every
// entry's name, type and hash readable.
function readAll(parts) {
  const d = new Decoder(4);
  try {
    for (const [kind, text] of parts) {
      if (kind === 'chunk') d.chunk(text);
      else if (kind === 'hashes') d.hashes(text);
      else d.readDuplicates(text);
    }
  } catch (error) {
    assert.ok(error instanceof Error && /^explorer data: /.test(error.message), 'not the decoder\'s error: ' + (error && error.stack));
    return false;
  }
  const model = d.finish();
  for (let f = 0; f < model.folderCount; f++) {
    assert.ok(model.folderEntry[f] < model.folderEnd[f] && model.folderEnd[f] <= model.count);
  }
  for (let e = 0; e < model.count; e++) {
    assert.ok(model.parent[e] >= -1 && model.parent[e] < model.folderCount);
    entryName(model, e);
    typeOf(model, e);
    hashHex(model, e);
  }
  return true;
}

test('random and mutated data is read or refused with the decoder\'s error, nothing else', () => {
  const rand = random(4242);
  const below = (n) => Math.floor(rand() * n);
  // Characters that mean something somewhere in the data, and some that mean nothing.
  const alphabet = '!"#;<=>OPQ~/%:\n\u0000\u00e9\u{1F642}2FC0D';
  const noise = (n) => Array.from({ length: n }, () => (rand() < 0.7 ? String.fromCharCode(0x21 + below(94))
    : [...alphabet][below([...alphabet].length)])).join('');
  const mutations = [
    (t) => { const p = below(t.length + 1); return t.slice(0, p) + noise(1) + t.slice(p + 1); },
    (t) => { const p = below(t.length + 1); return t.slice(0, p) + t.slice(p + 1 + below(20)); },
    (t) => { const p = below(t.length + 1); return t.slice(0, p) + noise(1 + below(8)) + t.slice(p); },
    (t) => { const p = below(t.length + 1); const q = p + below(30); return t.slice(0, q) + t.slice(p, q) + t.slice(q); },
    (t) => t.slice(0, below(t.length + 1)),
    // A long number: more digits than a double holds exactly.
    (t) => { const p = below(t.length + 1); return t.slice(0, p) + '~'.repeat(1 + below(400)) + '!' + t.slice(p); },
  ];
  const outcomes = [0, 0];
  for (let round = 0; round < 400; round++) {
    let parts;
    if (round % 4 === 3) {
      parts = Array.from({ length: 1 + below(4) }, () => [['chunk', 'hashes', 'groups'][below(3)], noise(below(300))]);
    } else {
      const root = makeTree(rand, 1, '/m');
      const hashName = ['', 'xxh128', 'sha256'][round % 3];
      let files = 0;
      const hashOf = (f) => {
        for (const file of f.files) if (rand() < 0.8) file.hash = Buffer.alloc(hashName === 'sha256' ? 32 : 16, below(3));
        files += f.files.length + 1;
        f.folders.forEach(hashOf);
      };
      hashOf(root);
      const chunks = encode([{ source: '/m', listedAt: 1, separator: '/', root, totals: null }], 1 + below(6), hashName);
      parts = [];
      chunks.forEach((c, k) => {
        parts.push(['chunk', c]);
        if (hashName) parts.push(['hashes', chunks.hashes[k]]);
      });
      if (hashName) parts.push(['groups', duplicatesText(files > 3 ? [[1, 2 + below(files - 2)]] : [])]);
      for (let m = 1 + below(3); m > 0; m--) {
        const k = below(parts.length);
        const r = rand();
        if (r < 0.1) parts.splice(k, 1);
        else if (r < 0.2) parts.splice(below(parts.length), 0, parts[k]);
        else if (r < 0.25) parts[k] = [['chunk', 'hashes', 'groups'][below(3)], parts[k][1]];
        else parts[k] = [parts[k][0], mutations[below(mutations.length)](parts[k][1])];
      }
    }
    outcomes[readAll(parts) ? 1 : 0]++;
  }
  // Both ways taken, so the cases reach past the first check.
  assert.ok(outcomes[0] > 40 && outcomes[1] > 15, JSON.stringify(outcomes));
});

test('the decoder refuses what would make it build from a bogus count or a borrowed name', () => {
  assert.throws(() => new Decoder().readDuplicates('~~~~~~~~!'), /^Error: explorer data: a duplicate group cut short/);
  for (const name of ['__proto__', 'constructor', 'toString']) {
    const d = new Decoder();
    d.chunk(encode([{ source: '/h', listedAt: 1, separator: '/', totals: null,
      root: { name: '/h', folders: [], files: [], filesCount: 0, bytes: 0, subtree: 0, mtime: 1, ctime: 0, skipped: '' } }])[0]);
    assert.throws(() => d.hashes(name + ':'), /unknown kind/);
  }
});
