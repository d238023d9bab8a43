'use strict';
// The explorer page on a large tree, in headless Chromium:
//   node bench/explorer/run_explorer_bench.js TALLYFOLD_LIST MAKE_TREE [WORK_DIR] [--files N] [--page-only]
// Makes 50,000 folders of 20 files (1,000,000 files; --files 5000000 for
// 250,000 folders, in a tree of its own) unless the tree exists, lists it as
// text, JSON Lines, HTML and explorer, and prints: the data's bytes per
// entry besides names, the time from navigation to the root's sizes and to
// its Types view, a search typed as soon as the tree shows (against the same
// search later), searches' first hits and full count with the longest
// main-thread task meanwhile, sorting every hit of a search by each column
// (against a plain sort of as many numbers), the JavaScript heap of page and
// worker, and the write time against the text report; the HTML report of
// today opened the same way where it finishes within two minutes.
// --page-only skips the write times, the listing of /usr and the HTML report.
// --hashes adds the page of the same listing with XXH3-128 hashes (made up,
// as reading a million sparse files would take hours: every file whose size
// is a multiple of 10 has its size's digest, so those of one size are a
// group, the others one of their own): its size against the page without,
// its write time, the tree, and the time to open its Duplicates view.
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { launch } = require(path.join(__dirname, '../../tests/explorer/browser.js'));
const { namesOf, dataBytes } = require('./page_sizes.js');

const args = process.argv.slice(2);
const option = (name) => {
  const at = args.indexOf(name);
  return at < 0 ? undefined : args.splice(at, name.startsWith('--page') ? 1 : 2)[1] || true;
};
const files = Number(option('--files') || 1000000);
const pageOnly = option('--page-only') !== undefined;
const hashes = option('--hashes') !== undefined;
const [lister, makeTree, workArg] = args;
const work = workArg || '/tmp/tallyfold-explorer-bench';
const folders = Math.round(files / 20);
const tree = path.join(work, files === 1000000 ? 'tree' : 'tree-' + files);
const mb = (n) => (n / 1048576).toFixed(1) + ' MB';

function timed(args) {
  const start = process.hrtime.bigint();
  execFileSync(lister, args, { stdio: ['ignore', 'ignore', 'ignore'] });
  return Number(process.hrtime.bigint() - start) / 1e9;
}

// The JavaScript heap of the page and its workers, with the array buffers
// they hold, after a collection.
async function heap(page) {
  let used = 0;
  let buffers = 0;
  const sessions = [await page.createCDPSession()];
  for (const w of page.workers()) sessions.push(w.client);
  for (const s of sessions) {
    await s.send('HeapProfiler.collectGarbage');
    const h = await s.send('Runtime.getHeapUsage');
    used += h.usedSize;
    buffers += h.backingStorageSize || 0;
  }
  return mb(used) + ' heap + ' + mb(buffers) + ' array buffers';
}

