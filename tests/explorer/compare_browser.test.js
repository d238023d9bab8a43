'use strict';
// The compare page in Chromium: a page made by tallyfold-diff from two
// listings of a generated tree and its changed copy elsewhere, against
// tallyfold-diff's own JSON Lines comparison of the same listings.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync, spawnSync } = require('node:child_process');
const { launch, gridRows, openPage, download } = require('./browser.js');
const { random } = require('./seeded_random.js');

const lister = process.env.TALLYFOLD_LIST;
const differ = process.env.TALLYFOLD_DIFF || (lister && path.join(path.dirname(lister), 'tallyfold-diff'));
const shots = process.env.EXPLORER_SHOTS || os.tmpdir();
const hostile = ['<img src=x onerror=alert(1)>', '<script>alert(2)<', '&amp; "quoted" \'x\'', 'long-' + 'n'.repeat(200)];
const T = 1600000000;

function write(file, bytes, mtime) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, Buffer.alloc(bytes, 120));
  if (mtime) fs.utimesSync(file, mtime, mtime);
}

// The kinds of change tallyfold-diff's own check makes: a renamed folder,
// a moved file, new and gone folders, a file turned into a folder, files
// grown, removed, added and touched; and hostile names.
function makeOriginal(root, rand) {
  for (let d = 0; d < 6; d++) {
    for (let f = 3 + Math.floor(rand() * 7); f > 0; f--) write(path.join(root, 'd' + d, 'f' + f + '.dat'), Math.floor(rand() * 900), T + Math.floor(rand() * 1e6));
    write(path.join(root, 'd' + d, 'deep', 'inner.txt'), d + 1, T + d);
  }
  for (const d of ['album', 'keep']) for (let f = 0; f < 4; f++) write(path.join(root, d, 'p' + f + '.jpg'), 100 + f, T + f);
  write(path.join(root, 'turns-into-folder'), 4, T);
  write(path.join(root, 'gone', 'a', 'b.txt'), 2, T);
  write(path.join(root, 'move-me.bin'), 321, T + 5);
  write(path.join(root, 'still', 'same.txt'), 12, T);
  hostile.forEach((name, k) => write(path.join(root, hostile[0], name + '.txt'), 10 + k, T + k));
}

function changeCopy(root, rand) {
  fs.renameSync(path.join(root, 'album'), path.join(root, 'album-2020'));
  fs.renameSync(path.join(root, 'move-me.bin'), path.join(root, 'd1', 'move-me.bin'));
  fs.rmSync(path.join(root, 'gone'), { recursive: true });
  write(path.join(root, 'brand-new', 'x', 'y.txt'), 40, T);
  fs.rmSync(path.join(root, 'turns-into-folder'));
  write(path.join(root, 'turns-into-folder', 'now.txt'), 1, T);
  for (let d = 0; d < 6; d++) {
    const folder = path.join(root, 'd' + d);
    const names = fs.readdirSync(folder).filter((n) => n.startsWith('f')).sort();
    const victim = names[Math.floor(rand() * names.length)];
    fs.rmSync(path.join(folder, victim));
    const rest = names.filter((n) => n !== victim);
    fs.appendFileSync(path.join(folder, rest[Math.floor(rand() * rest.length)]), 'more');
    write(path.join(folder, 'added-' + d + '.dat'), d, T);
  }
  fs.utimesSync(path.join(root, 'keep', 'p0.jpg'), T + 99, T + 99);
  // Rewritten with the same size and time: only the hashes tell.
  fs.writeFileSync(path.join(root, 'keep', 'p1.jpg'), Buffer.alloc(101, 121));
  fs.utimesSync(path.join(root, 'keep', 'p1.jpg'), T + 1, T + 1);
  write(path.join(root, hostile[0], hostile[1] + 'new'), 7, T);
  write(path.join(root, hostile[2], 'inside.txt'), 9, T);
}

const counted = (n, word) => n.toLocaleString('en-US') + ' ' + word + (n === 1 ? '' : 's');

