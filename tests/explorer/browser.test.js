'use strict';
// The explorer page in Chromium, against the JSON Lines listing of the same
// generated tree: numbers, search, treemap, keys, CSV, hostile names.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { launch, gridRows, openPage, download } = require('./browser.js');
const { random } = require('./seeded_random.js');

const lister = process.env.TALLYFOLD_LIST;
const shots = process.env.EXPLORER_SHOTS || os.tmpdir();

const stems = ['report', 'Ärger', 'σύνοψη', 'ΣΗΜΕΙΩΣΗ', '日本語', 'Straße', 'data', 'notes 2', '🙂smile', 'x'];
const exts = ['.txt', '.TXT', '.pdf', '.jpg', '.tar.gz', '', '.dat', '.Ödf'];
const hostile = ['<img src=x onerror=alert(1)>', '<!--', '<script>alert(2)<', '&amp; "quoted"'];

function makeTree(root) {
  const rand = random(11);
  const folders = [root];
  for (let f = 0; f < 120; f++) {
    const parent = folders[Math.floor(rand() * folders.length)];
    const name = f % 17 === 5 ? hostile[f % hostile.length] : stems[f % stems.length] + '-' + f;
    const dir = path.join(parent, name);
    fs.mkdirSync(dir);
    folders.push(dir);
  }
  let k = 0;
  for (const dir of folders) {
    const n = Math.floor(rand() * 30);
    for (let i = 0; i < n; i++, k++) {
      const name = k % 41 === 3 ? hostile[k % hostile.length] + i
        : stems[Math.floor(rand() * stems.length)] + i + exts[Math.floor(rand() * exts.length)];
      const file = path.join(dir, name);
      fs.writeFileSync(file, '');
      fs.truncateSync(file, Math.floor(rand() ** 3 * 5e6));
      const t = 1e9 + Math.floor(rand() * 7.5e8);
      fs.utimesSync(file, t, t);
    }
  }
}

const counted = (n, word) => n.toLocaleString('en-US') + ' ' + word + (n === 1 ? '' : 's');

function readJsonl(file) {
  return fs.readFileSync(file, 'utf8').trim().split('\n').map((l) => JSON.parse(l));
}

const { matches } = require('./reference_match.js');

function parseCsv(text) {
  const rows = [];
  let row = [];
  let field = '';
  let quoted = false;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') field += text[++i];
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') {
      row.push(field);
      field = '';
    } else if (c === '\r' && text[i + 1] === '\n') {
      row.push(field);
      rows.push(row);
      row = [];
      field = '';
      i++;
    } else field += c;
  }
  return rows;
}

// Runs one search, as Enter in the search box does, and waits for its count.
async function search(page, query, filter = 0) {
  await page.evaluate((q, k) => {
    delete document.body.dataset.searchMs;
    document.getElementById('search-kind').value = String(k);
    document.getElementById('search').value = q;
    document.getElementById('search-form').requestSubmit();
  }, query, filter);
  await page.waitForFunction(() => /^[\d,]+ results?$/.test(document.getElementById('search-count').textContent) &&
    document.body.dataset.searchMs !== undefined, { timeout: 10000 });
}

let work;
let browser;
let close;
let page;
let records;
const alerts = [];
const requests = [];

test.before(async () => {
  assert.ok(lister, 'TALLYFOLD_LIST names the tallyfold-list to test');
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'tf-explorer-'));
  const root = path.join(work, 'tree');
  fs.mkdirSync(root);
  makeTree(root);
  execFileSync(lister, [root, '--format', 'jsonl', '--output', path.join(work, 'tree.jsonl')]);
  execFileSync(lister, [root, '--format', 'explorer', '--output', path.join(work, 'tree.html')]);
  records = readJsonl(path.join(work, 'tree.jsonl'));
  ({ browser, close } = await launch());
  page = await browser.newPage();
  await openPage(page, path.join(work, 'tree.html'), { alerts, requests, downloads: work });
});

