'use strict';
// The compare page on two large listings, in headless Chromium:
//   node bench/explorer/compare_bench.js TALLYFOLD_LIST TALLYFOLD_DIFF MAKE_TREE [WORK_DIR] [--files N]
// Makes the benchmark's tree of 1,000,000 files unless it exists, a copy of
// it with 1% of its entries changed (files grown, removed, added and moved,
// folders renamed), lists both as JSON Lines, writes the compare page with
// tallyfold-diff and the plain page of the copy with tallyfold-list, and
// prints for each the data's bytes per entry besides names and the time
// to the first view, with the compare page's ratios against the plain one
// measured in the same run.
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync, spawnSync } = require('node:child_process');
const { launch } = require(path.join(__dirname, '../../tests/explorer/browser.js'));
const { random } = require(path.join(__dirname, '../../tests/explorer/seeded_random.js'));
const { namesOf, dataBytes } = require('./page_sizes.js');

const args = process.argv.slice(2);
const at = args.indexOf('--files');
const files = at < 0 ? 1000000 : Number(args.splice(at, 2)[1]);
const [lister, differ, makeTree, workArg] = args;
const work = workArg || '/tmp/tallyfold-compare-bench';
const mb = (n) => (n / 1048576).toFixed(1) + ' MB';

// 1% of the entries changed, at places picked by a seeded generator.
function changeCopy(root) {
  const rand = random(7);
  const folders = [];
  const filesOf = [];
  (function walk(dir) {
    folders.push(dir);
    const mine = [];
    for (const d of fs.readdirSync(dir, { withFileTypes: true })) {
      if (d.isDirectory()) walk(path.join(dir, d.name));
      else mine.push(path.join(dir, d.name));
    }
    filesOf.push(mine);
  })(root);
  const entries = folders.length + filesOf.reduce((a, f) => a + f.length, 0);
  const share = Math.round(entries / 100);
  const pickFolder = () => Math.floor(rand() * folders.length);
  const pickFile = () => {
    for (;;) {
      const list = filesOf[pickFolder()];
      if (list.length) return list.splice(Math.floor(rand() * list.length), 1)[0];
    }
  };
  const done = { grown: 0, removed: 0, added: 0, moved: 0, renamed: 0 };
  for (; done.grown < share * 0.4; done.grown++) {
    const f = pickFile();
    fs.truncateSync(f, fs.statSync(f).size + 1000);
  }
  for (; done.removed < share * 0.25; done.removed++) fs.rmSync(pickFile());
  for (; done.added < share * 0.25; done.added++) fs.writeFileSync(path.join(folders[pickFolder()], 'added-' + done.added + '.dat'), 'new');
  for (; done.moved < share * 0.05; done.moved++) {
    const f = pickFile();
    const to = path.join(folders[pickFolder()], path.basename(f));
    if (!fs.existsSync(to)) fs.renameSync(f, to);
  }
  // Folders without subfolders, renamed: each a move of a whole folder.
  const leaves = folders.filter((d, k) => k > 0 && !folders[k + 1]?.startsWith(d + '/'));
  for (; done.renamed < 20; done.renamed++) {
    const d = leaves.splice(Math.floor(rand() * leaves.length), 1)[0];
    fs.renameSync(d, d + '-renamed');
  }
  return { entries, done };
}

// Best of two: navigation to the tree and the chosen folder's entries shown, and
// the page's marks on the way.
async function firstView(browser, html) {
  let best = Infinity;
  let detail = null;
  for (let k = 0; k < 2; k++) {
    const tab = await browser.newPage();
    await tab.goto('file://' + html, { timeout: 180000 });
    await tab.waitForSelector('body[data-ready]', { timeout: 180000 });
    const marks = await tab.evaluate(() => Object.fromEntries(['tallyfold-data-parsed', 'tallyfold-compare-start',
      'tallyfold-compare-done', 'tallyfold-sizes-shown'].map((m) => [m, performance.getEntriesByName(m)[0]])
      .filter((m) => m[1]).map(([m, e]) => [m.slice(10), Math.round(e.startTime)])));
    if (marks['sizes-shown'] < best) {
      best = marks['sizes-shown'];
      detail = marks;
    }
    await tab.close();
  }
  return { ms: best, detail };
}

async function main() {
  fs.mkdirSync(work, { recursive: true });
  const tree = path.join(work, 'tree');
  const copy = path.join(work, 'copy');
  if (!fs.existsSync(tree)) execFileSync(makeTree, [tree, String(Math.round(files / 20)), '20']);
  if (!fs.existsSync(copy)) {
    execFileSync('cp', ['-a', '--sparse=always', tree, copy]);
    const { entries, done } = changeCopy(copy);
    console.log('copy of', entries, 'entries changed:', JSON.stringify(done));
  }
  const out = (f) => path.join(work, f);
  execFileSync(lister, ['--format', 'jsonl', '--output', out('old.jsonl'), tree], { stdio: 'ignore' });
  execFileSync(lister, ['--format', 'jsonl', '--output', out('new.jsonl'), copy], { stdio: 'ignore' });
  execFileSync(lister, ['--format', 'explorer', '--output', out('plain.html'), copy], { stdio: 'ignore' });
  const made = spawnSync(differ, ['--format', 'explorer', '--output', out('compare.html'), out('old.jsonl'), out('new.jsonl')]);
  if (made.status !== 1) throw new Error('tallyfold-diff: ' + made.stderr);
  const summary = spawnSync(differ, ['--format', 'jsonl', out('old.jsonl'), out('new.jsonl')], { encoding: 'utf8', maxBuffer: 1 << 30 })
    .stdout.trim().split('\n').map((l) => JSON.parse(l)).find((l) => l.change === 'summary');
  console.log('tallyfold-diff summary:', JSON.stringify(summary));

  const a = namesOf(out('old.jsonl'));
  const b = namesOf(out('new.jsonl'));
  const plainData = dataBytes(out('plain.html'));
  const compareData = dataBytes(out('compare.html'));
  const plainPer = (plainData.bytes - b.nameBytes) / b.entries;
  const comparePer = (compareData.bytes - a.nameBytes - b.nameBytes) / (a.entries + b.entries);
  console.log('plain page:', b.entries, 'entries, file', mb(plainData.file), '; bytes per entry besides names', plainPer.toFixed(2));
  console.log('compare page:', a.entries, '+', b.entries, 'entries, file', mb(compareData.file), '; bytes per entry besides names',
    comparePer.toFixed(2), '(goal <= 25) =', (comparePer / plainPer).toFixed(2), 'x the plain page');

  const { browser, close } = await launch();
  try {
    const plain = await firstView(browser, out('plain.html'));
    const compare = await firstView(browser, out('compare.html'));
    console.log('first view (tree and entries, by the page\'s clock, best of two): plain page', plain.ms, 'ms; compare page',
      compare.ms, 'ms (goal <= 2500) =', (compare.ms / plain.ms).toFixed(2), 'x the plain page');
    console.log('marks by the page\'s clock, ms: plain', JSON.stringify(plain.detail), '; compare', JSON.stringify(compare.detail));
  } finally {
    await close();
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