// The tree's rows as shown: name (without its badge), status, change in bytes.
async function treeRows(page) {
  return page.$$eval('#tree [role=treeitem]:not([hidden])', (rows) => rows.map((r) => ({
    name: r.querySelector('.tname').firstChild.textContent, status: r.dataset.status, change: Number(r.dataset.change),
    expandable: r.hasAttribute('aria-expanded'), label: r.getAttribute('aria-label'), level: Number(r.getAttribute('aria-level')),
  })));
}

async function openFolder(page, rel) {
  await page.evaluate((p) => {
    location.hash = '#' + encodeURIComponent(p);
  }, '2|' + newSource + (rel ? '/' + rel : ''));
  await page.waitForFunction((name) => {
    const row = document.querySelector('[role=treeitem][aria-selected=true]');
    return row && row.querySelector('.tname').firstChild.textContent === name;
  }, { timeout: 5000 }, rel ? rel.split('/').pop() : newSource);
}

async function search(page, query) {
  await page.evaluate((q) => {
    delete document.body.dataset.searchMs;
    document.getElementById('search').value = q;
    document.getElementById('search-form').requestSubmit();
  }, query);
  await page.waitForFunction(() => /^[\d,]+ results?$/.test(document.getElementById('search-count').textContent) &&
    document.body.dataset.searchMs !== undefined, { timeout: 10000 });
  return gridRows(page, 'results');
}

let work;
let oldSource;
let newSource;
let browser;
let close;
let page;
let items;
let summary;
const alerts = [];
const requests = [];

test.before(async () => {
  assert.ok(lister, 'TALLYFOLD_LIST names the tallyfold-list to test');
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'tf-compare-'));
  oldSource = path.join(work, 'data', 'Photos');
  newSource = path.join(work, 'backup', 'Photos');
  const rand = random(1729);
  makeOriginal(oldSource, rand);
  fs.cpSync(oldSource, newSource, { recursive: true, preserveTimestamps: true });
  changeCopy(newSource, rand);
  const [oldList, newList] = [path.join(work, 'old.jsonl'), path.join(work, 'new.jsonl')];
  execFileSync(lister, ['--format', 'jsonl', '--hash', '--output', oldList, oldSource]);
  execFileSync(lister, ['--format', 'jsonl', '--hash', '--output', newList, newSource]);
  const html = path.join(work, 'changes.html');
  const made = spawnSync(differ, ['--format', 'explorer', '--output', html, oldList, newList]);
  assert.strictEqual(made.status, 1, String(made.stderr));
  const diff = spawnSync(differ, ['--format', 'jsonl', oldList, newList], { encoding: 'utf8' });
  assert.strictEqual(diff.status, 1, diff.stderr);
  const lines = diff.stdout.trim().split('\n').map((l) => JSON.parse(l));
  items = lines.filter((l) => l.change !== 'summary' && l.change !== 'total');
  summary = Object.assign({}, ...lines.filter((l) => l.change === 'summary' || l.change === 'total'));
  ({ browser, close } = await launch());
  page = await browser.newPage();
  await openPage(page, html, { alerts, requests, downloads: work });
});

