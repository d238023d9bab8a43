'use strict';
// The explorer page's hashes and Duplicates view in Chromium, against
// `tallyfold-list --duplicates --format jsonl` of the same hashed listing.
const test = require('node:test');
const assert = require('node:assert');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { launch, gridRows, openPage, download } = require('./browser.js');

const lister = process.env.TALLYFOLD_LIST;
const hostile = '<img src=x onerror=alert(1)>';

// Planted: three copies and a hard link of one, a pair across a hostile
// folder, a pair in one folder, files of the same size but other content,
// two empty files, and files alone.
function makeTree(root) {
  const bytes = (seed, n) => Buffer.from(Array.from({ length: n }, (_, i) => (i * 31 + seed * 7 + (i >> 8)) & 255));
  const put = (rel, content) => {
    fs.mkdirSync(path.dirname(path.join(root, rel)), { recursive: true });
    fs.writeFileSync(path.join(root, rel), content);
  };
  put('a/one.bin', bytes(1, 9000));
  put('b/two.bin', bytes(1, 9000));
  put('b/c/three.bin', bytes(1, 9000));
  fs.linkSync(path.join(root, 'a/one.bin'), path.join(root, 'b/c/hard link.bin'));
  put('b/same size.bin', bytes(2, 9000));
  put('d/other size.bin', bytes(3, 9000));
  put('d/x.dat', bytes(4, 700));
  put('<svg onload=alert(2)>/' + hostile + '.dat', bytes(4, 700));
  put('e/p 1', bytes(5, 40));
  put('e/p 2', bytes(5, 40));
  put('e/empty 1', '');
  put('f/empty 2', '');
  put('f/alone.txt', 'alone');
}

let work;
let root;
let browser;
let close;
let page;
let groups; // the duplicates report's, as JSON
let records; // the listing's
const alerts = [];
const requests = [];

async function goTo(tab, folder) {
  await tab.evaluate((p) => {
    location.hash = '#' + encodeURIComponent(p);
  }, folder);
  await tab.waitForFunction((p) => [...document.querySelectorAll('#crumbs button')].pop()?.title === p,
    { timeout: 5000 }, folder);
}

test.before(async () => {
  assert.ok(lister, 'TALLYFOLD_LIST names the tallyfold-list to test');
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'tf-dups-'));
  root = path.join(work, 'tree');
  makeTree(root);
  const run = (...args) => execFileSync(lister, args, { stdio: ['ignore', 'ignore', 'inherit'] });
  const at = (f) => path.join(work, f);
  run(root, '--hash', 'sha256', '--format', 'jsonl', '--output', at('tree.jsonl'));
  run('--from', at('tree.jsonl'), '--format', 'explorer', '--output', at('tree.html'));
  run('--from', at('tree.jsonl'), '--duplicates', '--format', 'jsonl', '--output', at('dups.jsonl'));
  run('--from', at('tree.jsonl'), '--duplicates', '--format', 'csv', '--output', at('dups.csv'));
  run(root, '--format', 'explorer', '--output', at('plain.html'));
  groups = fs.readFileSync(at('dups.jsonl'), 'utf8').trim().split('\n').map((l) => JSON.parse(l))
    .filter((g) => 'group' in g);
  records = fs.readFileSync(at('tree.jsonl'), 'utf8').trim().split('\n').map((l) => JSON.parse(l));
  ({ browser, close } = await launch());
  page = await browser.newPage();
  await openPage(page, at('tree.html'), { alerts, requests, downloads: at('downloads') });
});