test.after(async () => {
  if (close) await close();
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

test('every folder shows the sizes and counts of the JSON Lines listing', async () => {
  const folders = records.filter((r) => r.kind === 'folder');
  const files = records.filter((r) => r.kind !== 'folder');
  const root = folders[folders.length - 1];
  const summary = await page.$eval('#summary', (e) => e.textContent);
  assert.ok(summary.includes(' ' + counted(folders.length - 1, 'folder') + ', ' + counted(files.length, 'file') + ', ' +
    counted(root.subtree_bytes, 'byte')), summary);
  for (const f of folders) {
    const below = files.filter((r) => r.path.startsWith(f.path + '/')).length;
    const subfolders = folders.filter((r) => r.path.startsWith(f.path + '/')).length;
    await page.evaluate((p) => {
      location.hash = '#' + encodeURIComponent(p);
    }, f.path);
    const label = await page.waitForFunction((name) => {
      const row = document.querySelector('[role=treeitem][aria-selected=true]');
      return row && row.getAttribute('aria-label').startsWith(name + ',') && row.getAttribute('aria-label');
    }, { timeout: 5000 }, f === root ? f.path : f.name);
    assert.strictEqual(await label.jsonValue(), (f === root ? f.path : f.name) + ', ' + counted(f.subtree_bytes, 'byte') +
      ', ' + counted(below, 'file') + ', ' + counted(subfolders, 'folder'));
  }
});

test('search results equal an independent search of the listing', async () => {
  const cases = [['*.txt', 0], ['ä', 0], ['σ', 1], ['Σ*', 0], ['日本', 0], ['report?.pdf', 1], ['*-1?', 2],
    ['straSSe', 0], ['<img', 0], ['*.tar.gz', 1], ['zzz-none', 0]];
  for (const [query, filter] of cases) {
    await search(page, query, filter);
    const expected = records.filter((r) => (filter === 0 || (filter === 1) === (r.kind !== 'folder')) &&
      matches(query, r.name) && r.path !== records[records.length - 1].path);
    const text = await page.$eval('#search-count', (e) => e.textContent);
    assert.strictEqual(text, expected.length.toLocaleString('en-US') + (expected.length === 1 ? ' result' : ' results'),
      'count for ' + query);
    const rows = await gridRows(page, 'results');
    const got = rows.map(([name, folder]) => folder + '/' + name).sort();
    const want = expected.map((r) => r.path).sort();
    assert.deepStrictEqual(got, want, 'results for ' + query);
  }
  await page.$eval('#search', (e) => {
    e.value = '';
    e.dispatchEvent(new Event('input'));
  });
});

test('treemap rectangles are in proportion to their bytes and fill their box', async () => {
  const root = records[records.length - 1];
  await page.evaluate((p) => {
    location.hash = '#' + encodeURIComponent(p);
  }, root.path);
  await page.click('#tab-map');
  const { box, rects } = await page.evaluate(() => {
    const host = document.getElementById('treemap').getBoundingClientRect();
    return {
      box: { x: host.x, y: host.y, w: host.width, h: host.height },
      rects: [...document.querySelectorAll('#treemap .tm')].map((d) => {
        const r = d.getBoundingClientRect();
        return { x: r.x, y: r.y, w: r.width, h: r.height, bytes: Number(d.dataset.bytes) };
      }),
    };
  });
  assert.ok(rects.length > 3);
  const total = rects.reduce((a, r) => a + r.bytes, 0);
  assert.strictEqual(total, root.subtree_bytes, 'the map shows every byte of the folder');
  let area = 0;
  for (const r of rects) {
    area += r.w * r.h;
    // Layout keeps 1/64 of a pixel.
    assert.ok(Math.abs(r.w * r.h - (r.bytes / total) * box.w * box.h) <= (r.w + r.h) / 32 + 0.01, 'area');
    assert.ok(r.x >= box.x - 0.5 && r.y >= box.y - 0.5 && r.x + r.w <= box.x + box.w + 0.5 &&
      r.y + r.h <= box.y + box.h + 0.5, 'inside the box');
  }
  assert.ok(Math.abs(area - box.w * box.h) < 0.001 * box.w * box.h, 'fills the box');
  await page.screenshot({ path: path.join(shots, 'explorer-treemap.png') });
  // In and back out.
  const before = await page.evaluate(() => decodeURIComponent(location.hash));
  await page.click('#treemap .tm[role=button]');
  assert.notStrictEqual(await page.evaluate(() => decodeURIComponent(location.hash)), before);
  await page.click('#map-up');
  assert.strictEqual(await page.evaluate(() => decodeURIComponent(location.hash)), before);
  await page.click('#tab-files');
});

test('the tree is worked with the keys of a tree control', async () => {
  const folders = records.filter((r) => r.kind === 'folder');
  const root = folders[folders.length - 1];
  const children = folders.filter((r) => r.path.slice(0, r.path.lastIndexOf('/')) === root.path)
    .sort((a, b) => b.subtree_bytes - a.subtree_bytes);
  await page.focus('#tree');
  const state = () => page.evaluate(() => {
    const tree = document.getElementById('tree');
    const active = document.getElementById(tree.getAttribute('aria-activedescendant'));
    return { hash: decodeURIComponent(location.hash.slice(1)), level: active.getAttribute('aria-level'),
      expanded: active.getAttribute('aria-expanded'), rows: tree.querySelectorAll('[role=treeitem]:not([hidden])').length };
  });
  await page.keyboard.press('Home');
  assert.strictEqual((await state()).hash, root.path);
  await page.keyboard.press('ArrowLeft');
  assert.deepStrictEqual([(await state()).expanded, (await state()).rows], ['false', 1]);
  await page.keyboard.press('ArrowRight');
  assert.strictEqual((await state()).expanded, 'true');
  await page.keyboard.press('ArrowDown');
  let s = await state();
  assert.deepStrictEqual([s.hash, s.level], [children[0].path, '2']);
  const withKids = folders.some((r) => r.path.startsWith(children[0].path + '/'));
  await page.keyboard.press('ArrowRight');
  s = await state();
  if (withKids) {
    assert.strictEqual(s.expanded, 'true');
    await page.keyboard.press('ArrowRight');
    assert.strictEqual((await state()).level, '3');
    await page.keyboard.press('ArrowLeft');
    assert.strictEqual((await state()).hash, children[0].path);
    await page.keyboard.press('ArrowLeft');
    assert.strictEqual((await state()).expanded, 'false');
  }
  await page.keyboard.press('ArrowLeft');
  assert.strictEqual((await state()).hash, root.path);
  await page.keyboard.press('End');
  s = await state();
  const smallest = children[children.length - 1].subtree_bytes;
  assert.ok(children.some((c) => c.path === s.hash && c.subtree_bytes === smallest), 'End: ' + s.hash);
});

test('the Types view of the root counts the files of each extension', async () => {
  const root = records[records.length - 1];
  await page.evaluate((p) => {
    location.hash = '#' + encodeURIComponent(p);
  }, root.path);
  await page.click('#tab-types');
  await page.waitForSelector('#panel-types table');
  const shown = await page.$$eval('#panel-types tbody tr', (rows) => rows.map((r) => [...r.children].slice(0, 3)
    .map((c) => c.textContent)));
  const expected = new Map();
  for (const r of records) {
    if (r.kind === 'folder') continue;
    const dot = r.name.lastIndexOf('.');
    const ext = dot > 0 ? '.' + r.name.slice(dot + 1).toLowerCase() : '(none)';
    const e = expected.get(ext) || { count: 0, bytes: 0 };
    e.count++;
    e.bytes += r.size;
    expected.set(ext, e);
  }
  const want = [...expected].map(([ext, e]) => [ext, e.count.toLocaleString('en-US'), e.bytes.toLocaleString('en-US')]);
  const byExt = (a, b) => (a[0] < b[0] ? -1 : 1);
  assert.deepStrictEqual(shown.slice().sort(byExt), want.sort(byExt));
  // Its CSV: every extension's numbers, as the view counts them.
  await download(page, () => page.click('#export'));
  const saved = () => fs.readdirSync(work).find((n) => n.endsWith(' types.csv'));
  const rows = parseCsv(fs.readFileSync(path.join(work, saved()), 'utf8'));
  assert.deepStrictEqual(rows[0], ['extension', 'files', 'bytes']);
  assert.deepStrictEqual(rows.slice(1).map((r) => [r[0] ? '.' + r[0] : '(none)', Number(r[1]).toLocaleString('en-US'),
    Number(r[2]).toLocaleString('en-US')]).sort(byExt), want.sort(byExt));
  await page.click('#tab-files');
});

test('the CSV export of a folder holds its files as the listing has them', async () => {
  const folders = records.filter((r) => r.kind === 'folder');
  const busiest = folders.map((f) => ({ f, n: records.filter((r) => r.kind !== 'folder' &&
    r.path.slice(0, r.path.lastIndexOf('/')) === f.path).length })).sort((a, b) => b.n - a.n)[0].f;
  await page.evaluate((p) => {
    location.hash = '#' + encodeURIComponent(p);
  }, busiest.path);
  await page.click('#tab-files');
  const file = await download(page, () => page.click('#export'));
  assert.strictEqual(path.basename(file), busiest.name + '.csv');
  const rows = parseCsv(fs.readFileSync(file, 'utf8'));
  assert.deepStrictEqual(rows[0], ['path', 'name', 'kind', 'type', 'size', 'created', 'modified']);
  const want = records.filter((r) => r.kind !== 'folder' && r.path.slice(0, r.path.lastIndexOf('/')) === busiest.path)
    .map((r) => [r.path, r.name, r.kind, r.type, String(r.size), r.created, r.modified]);
  assert.deepStrictEqual(rows.slice(1), want);
});

test('several saved listings make a catalogue, hostile names in them included', async () => {
  // A name no file system allows, from a saved listing.
  const other = path.join(work, 'other');
  fs.mkdirSync(path.join(other, 'inner'), { recursive: true });
  fs.writeFileSync(path.join(other, 'inner', 'placeholder'), 'x'.repeat(1234));
  fs.writeFileSync(path.join(other, 'inner', '<!--'), 'y');
  execFileSync(lister, [other, '--format', 'jsonl', '--output', path.join(work, 'other.jsonl')]);
  const evil = '</script><img src=x onerror=alert(1)>';
  // Saved as older versions did: without the time it was listed.
  const saved = fs.readFileSync(path.join(work, 'other.jsonl'), 'utf8')
    .replaceAll('placeholder', JSON.stringify(evil).slice(1, -1)).replace(/,"listed_at":"[^"]*"/, '');
  fs.writeFileSync(path.join(work, 'other.jsonl'), saved);
  const fileTime = new Date('2021-03-04T05:06:07Z');
  fs.utimesSync(path.join(work, 'other.jsonl'), fileTime, fileTime);
  fs.utimesSync(path.join(work, 'tree.jsonl'), fileTime, fileTime);
  const catalogue = path.join(work, 'catalogue.html');
  execFileSync(lister, ['--from', path.join(work, 'tree.jsonl'), '--from', path.join(work, 'other.jsonl'),
    '--format', 'explorer', '--output', catalogue]);
  const tab = await browser.newPage();
  tab.on('dialog', async (d) => {
    alerts.push(d.message());
    await d.dismiss();
  });
  tab.on('request', (r) => requests.push(r.url()));
  await openPage(tab, catalogue);
  const roots = await tab.$$eval('[role=treeitem][aria-level="1"]', (rows) => rows.map((r) => r.getAttribute('aria-label')));
  const otherRecords = readJsonl(path.join(work, 'other.jsonl'));
  const label = (r, files, folders) => r.path + ', ' + counted(r.subtree_bytes, 'byte') + ', ' + counted(files, 'file') +
    ', ' + counted(folders, 'folder');
  const count = (rs, kind) => rs.filter((r) => (kind === 'folder') === (r.kind === 'folder')).length;
  assert.deepStrictEqual(roots, [
    label(records[records.length - 1], count(records, 'file'), count(records, 'folder') - 1),
    label(otherRecords[otherRecords.length - 1], 2, 1),
  ]);
  // Each listing with when it was listed: the time it carries, else its file's.
  const heads = (await tab.$eval('#summary', (e) => e.textContent)).split('\n');
  const listedAt = records[records.length - 1].listed_at;
  assert.match(listedAt, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$/);
  assert.strictEqual(heads.length, 2);
  assert.ok(heads[0].includes(' listed ' + listedAt.replace('T', ' ').slice(0, -1) + ' UTC'), heads[0]);
  assert.ok(heads[1].includes(' listed 2021-03-04 05:06:07 UTC'), heads[1]);
  await tab.evaluate((p) => {
    location.hash = '#' + encodeURIComponent('2|' + p);
  }, path.join(other, 'inner'));
  await tab.waitForFunction(() => document.querySelectorAll('#files [role=gridcell]').length >= 10);
  const names = await tab.$$eval('#files [role=row][aria-rowindex]', (rows) => rows
    .filter((r) => !r.hidden && r.getAttribute('aria-rowindex') !== '1')
    .map((r) => r.firstChild.textContent).sort());
  assert.deepStrictEqual(names, [evil, '<!--'].sort());
  assert.strictEqual(await tab.$$eval('img, iframe, object, embed', (e) => e.length), 0);
  assert.deepStrictEqual(alerts, []);
  await tab.screenshot({ path: path.join(shots, 'explorer-catalogue.png') });
  await tab.close();
});

test('hostile names are shown as text and run nothing', async () => {
  await search(page, '<img');
  const shown = await page.evaluate(() => document.body.innerText);
  assert.ok(shown.includes('<img src=x onerror=alert(1)>'));
  assert.strictEqual(await page.$$eval('img, iframe, object, embed', (e) => e.length), 0);
  assert.deepStrictEqual(alerts, []);
  assert.deepStrictEqual(requests.filter((u) => !u.startsWith('file:') && !u.startsWith('blob:')), []);
  await page.screenshot({ path: path.join(shots, 'explorer.png') });
});

test('a page cut short says so on its first screen', async () => {
  const whole = fs.readFileSync(path.join(work, 'tree.html'));
  const tab = await browser.newPage();
  // Cut in the listing data, and inside the page's own script at its end.
  for (const keep of [Math.floor(whole.length / 2), whole.length - 40]) {
    const cut = path.join(work, 'cut-' + keep + '.html');
    fs.writeFileSync(cut, whole.subarray(0, keep));
    await tab.goto('file://' + cut);
    await tab.waitForSelector('body[data-incomplete]', { timeout: 10000 });
    const shown = await tab.evaluate(() => document.body.innerText);
    assert.match(shown, /This page is incomplete/);
    assert.doesNotMatch(shown, /Reading the listing/);
  }
  await tab.screenshot({ path: path.join(shots, 'explorer-cut.png') });
  await tab.close();
});

test('long names and deep folders stay in view, and results sort by folder', async () => {
  const root = path.join(work, 'long');
  const long = 'a-long-name-' + 'x'.repeat(180) + '-its-end.bin';
  const wide = 'a-folder-with-a-long-name-' + 'y'.repeat(150);
  fs.mkdirSync(path.join(root, wide), { recursive: true });
  for (let i = 1; i <= 5; i++) fs.writeFileSync(path.join(root, wide, i + long), 'z'.repeat(i * 1000));
  let deep = root;
  for (let d = 1; d <= 300; d++) {
    deep = path.join(deep, 'level-' + d);
    fs.mkdirSync(deep);
    if (d % 60 === 0) fs.writeFileSync(path.join(deep, 'at-' + d + '.bin'), 'z'.repeat(d));
  }
  fs.writeFileSync(path.join(deep, 'bottom-' + long), 'z');
  execFileSync(lister, [root, '--format', 'explorer', '--output', path.join(work, 'long.html')]);
  const tab = await browser.newPage();
  await openPage(tab, path.join(work, 'long.html'), { downloads: work });

  for (const t of ['types', 'years', 'largest']) {
    await tab.click('#tab-' + t);
    await tab.waitForSelector('#panel-' + t + ' table');
    const [inner, outer] = await tab.$eval('#panel-' + t, (p) => [p.scrollWidth, p.clientWidth]);
    assert.ok(inner <= outer, t + ' fits: ' + inner + ' > ' + outer);
  }
  await tab.screenshot({ path: path.join(shots, 'explorer-largest.png') });
  const largest = await tab.$$eval('#panel-largest tbody tr', (rows) => rows.map((r) => {
    const [name, folder, size] = r.children;
    const end = folder.firstChild.getBoundingClientRect();
    const box = folder.getBoundingClientRect();
    return { name: name.title, cut: name.scrollWidth > name.clientWidth, folder: folder.title,
      folderEndShown: end.right <= box.right + 1 && end.left < box.left, sizeShown: size.getBoundingClientRect().right <= 1280 };
  }));
  assert.deepStrictEqual(largest.slice(0, 5).map((r) => [r.name, r.cut, r.folderEndShown, r.sizeShown]),
    [5, 4, 3, 2, 1].map((i) => [i + long, true, true, true]));
  await download(tab, () => tab.click('#export'));
  // Named after the root, whose slashes the browser turns into something else.
  const saved = () => fs.readdirSync(work).find((n) => n.endsWith('long largest.csv'));
  const exported = parseCsv(fs.readFileSync(path.join(work, saved()), 'utf8'));
  assert.deepStrictEqual(exported.slice(1, 6).map((r) => r[0]), [5, 4, 3, 2, 1].map((i) => path.join(root, wide, i + long)));

  // The deepest folder: its row's name, bar and size inside the pane; the path bar fits.
  await tab.evaluate((p) => {
    location.hash = '#' + encodeURIComponent(p);
  }, deep);
  await tab.waitForFunction(() => {
    const row = document.querySelector('[role=treeitem][aria-selected=true]');
    return row && row.getAttribute('aria-level') === '301';
  }, { timeout: 5000 });
  const seen = await tab.evaluate(() => {
    const pane = document.getElementById('tree').getBoundingClientRect();
    const row = document.querySelector('[role=treeitem][aria-selected=true]');
    const inside = (e) => {
      const r = e.getBoundingClientRect();
      return r.left >= pane.left && r.right <= pane.right && r.width > 0;
    };
    const crumbs = document.getElementById('crumbs');
    const buttons = [...crumbs.querySelectorAll('button')];
    return { name: inside(row.querySelector('.tname')) && row.querySelector('.tname').getBoundingClientRect().width,
      bar: inside(row.querySelector('.tbar')), size: inside(row.querySelector('.tsize')),
      crumbsFit: crumbs.scrollWidth <= crumbs.clientWidth, first: buttons[0].textContent,
      last: buttons[buttons.length - 1].textContent, gap: crumbs.textContent.includes('…') };
  });
  assert.ok(seen.name >= 60, 'name shown: ' + seen.name);
  assert.deepStrictEqual([seen.bar, seen.size, seen.crumbsFit, seen.first, seen.last, seen.gap],
    [true, true, true, root, 'level-300', true]);
  await tab.screenshot({ path: path.join(shots, 'explorer-deep.png') });

  // Results by folder, both ways: the whole folder path decides.
  await search(tab, '*.bin', 1);
  const byFolder = (a, b) => (a.toLowerCase() < b.toLowerCase() ? -1 : a.toLowerCase() > b.toLowerCase() ? 1 : 0);
  for (const up of [true, false]) {
    await tab.evaluate(() => [...document.querySelectorAll('#results [role=columnheader]')]
      .find((b) => b.textContent === 'Folder').click());
    const folders = (await gridRows(tab, 'results')).map((r) => r[1]);
    assert.strictEqual(folders.length, 11);
    const sorted = folders.slice().sort(byFolder);
    assert.deepStrictEqual(folders, up ? sorted : sorted.reverse());
  }
  await tab.screenshot({ path: path.join(shots, 'explorer-results.png') });
  await tab.close();
});
