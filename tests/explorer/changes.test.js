'use strict';
// The compare page's data against tallyfold-diff's JSON Lines of the same
// listings: every entry's mark and partner as the items say, on random
// trees and their changed copies, hashes included.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { random } = require('./seeded_random.js');

const decode = require(path.join(__dirname, '../../src/listing/explorer/decode.js'));
const { entryName } = decode;
const { CHANGE_SAME: SAME, CHANGE_ADDED: ADDED, CHANGE_REMOVED: REMOVED, CHANGE_CHANGED: CHANGED,
  CHANGE_CONTENT: CONTENT, CHANGE_MOVED_HERE: MOVED_HERE, CHANGE_MOVED_AWAY: MOVED_AWAY, CHANGE_NOT_READ: NOT_READ,
  CHANGE_NOT_COMPARED: NOT_COMPARED } = require(path.join(__dirname, '../../src/listing/explorer/format.js'));
const lister = process.env.TALLYFOLD_LIST;
const differ = process.env.TALLYFOLD_DIFF || (lister && path.join(path.dirname(lister), 'tallyfold-diff'));

const iso = (s) => new Date((s - 11644473600) * 1000).toISOString().replace('.000Z', 'Z');

function makeTree(rand, depth) {
  const folder = { files: {}, folders: {} };
  for (let i = Math.floor(rand() * 5); i > 0; i--) {
    folder.files['f' + i + '.bin'] = { size: [0, 10, 10, 20][Math.floor(rand() * 4)], t: 13e9 + Math.floor(rand() * 3), c: 'c' + Math.floor(rand() * 1e6) };
  }
  for (let i = depth < 3 ? Math.floor(rand() * 4) : 0; i > 0; i--) folder.folders['d' + i] = makeTree(rand, depth + 1);
  return folder;
}
const clone = (x) => JSON.parse(JSON.stringify(x));
function folders(f, out = []) {
  for (const sub of Object.values(f.folders)) {
    out.push(sub);
    folders(sub, out);
  }
  return out;
}

// Renamed folders with changes inside, swapped contents, unreadable
// folders, files moved, grown and gone.
function changeTree(root, rand) {
  const pick = (a) => a[Math.floor(rand() * a.length)];
  for (let k = 0; k < 4; k++) {
    const all = [root, ...folders(root)].filter((f) => !f.skipped);
    const f = pick(all);
    const names = Object.keys(f.files);
    const r = rand();
    const subs = Object.keys(f.folders);
    if (r < 0.3 && subs.length) {
      const name = pick(subs);
      const sub = f.folders[name];
      delete f.folders[name];
      f.folders[name + '-renamed'] = sub;
      const inner = Object.keys(sub.files);
      if (inner.length) sub.files[inner[0]].size += 1;
    } else if (r < 0.45 && names.length >= 2) {
      [f.files[names[0]].c, f.files[names[1]].c] = [f.files[names[1]].c, f.files[names[0]].c];
    } else if (r < 0.55 && f !== root) {
      f.files = {};
      f.folders = {};
      f.skipped = 'permission denied';
    } else if (r < 0.7 && names.length) {
      const to = pick(all);
      if (to !== f && !to.files['m-' + names[0]]) {
        to.files['m-' + names[0]] = f.files[names[0]];
        delete f.files[names[0]];
      }
    } else if (r < 0.85 && names.length) {
      delete f.files[pick(names)];
    } else {
      f.files['new' + k] = { size: 3, t: 13e9, c: 'n' + k };
    }
  }
}

function emit(tree, file, root) {
  const lines = [];
  const walk = (node, p, name) => {
    let total = 0;
    for (const [n, c] of Object.entries(node.files).sort()) {
      lines.push({ path: p + '/' + n, name: n, kind: 'file', type: '', size: c.size, created: iso(13e9), modified: iso(c.t),
        hash: 'xxh128:' + require('node:crypto').createHash('md5').update(c.c).digest('hex') });
      total += c.size;
    }
    for (const [n, c] of Object.entries(node.folders).sort()) total += walk(c, p + '/' + n, n);
    const record = { path: p, name, kind: 'folder', type: '', size: 0, created: iso(13e9), modified: iso(13e9), subtree_bytes: total };
    if (node.skipped) record.skipped = node.skipped;
    lines.push(record);
    return total;
  };
  walk(tree, root, root.split('/').pop());
  Object.assign(lines[lines.length - 1], { hashes: 'xxh128', listed_at: iso(13e9) });
  fs.writeFileSync(file, lines.map((l) => JSON.stringify(l)).join('\n') + '\n');
}

// The page's data, read as the page reads it.
function pageModel(html) {
  const decoder = new decode.Decoder(1000);
  for (const [, type, text] of html.matchAll(/<script type="application\/x-tallyfold-(\w+)">([^<]*)<\/script>/g)) {
    if (type === 'listing') decoder.chunk(text);
    else if (type === 'changes') decoder.readChanges(text);
  }
  return decoder.finish();
}

