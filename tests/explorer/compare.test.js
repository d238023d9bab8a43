'use strict';
// The page's comparison of two listings against one worked out here by
// brute force over paths, as tallyfold-diff's own check does it, on
// random trees and their changed copies.
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { random } = require('./seeded_random.js');
const { encode } = require('./encode.js');

const decode = require(path.join(__dirname, '../../src/listing/explorer/decode.js'));
const { compareListings, CHANGED, MOVED } = require(path.join(__dirname, '../../src/listing/explorer/compare.js'));

const words = ['a', 'b', 'c.txt', 'd.bin', 'Ä', '日本', 'x y'];

function makeTree(rand, depth) {
  const pick = (a) => a[Math.floor(rand() * a.length)];
  const folder = { name: '', files: [], folders: [] };
  const used = new Set();
  const fresh = () => {
    for (;;) {
      const n = pick(words) + (rand() < 0.5 ? '' : Math.floor(rand() * 4));
      if (!used.has(n)) return used.add(n) && n;
    }
  };
  for (let i = Math.floor(rand() * 5); i > 0; i--) {
    folder.files.push({ name: fresh(), kind: rand() < 0.15 ? 'link' : 'file', size: pick([0, 3, 3, 50, 700]), mtime: 13e9 + pick([0, 1, 1, 7]) });
  }
  for (let i = depth < 3 ? Math.floor(rand() * 4) : 0; i > 0; i--) {
    const sub = makeTree(rand, depth + 1);
    sub.name = fresh();
    folder.folders.push(sub);
  }
  return folder;
}

const clone = (f) => ({ name: f.name, files: f.files.map((x) => ({ ...x })), folders: f.folders.map(clone) });
function allFolders(f, out = []) {
  out.push(f);
  for (const s of f.folders) allFolders(s, out);
  return out;
}
const taken = (f, name) => f.files.some((x) => x.name === name) || f.folders.some((x) => x.name === name);

// The changes of tallyfold-diff's check, at random places: a folder moved
// or copied, a file moved, folders and files gone and new, a file turned
// into a folder, folders copied, sizes and times changed.
function changeTree(root, rand) {
  const pick = (a) => a[Math.floor(rand() * a.length)];
  for (let k = 0; k < 12; k++) {
    const folders = allFolders(root);
    const f = pick(folders);
    const r = rand();
    if (r < 0.15 && f.folders.length) {
      const sub = f.folders.splice(Math.floor(rand() * f.folders.length), 1)[0];
      const to = pick(allFolders(root));
      sub.name = 'moved' + k;
      if (!taken(to, sub.name)) to.folders.push(r < 0.08 ? sub : clone(sub));
    } else if (r < 0.3 && f.files.length) {
      const file = f.files.splice(Math.floor(rand() * f.files.length), 1)[0];
      const to = pick(folders);
      if (!taken(to, file.name)) to.files.push(file);
    } else if (r < 0.4 && f.folders.length) {
      f.folders.splice(Math.floor(rand() * f.folders.length), 1);
    } else if (r < 0.5 && !taken(f, 'new' + k)) {
      const sub = makeTree(rand, 2);
      sub.name = 'new' + k;
      f.folders.push(sub);
    } else if (r < 0.6 && f.files.length) {
      const file = f.files.splice(Math.floor(rand() * f.files.length), 1)[0];
      f.folders.push({ name: file.name, files: [{ name: 'now', kind: 'file', size: 1, mtime: 13e9 }], folders: [] });
    } else if (r < 0.7 && f.folders.length && !taken(root, 'copy' + k)) {
      // A copy that a move's inner folder could be paired with, were the largest not first.
      const sub = clone(pick(f.folders));
      sub.name = 'copy' + k;
      root.folders.push(sub);
    } else if (f.files.length) {
      const file = pick(f.files);
      if (rand() < 0.5) file.size += 1 + Math.floor(rand() * 9);
      else file.mtime += 1;
    } else if (!taken(f, 'added' + k)) {
      f.files.push({ name: 'added' + k, kind: 'file', size: 5, mtime: 13e9 });
    }
  }
}