// Resident memory of the browser's renderer processes (the tab and its worker).
function rendererMemory(browserPid) {
  const parent = new Map();
  const rss = new Map();
  const renderer = new Set();
  for (const pid of fs.readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    try {
      const stat = fs.readFileSync('/proc/' + pid + '/stat', 'utf8');
      parent.set(pid, stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (fs.readFileSync('/proc/' + pid + '/cmdline', 'utf8').includes('--type=renderer')) renderer.add(pid);
      const m = /VmRSS:\s+(\d+)/.exec(fs.readFileSync('/proc/' + pid + '/status', 'utf8'));
      rss.set(pid, m ? Number(m[1]) * 1024 : 0);
    } catch {
      // gone meanwhile
    }
  }
  let total = 0;
  for (const pid of renderer) {
    for (let p = pid; p && p !== '1'; p = parent.get(p)) {
      if (p === String(browserPid)) {
        total += rss.get(pid);
        break;
      }
    }
  }
  return total;
}

function perEntry(what, jsonl, explorer) {
  const { entries, nameBytes } = namesOf(jsonl);
  const { bytes, file } = dataBytes(explorer);
  console.log(what + ':', entries, 'entries (files, links and folders); explorer file', mb(file), '; data',
    mb(bytes), '; names', mb(nameBytes), '; bytes per entry besides names',
    ((bytes - nameBytes) / entries).toFixed(2), '(goal <= 20)');
}

async function main() {
  fs.mkdirSync(work, { recursive: true });
  if (!fs.existsSync(tree)) execFileSync(makeTree, [tree, String(folders), '20']);
  const out = (f) => path.join(work, (files === 1000000 ? '' : files + '-') + f);
  if (pageOnly) {
    execFileSync(lister, [tree, '--format', 'explorer', '--output', out('t.explorer.html')], { stdio: 'ignore' });
    await pageFigures(out);
    if (hashes) await hashFigures(out);
    return;
  }
  // Warm the file system's caches, then best of two each.
  timed([tree, '--output', out('t.txt')]);
  const best = (args) => Math.min(timed(args), timed(args));
  const text = best([tree, '--output', out('t.txt')]);
  const explorer = best([tree, '--format', 'explorer', '--output', out('t.explorer.html')]);
  const html = best([tree, '--format', 'html', '--output', out('t.html')]);
  execFileSync(lister, [tree, '--format', 'jsonl', '--output', out('t.jsonl')], { stdio: 'ignore' });

  perEntry('generated tree', out('t.jsonl'), out('t.explorer.html'));
  // The generated files share a few times; a real tree's times vary.
  const real = process.env.REAL_TREE || '/usr';
  execFileSync(lister, [real, '--format', 'jsonl', '--output', out('r.jsonl')], { stdio: 'ignore' });
  execFileSync(lister, [real, '--format', 'explorer', '--output', out('r.explorer.html')], { stdio: 'ignore' });
  perEntry(real, out('r.jsonl'), out('r.explorer.html'));
  console.log('write: text', text.toFixed(2), 's; explorer', explorer.toFixed(2), 's =', (explorer / text).toFixed(2),
    'x text (goal <= 1.3); html', html.toFixed(2), 's =', (html / text).toFixed(2), 'x text; html file',
    mb(fs.statSync(out('t.html')).size));

  await pageFigures(out, true);
  if (hashes) await hashFigures(out);
}

// The listing with made-up hashes, as a page, against the page without.
async function hashFigures(out) {
  const crypto = require('node:crypto');
  if (!fs.existsSync(out('t.jsonl'))) execFileSync(lister, [tree, '--format', 'jsonl', '--output', out('t.jsonl')]);
  const lines = fs.readFileSync(out('t.jsonl'), 'utf8').split('\n').filter(Boolean);
  const digest = (text) => crypto.createHash('md5').update(text).digest('hex');
  const hashed = lines.map((line, i) => {
    const r = JSON.parse(line);
    if (r.kind === 'file') r.hash = 'xxh128:' + digest(r.size % 10 === 0 ? 'size ' + r.size : 'file ' + i);
    if (i === lines.length - 1) r.hashes = 'xxh128';
    return JSON.stringify(r);
  });
  fs.writeFileSync(out('th.jsonl'), hashed.join('\n') + '\n');
  const best = (args) => Math.min(timed(args), timed(args));
  const plain = best(['--from', out('t.jsonl'), '--format', 'explorer', '--output', out('tp.explorer.html')]);
  const withHashes = best(['--from', out('th.jsonl'), '--format', 'explorer', '--output', out('th.explorer.html')]);
  execFileSync(lister, ['--from', out('th.jsonl'), '--duplicates', '--format', 'jsonl', '--output', out('th.dups.jsonl')],
    { stdio: 'ignore' });
  const groups = fs.readFileSync(out('th.dups.jsonl'), 'utf8').split('\n').filter(Boolean).length;
  const size = (f) => fs.statSync(out(f)).size;
  console.log('hashes: page', mb(size('th.explorer.html')), 'against', mb(size('tp.explorer.html')), 'without (',
    mb(size('th.explorer.html') - size('tp.explorer.html')), 'more for', lines.length, 'entries);', groups,
    'groups in the duplicates report; written from the listing in', withHashes.toFixed(2), 's against', plain.toFixed(2),
    's without');
  const { browser, close } = await launch();
  try {
    for (const [what, file] of [['without hashes', 'tp.explorer.html'], ['with hashes', 'th.explorer.html']]) {
      const tab = await browser.newPage();
      await tab.goto('file://' + out(file), { timeout: 120000 });
      await tab.waitForSelector('body[data-ready]', { timeout: 120000 });
      const tree = await tab.evaluate(() => Math.round(performance.getEntriesByName('tallyfold-sizes-shown')[0].startTime));
      let dups = '';
      if (file.startsWith('th')) {
        const r = await tab.evaluate(async () => {
          window.longest = 0;
          new PerformanceObserver((list) => {
            for (const e of list.getEntries()) window.longest = Math.max(window.longest, e.duration);
          }).observe({ type: 'longtask' });
          const t = performance.now();
          document.getElementById('tab-dups').click();
          while (!document.querySelector('#dups [role=row]:not([hidden])')) await new Promise((r) => setTimeout(r, 5));
          await new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
          const shown = performance.now() - t;
          return { shown, note: document.getElementById('dups-note').firstChild.textContent };
        });
        dups = '; the Duplicates view shown ' + Math.round(r.shown) + ' ms after its tab\'s click (' + r.note + ')';
      }
      console.log('page ' + what + ': the tree at', tree, 'ms by the page\'s clock' + dups + '; JavaScript', await heap(tab));
      await tab.close();
    }
  } finally {
    await close();
  }
}

// The page's own figures; with `oldReport`, today's HTML report opened too.
async function pageFigures(out, oldReport = false) {
  const { browser, close } = await launch();
  try {
    // A search typed the moment the tree shows, and the same one later.
    const soon = await browser.newPage();
    await soon.goto('file://' + out('t.explorer.html'), { timeout: 120000 });
    await soon.waitForSelector('body[data-ready]', { timeout: 120000 });
    const typed = (tab) => tab.evaluate(() => {
      delete document.body.dataset.searchMs;
      delete document.body.dataset.firstHitsMs;
      const box = document.getElementById('search');
      box.value = 'file1';
      box.dispatchEvent(new Event('input'));
      window.typedAt = performance.now();
    });
    const hitsAfter = async (tab) => {
      await tab.waitForFunction(() => document.body.dataset.searchMs !== undefined, { timeout: 120000 });
      return tab.evaluate(() => Number(document.body.dataset.firstHitsMs));
    };
    await typed(soon);
    const first = await hitsAfter(soon);
    await new Promise((r) => setTimeout(r, 3000));
    await typed(soon);
    const later = await hitsAfter(soon);
    console.log('search typed as the tree shows: first hits', first, 'ms (goal <= 500); the same search later', later,
      'ms; ratio', (first / Math.max(1, later)).toFixed(1));
    await soon.close();
    // The Types view chosen as the tree shows.
    const types = await browser.newPage();
    await types.goto('file://' + out('t.explorer.html'), { timeout: 120000 });
    await types.waitForSelector('body[data-ready]', { timeout: 120000 });
    const typesAt = await types.evaluate(async () => {
      const tree = performance.getEntriesByName('tallyfold-sizes-shown')[0].startTime;
      document.getElementById('tab-types').click();
      while (!document.querySelector('#panel-types table')) await new Promise((r) => setTimeout(r, 10));
      return [Math.round(tree), Math.round(performance.now())];
    });
    console.log('first view: the tree at', typesAt[0], 'ms, the Types view (chosen then) at', typesAt[1],
      'ms by the page\'s clock (goal <= 3000)');
    await types.close();

    const tab = await browser.newPage();
    const start = Date.now();
    await tab.goto('file://' + out('t.explorer.html'), { timeout: 120000 });
    await tab.waitForSelector('body[data-ready]', { timeout: 120000 });
    const shown = Date.now() - start;
    const [parsed, mark] = await tab.evaluate(() => ['tallyfold-data-parsed', 'tallyfold-sizes-shown']
      .map((m) => performance.getEntriesByName(m)[0].startTime));
    console.log('navigation to the root\'s sizes:', shown, 'ms measured outside;', Math.round(mark),
      'ms by the page\'s clock (goal <= 2500), of which', Math.round(parsed), 'ms until the page\'s script ran');
    // Let the worker take the names in, then search for a common substring.
    await new Promise((r) => setTimeout(r, 3000));
    for (const query of ['file1', '*.tar.gz', 'le19.c']) {
      await tab.evaluate(() => {
        window.longest = 0;
        window.observer = new PerformanceObserver((list) => {
          for (const e of list.getEntries()) window.longest = Math.max(window.longest, e.duration);
        });
        window.observer.observe({ type: 'longtask' });
      });
      await tab.$eval('#search', (e, q) => {
        delete document.body.dataset.searchMs;
        delete document.body.dataset.firstHitsMs;
        e.value = q;
        e.dispatchEvent(new Event('input'));
      }, query);
      await tab.waitForFunction(() => document.body.dataset.searchMs !== undefined, { timeout: 60000 });
      await new Promise((r) => setTimeout(r, 300));
      const r = await tab.evaluate(() => ({
        first: document.body.dataset.firstHitsMs, all: document.body.dataset.searchMs,
        count: document.getElementById('search-count').textContent, longest: window.longest,
      }));
      console.log('search', JSON.stringify(query) + ':', r.count, '; first hits', r.first, 'ms (goal <= 200); count',
        r.all, 'ms (goal <= 1000); longest main-thread task', Math.round(r.longest), 'ms (goal < 100; tasks over 50 ms are seen)');
    }
    console.log('JavaScript, page and worker:', await heap(tab), '(goal <= 350 MB); renderer processes resident',
      mb(rendererMemory(browser.process().pid)));

    // Every name holds a letter 'e' or 'f': a search with every entry as a hit.
    await tab.$eval('#search', (e) => {
      delete document.body.dataset.searchMs;
      e.value = '*';
      e.dispatchEvent(new Event('input'));
    });
    await tab.waitForFunction(() => document.body.dataset.searchMs !== undefined, { timeout: 120000 });
    const sorts = await tab.evaluate(() => {
      const out = [];
      const n = Number(document.getElementById('search-count').textContent.replace(/\D/g, ''));
      const numbers = Float64Array.from({ length: n }, (_, i) => (i * 7919) % n);
      let t = performance.now();
      numbers.sort();
      const reference = performance.now() - t;
      for (const b of document.querySelectorAll('#results [role=columnheader]')) {
        t = performance.now();
        b.click();
        out.push([b.textContent, performance.now() - t]);
      }
      return { n, reference, out };
    });
    console.log('sorting', sorts.n.toLocaleString('en-US'), 'hits:', sorts.out.map(([k, ms]) => k + ' ' + Math.round(ms) +
      ' ms (' + (ms / sorts.reference).toFixed(1) + 'x)').join(', '), '; x: against sorting as many numbers,',
    Math.round(sorts.reference), 'ms');
    await tab.close();
    if (!oldReport) return;

    const old = await browser.newPage();
    const t0 = Date.now();
    try {
      await old.goto('file://' + out('t.html'), { timeout: 120000, waitUntil: 'load' });
      console.log('HTML report of today: loaded in', Date.now() - t0, 'ms; JavaScript', await heap(old),
        '; renderer processes resident', mb(rendererMemory(browser.process().pid)));
    } catch (e) {
      console.log('HTML report of today: not loaded within 120 s (' + e.message.split('\n')[0] + ')');
    }
  } finally {
    await close();
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