test.after(async () => {
  if (close) await close();
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

const signed = (n) => (n > 0 ? '+' : n < 0 ? '\u2212' : '\u00b1') + Math.abs(n).toLocaleString('en-US');

test('the header gives the numbers of tallyfold-diff\'s summary', async () => {
  const [before, after, changes] = (await page.$eval('#summary', (e) => e.textContent)).split('\n');
  assert.ok(before.includes(summary.old_source) && before.includes(counted(summary.old_files, 'file')) &&
    before.includes(counted(summary.old_bytes, 'byte')), before);
  assert.ok(after.includes(summary.new_source) && after.includes(counted(summary.new_files, 'file')) &&
    after.includes(counted(summary.new_bytes, 'byte')), after);
  assert.strictEqual(changes, 'Added ' + counted(summary.added_files, 'file') + ' (' + counted(summary.added_bytes, 'byte') +
    '), removed ' + counted(summary.removed_files, 'file') + ' (' + counted(summary.removed_bytes, 'byte') + '), changed ' +
    counted(summary.changed_files, 'file') + ' (' + signed(summary.changed_growth) + ' bytes), moved ' + counted(summary.moved_files, 'file') + ' (' +
    counted(summary.moved_bytes, 'byte') + ') and ' + counted(summary.folders_moved, 'folder') + '; folders new ' +
    summary.folders_added + ', gone ' + summary.folders_removed + '; content changed ' +
    counted(summary.content_changed_files, 'file') + ' (' + counted(summary.content_changed_bytes, 'byte') + ')');
  await page.screenshot({ path: path.join(shots, 'explorer-compare-tree.png') });
});

const parentOf = (p) => (p.includes('/') ? p.slice(0, p.lastIndexOf('/')) : '');
const nameOf = (p) => p.slice(p.lastIndexOf('/') + 1);
const STATUS = { added: 'added', removed: 'removed', changed: 'changed', content: 'content changed' };

test('tree and entries show each change of tallyfold-diff once, and nothing else', async () => {
  // Folders: one item each, new, gone or moved, or a kept folder whose size changed.
  await openFolder(page, '');
  const top = (await treeRows(page)).filter((r) => r.level === 2);
  for (const item of items.filter((i) => i.kind === 'folder')) {
    if (item.change === 'folder') {
      if (item.path === '' || item.path.includes('/')) continue;
      const row = top.find((r) => r.name === item.path);
      assert.strictEqual(row.change, item.new_subtree_bytes - item.old_subtree_bytes, item.path);
      continue;
    }
    assert.ok(!item.path.includes('/'), 'the generated tree moves, adds and removes folders at its top');
    const row = top.filter((r) => r.name === item.path && r.status !== 'kept');
    assert.strictEqual(row.length, 1, item.path);
    assert.strictEqual(row[0].status, { added: 'new', removed: 'gone', moved: 'moved' }[item.change], item.path);
    // It opens like any folder: an expander when it holds folders.
    const dir = path.join(item.change === 'removed' ? oldSource : newSource, item.path);
    assert.strictEqual(row[0].expandable, fs.readdirSync(dir, { withFileTypes: true }).some((d) => d.isDirectory()), item.path);
    if (item.change === 'moved') {
      assert.ok(row[0].label.includes('moved from ' + item.from), row[0].label);
      assert.ok(!top.some((r) => r.name === item.from), item.from + ' shown once');
    }
  }
  // Sorted by the size of the change; only what changed: the folders with a change below them.
  const sizes = top.map((r) => Math.abs(r.change));
  assert.deepStrictEqual(sizes, sizes.slice().sort((x, y) => y - x));
  await page.click('#only-changed');
  const changed = (await treeRows(page)).filter((r) => r.level === 2).map((r) => r.name).sort();
  const below = new Set(items.filter((i) => i.path !== '').map((i) => i.path.split('/')[0]));
  assert.deepStrictEqual(changed, [...below].sort());
  assert.ok(changed.length < top.length, 'some folders did not change');
  await page.click('#only-changed');
  // Files: in each kept folder, every entry's status as tallyfold-diff says, others unchanged.
  const fileItems = items.filter((i) => i.kind !== 'folder');
  const topFolders = new Set(items.filter((i) => i.kind === 'folder' && i.change !== 'folder').map((i) => i.path));
  const folders = new Set(fileItems.map((i) => parentOf(i.path)).filter((p) => !topFolders.has(p.split('/')[0])));
  let checked = 0;
  for (const folder of folders) {
    await openFolder(page, folder);
    const rows = await gridRows(page, 'files');
    const want = new Map(fileItems.filter((i) => parentOf(i.path) === folder)
      .map((i) => [nameOf(i.path), i.change === 'moved' ? 'moved from ' + i.from : STATUS[i.change]]));
    for (const [name, status] of rows) {
      assert.strictEqual(status, want.get(name) || 'unchanged', folder + '/' + name);
      if (want.has(name)) checked++;
      want.delete(name);
    }
    assert.deepStrictEqual([...want.keys()], [], 'entries of ' + folder);
  }
  assert.ok(checked >= 15, 'the tree has changes of every kind: ' + checked);
  await openFolder(page, 'd1');
  await page.screenshot({ path: path.join(shots, 'explorer-compare-entries.png') });
});

test('search finds both listings and gives each hit\'s status, a changed or moved file once', async () => {
  const moved = items.find((i) => i.change === 'moved' && i.kind !== 'folder');
  const cases = [[nameOf(moved.path), ['moved from ' + moved.from]], ['b.txt', ['removed']], ['p0.jpg', ['changed', 'moved from album/p0.jpg']],
    ['now.txt', ['added']]];
  for (const [query, statuses] of cases) {
    const rows = await search(page, query);
    assert.deepStrictEqual(rows.map((r) => r[3]).sort(), statuses.sort(), query);
  }
  await page.$eval('#search', (e) => {
    e.value = '';
    e.dispatchEvent(new Event('input'));
  });
});

test('keys work the tree and the entries as on the plain page', async () => {
  await openFolder(page, '');
  await page.focus('#tree');
  await page.keyboard.press('Home');
  await page.keyboard.press('ArrowDown');
  const chosen = await page.$eval('#tree [aria-selected=true] .tname', (e) => e.textContent);
  const second = (await treeRows(page))[1].name;
  assert.strictEqual(chosen, second);
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  const level = await page.$eval('#tree [aria-selected=true]', (e) => e.getAttribute('aria-level'));
  assert.strictEqual(level, '3', 'into the first subfolder');
  await page.keyboard.press('ArrowLeft');
  assert.strictEqual(await page.$eval('#tree [aria-selected=true] .tname', (e) => e.textContent), second);
  await page.focus('#files [role=rowgroup]');
  await page.keyboard.press('End');
  const active = await page.$eval('#files .row.active', (e) => e.getAttribute('aria-rowindex'));
  const count = await page.$eval('#files', (e) => e.getAttribute('aria-rowcount'));
  assert.strictEqual(active, count);
});

test('treemap colours, largest changes and CSV follow the comparison', async () => {
  await openFolder(page, '');
  await page.click('#tab-map');
  await page.waitForSelector('#treemap .tm');
  const cells = await page.$$eval('#treemap .tm', (ds) => ds.map((d) => [d.title.slice(0, d.title.lastIndexOf(', ')), d.dataset.change]));
  const kindOf = new Map(cells);
  // A file turned into a folder is two items of one name.
  for (const item of items.filter((i) => !i.path.includes('/') && items.filter((j) => j.path === i.path).length === 1)) {
    const want = item.change === 'added' ? 'new' : item.change === 'moved' ? 'moved' : item.change === 'removed' ? 'gone'
      : (item.new_subtree_bytes ?? item.new_size) > (item.old_subtree_bytes ?? item.old_size) ? 'grown' : 'shrunk';
    if (kindOf.has(item.path)) assert.strictEqual(kindOf.get(item.path), want, item.path);
  }
  assert.ok(cells.some((c) => c[1] === 'gone') && cells.some((c) => c[1] === 'new') && cells.some((c) => c[1] === 'shrunk'));
  await page.screenshot({ path: path.join(shots, 'explorer-compare-treemap.png') });

  await page.click('#tab-largest');
  const tables = await page.$$eval('#panel-largest table', (ts) => ts.map((t) => [...t.tBodies[0].rows].map((r) => r.cells[0].textContent)));
  const top = (change) => items.filter((i) => i.change === change && (!i.path.includes('/') || !items.some((j) => j.kind === 'folder' &&
    j.change === change && i.path.startsWith(j.path + '/')))).map((i) => i.path).sort();
  assert.deepStrictEqual(tables[0].slice().sort(), top('added'));
  assert.deepStrictEqual(tables[1].slice().sort(), top('removed'));
  await page.screenshot({ path: path.join(shots, 'explorer-compare-largest.png') });

  await openFolder(page, 'd1');
  await page.click('#tab-files');
  for (const f of fs.readdirSync(work)) if (f.endsWith('.csv')) fs.rmSync(path.join(work, f));
  const file = await download(page, () => page.click('#export'));
  assert.strictEqual(path.basename(file), 'd1.csv');
  const lines = fs.readFileSync(file, 'utf8').trim().split('\r\n').map((l) => l.split(','));
  assert.deepStrictEqual(lines[0].slice(0, 6), ['path', 'name', 'kind', 'status', 'from', 'old_size']);
  const rows = await gridRows(page, 'files');
  assert.deepStrictEqual(lines.slice(1).map((l) => l[1] + ' ' + l[3] + ' ' + l[7]),
    rows.map((r) => r[0] + ' ' + r[1].replace(/ from .*/, '') + ' ' + r[4].replace('\u2212', '-').replace(/[+±,]/g, '')));
});

test('hostile names stay text, and the page asks for nothing', async () => {
  await openFolder(page, hostile[0]);
  await page.click('#tab-files');
  const rows = await gridRows(page, 'files');
  for (const name of hostile) assert.ok(rows.some((r) => r[0] === name + '.txt'), name + ' in ' + JSON.stringify(rows));
  assert.ok(rows.some((r) => r[0] === hostile[1] + 'new' && r[1] === 'added'));
  const tree = (await treeRows(page)).map((r) => r.name);
  assert.ok(tree.includes(hostile[0]) && tree.includes(hostile[2]), tree.join('|'));
  assert.deepStrictEqual(alerts, []);
  assert.strictEqual(await page.$$eval('img, iframe', (e) => e.length), 0);
  assert.strictEqual(await page.$$eval('script', (s) => s.length), 3, 'the page\'s own scripts only');
  assert.deepStrictEqual(requests.filter((u) => !u.startsWith('file:') && !u.startsWith('blob:')), []);
});

test('new, gone and moved folders open and show their content; a move is no growth; entries by name', async () => {
  const base = path.join(work, 'folders');
  const [before, after] = [path.join(base, 'old', 'Home'), path.join(base, 'new', 'Home')];
  for (const [name, bytes] of [['b.jpg', 10], ['A.jpg', 11], ['c.jpg', 12]]) write(path.join(before, 'Pictures', name), bytes, T);
  write(path.join(before, 'old-stuff', 'y.txt'), 3, T);
  write(path.join(before, 'old-stuff', 'sub', 'x.txt'), 4, T);
  for (const name of ['zeta.txt', 'Alpha.txt', 'mid.txt']) write(path.join(before, 'docs', name), 5, T);
  fs.cpSync(before, after, { recursive: true, preserveTimestamps: true });
  // A folder moved into a new one, a folder gone with a folder in it, a new folder with one.
  fs.mkdirSync(path.join(after, 'Archive'));
  fs.renameSync(path.join(after, 'Pictures'), path.join(after, 'Archive', 'Pictures'));
  fs.rmSync(path.join(after, 'old-stuff'), { recursive: true });
  write(path.join(after, 'fresh', 'inner', 'z.txt'), 6, T);
  fs.rmSync(path.join(after, 'docs', 'mid.txt'));
  write(path.join(after, 'docs', 'beta.txt'), 7, T);
  const lists = ['old', 'new'].map((side) => path.join(base, side + '.jsonl'));
  execFileSync(lister, ['--format', 'jsonl', '--output', lists[0], before]);
  execFileSync(lister, ['--format', 'jsonl', '--output', lists[1], after]);
  const html = path.join(base, 'folders.html');
  spawnSync(differ, ['--format', 'explorer', '--output', html, ...lists]);
  const tab = await browser.newPage();
  await openPage(tab, html);

  // Clicks a folder's expander (which chooses it too) and gives its subfolders' rows.
  const open = async (name) => {
    await tab.evaluate((n) => [...document.querySelectorAll('#tree [role=treeitem]:not([hidden])')]
      .find((r) => r.querySelector('.tname').firstChild.textContent === n).querySelector('.twisty').click(), name);
    const rows = await treeRows(tab);
    const at = rows.findIndex((r) => r.name === name);
    const below = [];
    for (let k = at + 1; k < rows.length && rows[k].level > rows[at].level; k++) below.push(rows[k]);
    return { row: rows[at], below };
  };
  const files = async () => (await gridRows(tab, 'files')).map((r) => r[0] + ': ' + r[1]);

  const archive = await open('Archive');
  assert.deepStrictEqual([archive.row.status, archive.row.expandable], ['new', true]);
  const pictures = archive.below.find((r) => r.name === 'Pictures');
  assert.strictEqual(pictures.status, 'moved');
  assert.ok(pictures.label.startsWith('Pictures (moved from Pictures)'), pictures.label);
  assert.strictEqual(pictures.change, 0, 'a move is neither growth nor loss');
  await open('Pictures');
  assert.deepStrictEqual(await files(), ['A.jpg', 'b.jpg', 'c.jpg'].map((n) => n + ': moved from Pictures/' + n));
  const look = await tab.evaluate(() => {
    const row = document.querySelector('#tree [role=treeitem][data-status=moved]');
    const from = row.querySelector('.tfrom').getBoundingClientRect();
    const colour = (s) => getComputedStyle(document.querySelector('#tree [data-status=' + s + '] .badge')).backgroundColor;
    return { from: row.querySelector('.tfrom').textContent, shown: from.width > 20, moved: colour('moved'), added: colour('new'),
      delta: row.querySelector('.tdelta').className };
  });
  assert.deepStrictEqual([look.from, look.shown, look.delta.trim()], ['from Pictures', true, 'tdelta']);
  assert.notStrictEqual(look.moved, look.added, 'a move is not coloured as something new');
  await tab.screenshot({ path: path.join(shots, 'explorer-compare-folders.png') });

  const gone = await open('old-stuff');
  assert.deepStrictEqual([gone.row.status, gone.below.map((r) => [r.name, r.status])], ['gone', [['sub', 'gone']]]);
  assert.deepStrictEqual(await files(), ['y.txt: removed']);
  const fresh = await open('fresh');
  assert.deepStrictEqual([fresh.row.status, fresh.below.map((r) => [r.name, r.status])], ['new', [['inner', 'new']]]);
  await open('inner');
  assert.deepStrictEqual(await files(), ['z.txt: added']);

  // Entries new and removed, by name until another order is chosen.
  await open('docs');
  assert.deepStrictEqual(await files(), ['Alpha.txt: unchanged', 'beta.txt: added', 'mid.txt: removed', 'zeta.txt: unchanged']);
  assert.strictEqual(await tab.$eval('#files [role=columnheader]', (b) => b.getAttribute('aria-sort')), 'ascending');

  // The Search results' Folder column keeps room, its header clear of the next.
  await search(tab, '*.txt');
  const heads = await tab.$$eval('#results [role=columnheader]', (bs) => bs.map((b) => {
    const r = b.getBoundingClientRect();
    return { label: b.textContent, left: r.left, right: r.right, inside: b.scrollWidth <= b.clientWidth };
  }));
  const folder = heads.find((h) => h.label === 'Folder');
  const kind = heads.find((h) => h.label === 'Kind');
  assert.ok(folder.right - folder.left >= 120, 'Folder is ' + (folder.right - folder.left) + ' px wide');
  assert.ok(folder.right <= kind.left + 0.5 && heads.every((h) => h.inside), JSON.stringify(heads));
  await tab.screenshot({ path: path.join(shots, 'explorer-compare-results.png') });
  await tab.close();
});