test.after(async () => {
  if (close) await close();
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

test('the Duplicates view shows the groups of the duplicates report, in its order', async () => {
  // The planted groups, so that the report itself is checked too.
  assert.deepStrictEqual(groups.map((g) => [g.count, g.wasted]), [[3, 18000], [2, 700], [2, 40]]);
  assert.ok(groups[0].paths.some((p) => p.endsWith('/a/one.bin')) !== groups[0].paths.some((p) => p.endsWith('hard link.bin')));
  await page.click('#tab-dups');
  const rows = await gridRows(page, 'dups');
  const shown = [];
  for (const [group, wasted, size, copies, file, hash] of rows) {
    const g = Number(group) - 1;
    shown[g] = shown[g] || { wasted: Number(wasted.replace(/,/g, '')), size: Number(size.replace(/,/g, '')),
      count: Number(copies), hash, paths: [] };
    shown[g].paths.push(file);
  }
  assert.strictEqual(shown.length, groups.length);
  shown.forEach((s, k) => {
    const g = groups[k];
    assert.deepStrictEqual(new Set(s.paths), new Set(g.paths));
    assert.deepStrictEqual([s.wasted, s.size, s.count, s.hash], [g.wasted, g.size, g.count, g.hash]);
    if (k) assert.ok(shown[k - 1].wasted >= s.wasted, 'most wasted first');
  });
  const note = await page.$eval('#dups-note', (e) => e.textContent);
  assert.ok(note.startsWith('3 groups of identical files, 7 files,'), note);
  assert.ok(note.includes('(18,740 bytes)'), note);
});

test('the Duplicates view exports the CSV of the duplicates report', async () => {
  await page.click('#tab-dups');
  const file = await download(page, () => page.click('#export'));
  assert.strictEqual(path.basename(file), 'duplicates.csv');
  assert.strictEqual(fs.readFileSync(file, 'utf8'), fs.readFileSync(path.join(work, 'dups.csv'), 'utf8'));
});

test('each folder\'s duplicated bytes are the copies after the first of each group below it', async () => {
  const wasted = groups.flatMap((g) => g.paths.slice(1).map((p) => ({ p, size: g.size })));
  for (const f of records.filter((r) => r.kind === 'folder')) {
    const want = wasted.filter((w) => w.p.startsWith(f.path + '/')).reduce((a, w) => a + w.size, 0);
    await goTo(page, f.path);
    const got = await page.$eval('[role=treeitem][aria-selected=true]', (r) => r.dataset.dup);
    assert.strictEqual(Number(got), want, f.path);
  }
});

test('a click on a path opens its folder with the file chosen', async () => {
  await page.click('#tab-dups');
  const target = groups[1].paths.find((p) => p.includes(hostile));
  const row = await page.evaluateHandle((p) => [...document.querySelectorAll('#dups [role=row]')]
    .find((r) => r.children[4].textContent === p), target);
  await row.asElement().click();
  await page.waitForFunction(() => !document.getElementById('panel-files').hidden);
  const folder = path.dirname(target);
  assert.strictEqual(decodeURIComponent(await page.evaluate(() => location.hash.slice(1))), folder);
  const selected = await page.$eval('[role=treeitem][aria-selected=true]', (r) => r.title);
  assert.ok(selected.startsWith('<svg onload=alert(2)>,'), selected);
  const active = await page.$eval('#files .row.active', (r) => r.children[0].textContent);
  assert.strictEqual(active, hostile + '.dat');
});

test('a file\'s hash is its SHA-256', async () => {
  await goTo(page, path.join(root, 'b'));
  const rows = await gridRows(page, 'files');
  const header = await page.$$eval('#files [role=columnheader]', (h) => h.map((b) => b.textContent));
  const at = header.indexOf('sha256');
  assert.ok(at > 0, header.join());
  for (const name of ['two.bin', 'same size.bin']) {
    const want = crypto.createHash('sha256').update(fs.readFileSync(path.join(root, 'b', name))).digest('hex');
    assert.strictEqual(rows.find((r) => r[0] === name)[at], want, name);
  }
});

test('a page without hashes has no Duplicates view nor hash column', async () => {
  const plain = await browser.newPage();
  await openPage(plain, path.join(work, 'plain.html'), { alerts, requests });
  assert.strictEqual(await plain.$eval('#tab-dups', (b) => b.hidden), true);
  const header = await plain.$$eval('#files [role=columnheader]', (h) => h.map((b) => b.textContent));
  assert.deepStrictEqual(header, ['Name', 'Type', 'Size', 'Created (UTC)', 'Modified (UTC)']);
  assert.strictEqual(await plain.$$eval('[role=treeitem][data-dup]', (r) => r.length), 0);
  assert.strictEqual(await plain.$$eval('script[type="application/x-tallyfold-hashes"]', (r) => r.length), 0);
  await plain.close();
});

test('hostile names stay text: no alert, no element from a name, no request', async () => {
  assert.deepStrictEqual(alerts, []);
  assert.strictEqual(await page.$$eval('img, svg', (i) => i.length), 0);
  assert.strictEqual(await page.$$eval('body script:not([type])', (s) => s.length), 1);
  assert.deepStrictEqual(requests.filter((u) => !u.startsWith('file:') && !u.startsWith('blob:')), []);
});