function relPaths(model) {
  const rel = new Array(model.count);
  for (let e = 0; e < model.count; e++) {
    const p = model.parent[e];
    rel[e] = p < 0 ? '' : (rel[model.folderEntry[p]] ? rel[model.folderEntry[p]] + '/' : '') + entryName(model, e);
  }
  return rel;
}

test('the compare page carries tallyfold-diff\'s answer for each entry', () => {
  assert.ok(differ, 'TALLYFOLD_DIFF names the tallyfold-diff to test');
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tf-changes-'));
  try {
    const rand = random(31337);
    const seen = new Set();
    for (let round = 0; round < 60; round++) {
      const before = makeTree(rand, 0);
      const after = clone(before);
      changeTree(after, rand);
      const [o, n, html] = ['old.jsonl', 'new.jsonl', 'page.html'].map((x) => path.join(work, x));
      emit(before, o, '/data/src');
      emit(after, n, '/backup/src');
      const made = spawnSync(differ, ['--format', 'explorer', '--output', html, o, n]);
      assert.ok(made.status === 0 || made.status === 1, String(made.stderr));
      const lines = spawnSync(differ, ['--format', 'jsonl', o, n], { encoding: 'utf8' }).stdout.trim().split('\n')
        .filter(Boolean).map((l) => JSON.parse(l));
      const model = pageModel(fs.readFileSync(html, 'utf8'));
      const { status, partner, tally } = model.changes;
      const rel = relPaths(model);
      const newRoot = model.folderEntry[model.listings[1].root];
      const at = (side, p) => {
        for (let e = side ? newRoot : 0; e < (side ? model.count : newRoot); e++) if (rel[e] === p) return e;
        return -1;
      };
      // What each item says of its entries, and of those below them.
      const want = new Map();
      const mark = (side, p, s, other, below) => {
        const e = at(side, p);
        assert.ok(e >= 0, 'no entry ' + p);
        want.set(e, [s, other === undefined ? -1 : at(1 - side, other)]);
        if (!below) return;
        for (let d = e + 1; d < (side ? model.count : newRoot); d++) {
          if (!rel[d].startsWith(p + '/') || want.has(d)) continue;
          const inner = other === undefined || s === NOT_READ ? -1 : at(1 - side, other + rel[d].slice(p.length));
          want.set(d, [s, inner]);
        }
      };
      const items = lines.filter((l) => l.change !== 'summary' && l.change !== 'total');
      // Inner items first: they decide for what lies below them before their folder's move.
      items.sort((a, b) => (b.from || b.path).split('/').length - (a.from || a.path).split('/').length);
      for (const it of items) {
        seen.add(it.change);
        const simple = { changed: CHANGED, folder: CHANGED, content: CONTENT, content_not_compared: NOT_COMPARED }[it.change];
        if (simple !== undefined) {
          mark(1, it.path, simple, it.from || it.path, false);
          mark(0, it.from || it.path, simple, it.path, false);
        } else if (it.change === 'added') mark(1, it.path, ADDED, undefined, true);
        else if (it.change === 'removed') mark(0, it.from || it.path, REMOVED, undefined, true);
        else if (it.change === 'moved') {
          mark(1, it.path, MOVED_HERE, it.from, true);
          mark(0, it.from, MOVED_AWAY, it.path, true);
        } else if (it.change === 'not_read') {
          const inOld = at(0, it.path) >= 0;
          const inNew = at(1, it.path) >= 0;
          if (inNew) mark(1, it.path, NOT_READ, inOld ? it.path : undefined, true);
          if (inOld) mark(0, it.path, NOT_READ, inNew ? it.path : undefined, true);
        }
      }
      for (let e = 0; e < model.count; e++) {
        const [s, given] = want.get(e) || [SAME, -1];
        // Folders of the later listing in both: their partner at the same path.
        const p = s === SAME && e >= newRoot && model.kind[e] === 2 ? at(0, rel[e]) : given;
        assert.deepStrictEqual([status[e], partner[e]], [s, p], (e >= newRoot ? 'new ' : 'old ') + rel[e]);
      }
      const summary = lines.find((l) => l.change === 'summary') || {};
      assert.strictEqual(tally.addedFiles, summary.added_files || 0);
      assert.strictEqual(tally.removedBytes, summary.removed_bytes || 0);
      assert.strictEqual(tally.changedGrowth, summary.changed_growth || 0);
      assert.strictEqual(tally.contentChangedFiles, summary.content_changed_files || 0);
      assert.strictEqual(tally.notReadFolders, summary.not_read_folders || 0);
    }
    for (const kind of ['added', 'removed', 'changed', 'moved', 'content', 'not_read']) assert.ok(seen.has(kind), kind);
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
});