// The encoder's form: counts and bytes per folder.
function forEncoder(f, name) {
  const folders = f.folders.map((s) => forEncoder(s, s.name));
  const files = f.files.map((x) => ({ ...x, type: '', ctime: x.mtime }));
  const bytes = files.reduce((a, x) => a + x.size, 0);
  return { name, files, folders, filesCount: files.length, bytes, subtree: bytes + folders.reduce((a, s) => a + s.subtree, 0),
    mtime: 13e9, ctime: 13e9 };
}

// {path: {kind, size, mtime}} below the source, a folder's size its subtree's.
function flatten(f, prefix, out = new Map()) {
  let size = 0;
  for (const x of f.files) {
    out.set(prefix ? prefix + '/' + x.name : x.name, { kind: x.kind, size: x.size, mtime: x.mtime });
    size += x.size;
  }
  for (const s of f.folders) {
    const p = prefix ? prefix + '/' + s.name : s.name;
    out.set(p, null);
    const e = { kind: 'folder', size: flatten(s, p, out).size, mtime: 0 };
    out.set(p, e);
    size += e.size;
  }
  if (prefix === '') out.set('', { kind: 'folder', size, mtime: 0 });
  return { map: out, size };
}

const parentOf = (k) => (k.includes('/') ? k.slice(0, k.lastIndexOf('/')) : '');
const nameOf = (k) => k.slice(k.lastIndexOf('/') + 1);
const inside = (k, folder) => (folder === '' ? k !== '' : k.startsWith(folder + '/'));
const sorted = (keys) => [...keys].sort((a, b) => (a < b ? -1 : a > b ? 1 : 0));

// The comparison by brute force: every rule over the whole path maps.
function reference(old, now) {
  const items = [];
  for (const k of sorted(old.keys())) {
    const a = old.get(k);
    const b = now.get(k);
    if (!b || a.kind !== b.kind) continue;
    if (a.kind === 'folder' ? a.size !== b.size : a.size !== b.size || a.mtime !== b.mtime) items.push(['changed', k]);
  }
  const added = sorted([...now.keys()].filter((k) => !old.has(k) || old.get(k).kind !== now.get(k).kind));
  const removed = sorted([...old.keys()].filter((k) => !now.has(k) || old.get(k).kind !== now.get(k).kind));
  const content = (side, folder) => sorted([...side.keys()].filter((k) => inside(k, folder)).map((k) => {
    const e = side.get(k);
    return k.slice(folder.length + 1) + '|' + e.kind + (e.kind === 'folder' ? '' : '|' + e.size + '|' + e.mtime);
  })).join('\n');
  const usedNew = new Set();
  const usedOld = new Set();
  const newFolders = added.filter((k) => now.get(k).kind === 'folder' && content(now, k) !== '');
  newFolders.sort((a, b) => now.get(b).size - now.get(a).size); // stable: path order among equals
  const tally = { added: [0, 0, 0], removed: [0, 0, 0], moved: [0, 0, 0] };
  for (const k of newFolders) {
    if (usedNew.has(k)) continue;
    const c = content(now, k);
    const match = removed.find((g) => !usedOld.has(g) && old.get(g).kind === 'folder' && content(old, g) === c);
    if (match === undefined) continue;
    usedNew.add(k);
    for (const x of added) if (inside(x, k)) usedNew.add(x);
    usedOld.add(match);
    for (const x of removed) if (inside(x, match)) usedOld.add(x);
    items.push(['moved', k, match]);
    tally.moved[2]++;
  }
  for (const k of added) {
    const e = now.get(k);
    if (usedNew.has(k) || e.kind === 'folder') continue;
    const match = removed.find((g) => !usedOld.has(g) && old.get(g).kind === e.kind && nameOf(g) === nameOf(k) &&
      old.get(g).size === e.size && old.get(g).mtime === e.mtime);
    if (match === undefined) continue;
    usedNew.add(k);
    usedOld.add(match);
    items.push(['moved', k, match]);
    tally.moved[0]++;
    tally.moved[1] += e.size;
  }
  for (const [change, side, keys, used] of [['added', now, added, usedNew], ['removed', old, removed, usedOld]]) {
    for (const k of keys) {
      if (used.has(k)) continue;
      const e = side.get(k);
      if (e.kind !== 'folder') {
        tally[change][0]++;
        tally[change][1] += e.size;
      }
      const p = parentOf(k);
      if (!(old.has(p) && now.has(p) && old.get(p).kind === 'folder' && now.get(p).kind === 'folder')) continue;
      if (e.kind === 'folder') tally[change][2]++;
      items.push([change, k]);
    }
  }
  return { items: items.map((i) => i.join(' ')).sort(), tally };
}

// The page's comparison in the same form.
function fromPage(store) {
  const c = compareListings(store);
  const items = [];
  for (let e = 0; e < store.count; e++) {
    if (c.status[e] === CHANGED && c.isNew[e]) items.push(['changed', c.relPath(e)]);
  }
  for (const [a, r] of c.from) items.push(['moved', c.relPath(a), c.relPath(r)]);
  for (const a of c.additions) items.push(['added', c.relPath(a)]);
  for (const r of c.removals) items.push(['removed', c.relPath(r)]);
  const t = c.tally;
  return { c, items: items.map((i) => i.join(' ')).sort(), tally: {
    added: [t.added.files, t.added.bytes, t.foldersAdded], removed: [t.removed.files, t.removed.bytes, t.foldersRemoved],
    moved: [t.moved.files, t.moved.bytes, t.foldersMoved] } };
}

function decodePair(oldTree, newTree) {
  const listing = (tree, source) => ({ source, listedAt: 13e9, separator: '/', root: forEncoder(tree, source),
    totals: { folders: 0, files: 0, bytes: 0, skipped: 0 } });
  const d = new decode.Decoder();
  d.chunk('(\n'); // the comparison record, 7
  for (const chunk of encode([listing(oldTree, '/old/src'), listing(newTree, '/backup/src')], 7)) d.chunk(chunk);
  return d.finish();
}

test('matching, moves, changes and tallies equal a brute-force comparison of the paths', () => {
  let moves = 0;
  let kinds = new Set();
  for (let seed = 1; seed <= 300; seed++) {
    const rand = random(seed);
    const oldTree = makeTree(rand, 0);
    const newTree = clone(oldTree);
    changeTree(newTree, rand);
    const store = decodePair(oldTree, newTree);
    assert.strictEqual(store.comparison, true);
    const want = reference(flatten(oldTree, '').map, flatten(newTree, '').map);
    const got = fromPage(store);
    assert.deepStrictEqual(got.items, want.items, 'seed ' + seed);
    assert.deepStrictEqual(got.tally, want.tally, 'seed ' + seed);
    // Everything in a moved folder is part of its move.
    for (const [a] of got.c.from) {
      if (store.kind[a] !== 2) continue;
      for (let e = a; e < store.folderEnd[store.folderOf[a]]; e++) assert.strictEqual(got.c.status[e], MOVED);
    }
    moves += want.tally.moved[2];
    kinds = new Set([...kinds, ...want.items.map((i) => i.split(' ')[0])]);
  }
  assert.ok(moves > 20, 'folders moved: ' + moves);
  assert.deepStrictEqual([...kinds].sort(), ['added', 'changed', 'moved', 'removed']);
});

test('a comparison record after a listing is refused', () => {
  const d = new decode.Decoder();
  const [chunk] = encode([{ source: '/s', listedAt: 1, separator: '/', root: forEncoder({ files: [], folders: [] }, '/s') }]);
  d.chunk(chunk);
  assert.throws(() => d.chunk('(\n'), /comparison after a listing/);
});
