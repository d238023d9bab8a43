'use strict';
/* global $, el, counted, bytesText, dateText, Decoder, entryName, listingModel, VirtualList, Grid, tree, expand,
   drawTreeRow, setTreeActive, treeKey, treeClick, view, search, chooseFolder, showTab, startSearch,
   searchHits, openResult, resultCell, entryCell, drawSummary, drawTreemap, drawCrumbs, exportCsv, openHash,
   folderFromHash, requestSummary, revealFolder, filesGrid:writable, resultsGrid:writable, cmp, startCompare,
   compareHeader, sortFiles, hiddenFromSearch, COMPARE_KEYS, sortCompareEntries, tabNames, setupDuplicates */
// The page: reads the listing data, shows the folder tree, the chosen
// folder's files and summaries, and hands searches to the worker. Every name
// reaches the document as text, never as markup.

// ---- the listing ----

let store = null;
let worker = null;
// From listingModel(store) once the data is read.
let folderName, parentFolder, folderPath, entryPath, folderFiles, typeText, sortEntries;

function subtreeBytes(f) {
  return store.size[store.folderEntry[f]];
}
function kindText(e) {
  return ['file', 'link', 'folder'][store.kind[e]];
}

// ---- start ----

function headerText() {
  return store.listings.map((l) => {
    const t = l.totals || { folders: l.root >= 0 ? store.subFolders[l.root] : 0,
      files: l.root >= 0 ? store.subFiles[l.root] : 0, bytes: l.root >= 0 ? subtreeBytes(l.root) : 0, skipped: 0 };
    return l.source + ' — listed ' + dateText(l.listedAt) + ' UTC — ' + counted(t.folders, 'folder') + ', ' +
      counted(t.files, 'file') + ', ' + counted(t.bytes, 'byte') + ' (' + bytesText(t.bytes) + '), ' +
      counted(t.skipped, 'skipped folder') + (l.totals ? '' : ' (the listing was cut short)');
  }).join('\n');
}

function startWorker() {
  const source = $('tf-worker').textContent;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  try {
    worker = new Worker(url);
  } catch {
    $('search-count').textContent = 'Search is not available in this browser.';
    return;
  }
  worker.onmessage = (event) => {
    const m = event.data;
    if (m.op === 'hits') searchHits(m);
    else if (m.op === 'summary' && m.id === view.summaryId) {
      view.summary = m;
      drawSummary();
    }
  };
  worker.onerror = () => {
    $('search-count').textContent = 'Search is not available in this browser.';
  };
}

// A chunk for the worker as soon as it is read: entries [first, decoder.count).
function chunkToWorker(decoder, first) {
  if (!worker) return;
  const c = decoder.chunks.length - 1;
  worker.postMessage({
    op: 'chunk', names: decoder.chunks[c], slotEnd: decoder.slotEnds[c], first, kind: decoder.kind.slice(first, decoder.count),
    nameStart: decoder.nameStart.slice(first, decoder.count), nameEnd: decoder.nameEnd.slice(first, decoder.count),
  });
}

function loadWorker() {
  if (!worker) return;
  worker.postMessage({
    op: 'load', count: store.count, kind: store.kind.slice(), chunkOf: store.chunkOf.slice(),
    nameStart: store.nameStart.slice(), nameEnd: store.nameEnd.slice(), size: store.size.slice(),
    mtime: store.mtime.slice(),
  });
}

// The tree's top rows: each listing's root, or the later one's when comparing.
function rootRows() {
  const roots = store.listings.filter((l) => l.root >= 0).map((l) => l.root);
  return cmp ? roots.slice(-1) : roots;
}

function buildPage() {
  ({ folderName, parentFolder, folderPath, entryPath, folderFiles, typeText, sortEntries } = listingModel(store));
  if (store.comparison && store.listings.length === 2 && store.listings.every((l) => l.root >= 0)) startCompare();
  $('summary').textContent = cmp ? compareHeader() : headerText();
  if (store.listings.length === 1) document.title = 'Tallyfold: ' + store.listings[0].source;
  store.catalogue = store.listings.length > 1;
  tree.list = new VirtualList($('tree'), drawTreeRow);
  tree.rows = rootRows();
  tree.depth = tree.rows.map(() => 0);
  if (tree.rows.length === 1) expand(0);
  tree.list.setCount(tree.rows.length);
  $('tree').addEventListener('keydown', treeKey);
  $('tree').addEventListener('click', treeClick);
  const redoTree = () => {
    tree.order = $('tree-order').value;
    const open = [...tree.expanded];
    const f = tree.rows[tree.active];
    tree.expanded.clear();
    tree.rows = rootRows();
    tree.depth = tree.rows.map(() => 0);
    for (let i = 0; i < tree.rows.length; i++) if (open.includes(tree.rows[i])) expand(i);
    tree.list.setCount(tree.rows.length);
    setTreeActive(Math.max(0, tree.rows.indexOf(f)), false);
  };
  $('tree-order').addEventListener('change', redoTree);
  if (cmp) $('only-changed').addEventListener('change', redoTree);

  const fileColumns = cmp ? [
    { key: 'name', label: 'Name', grow: true },
    { key: 'status', label: 'Status', width: 130 },
    { key: 'before', label: 'Before', width: 80, num: true },
    { key: 'after', label: 'After', width: 80, num: true },
    { key: 'change', label: 'Change', width: 72, num: true },
    { key: 'mbefore', label: 'Modified before', width: 132 },
    { key: 'mafter', label: 'Modified after', width: 132 },
  ] : store.hashWidth ? [
    // Narrower, so that the name keeps room beside the hash.
    { key: 'name', label: 'Name', grow: true },
    { key: 'type', label: 'Type', width: 90 },
    { key: 'size', label: 'Size', width: 84, num: true },
    { key: 'created', label: 'Created (UTC)', width: 156 },
    { key: 'modified', label: 'Modified (UTC)', width: 156 },
    { key: 'hash', label: store.hashName, width: 104 }, // the algorithm's name: the header stays one line
  ] : [
    { key: 'name', label: 'Name', grow: true },
    { key: 'type', label: 'Type', width: 130 },
    { key: 'size', label: 'Size', width: 120, num: true },
    { key: 'created', label: 'Created (UTC)', width: 160 },
    { key: 'modified', label: 'Modified (UTC)', width: 160 },
  ];
  filesGrid = new Grid($('files'), 'Files of the chosen folder', fileColumns, (i, key) => entryCell(view.files[i], key));
  filesGrid.onSort = (key) => {
    view.sortUp = view.sortKey === key ? !view.sortUp : !['size', 'before', 'after', 'change'].includes(key);
    view.sortKey = key;
    sortFiles();
    filesGrid.showSort(key, view.sortUp);
    filesGrid.setCount(view.files.length);
  };
  resultsGrid = new Grid($('results'), 'Search results', [
    { key: 'name', label: 'Name', width: 260 },
    { key: 'path', label: 'Folder', grow: true, tail: true },
    { key: 'kind', label: 'Kind', width: 60 },
  ].concat(cmp ? [{ key: 'status', label: 'Status', width: 150 }, { key: 'change', label: 'Change', width: 100, num: true }] : [
    { key: 'size', label: 'Size', width: 120, num: true }], [
    { key: 'modified', label: 'Modified (UTC)', width: 160 },
  ]), resultCell, openResult);
  resultsGrid.onSort = (key) => {
    if (!search.done) return;
    search.sortUp = search.sortKey === key ? !search.sortUp : !['size', 'change'].includes(key);
    search.sortKey = key;
    const hits = search.hits.subarray(0, search.shown);
    if (cmp && COMPARE_KEYS.includes(key)) hits.set(sortCompareEntries(Array.from(hits), key, search.sortUp));
    else sortEntries(hits, key, search.sortUp);
    resultsGrid.showSort(key, search.sortUp);
    resultsGrid.setCount(search.shown);
  };

  for (const t of tabNames) {
    $('tab-' + t).addEventListener('click', () => showTab(t));
  }
  if (store.hashWidth && !cmp) setupDuplicates();
  $('tabs').addEventListener('keydown', (e) => {
    const tabs = [...$('tabs').querySelectorAll('[role=tab]:not([hidden])')];
    const at = tabs.indexOf(document.activeElement);
    if (at < 0 || (e.key !== 'ArrowRight' && e.key !== 'ArrowLeft')) return;
    const next = tabs[(at + (e.key === 'ArrowRight' ? 1 : tabs.length - 1)) % tabs.length];
    next.focus();
    next.click();
  });
  $('map-up').addEventListener('click', () => {
    const up = view.folder >= 0 ? parentFolder(view.folder) : -1;
    if (up >= 0) {
      revealFolder(up);
      chooseFolder(up, false);
    }
  });
  $('export').addEventListener('click', exportCsv);
  let typing = 0;
  $('search').addEventListener('input', () => {
    clearTimeout(typing);
    typing = setTimeout(startSearch, 60);
  });
  $('search-kind').addEventListener('change', startSearch);
  $('search-form').addEventListener('submit', (e) => {
    e.preventDefault();
    clearTimeout(typing);
    startSearch();
  });
  window.addEventListener('hashchange', openHash);
  window.addEventListener('resize', () => drawCrumbs());
  new ResizeObserver(() => view.tab === 'map' && drawTreemap()).observe($('treemap'));

  loadWorker();
  if (cmp && worker) worker.postMessage({ op: 'hide', hide: hiddenFromSearch() });
  showTab('files');
  if (tree.rows.length) {
    if (folderFromHash() >= 0) openHash();
    else {
      setTreeActive(0, false);
      chooseFolder(tree.rows[0], false);
    }
  }
}

// Reads the data chunks a slice at a time, so the page can show progress.
function load() {
  document.body.dataset.started = '1'; // the page is whole (cut_notice.js)
  performance.mark('tallyfold-data-parsed');
  // The listing's chunks, each perhaps followed by its files' hashes, and
  // perhaps the groups of identical files after the last.
  const chunks = [...document.querySelectorAll('script[type^="application/x-tallyfold-"]')];
  const LISTING = 'application/x-tallyfold-listing';
  // An entry takes about twelve characters or more.
  const decoder = new Decoder(chunks.reduce((n, c) => n + (c.type === LISTING ? c.textContent.length : 0), 0) / 12);
  startWorker();
  let k = 0;
  const step = () => {
    const until = performance.now() + 50;
    try {
      while (k < chunks.length && performance.now() < until) {
        const first = decoder.count;
        const type = chunks[k].type;
        if (type === LISTING) {
          decoder.chunk(chunks[k].textContent);
          chunkToWorker(decoder, first);
        } else if (type === 'application/x-tallyfold-hashes') {
          decoder.hashes(chunks[k].textContent);
        } else if (type === 'application/x-tallyfold-duplicates') {
          decoder.readDuplicates(chunks[k].textContent);
        } else if (type === 'application/x-tallyfold-changes') {
          decoder.readChanges(chunks[k].textContent);
        }
        chunks[k].remove();
        k++;
      }
    } catch (error) {
      $('summary').textContent = 'This listing cannot be read: ' + error.message;
      return;
    }
    if (k < chunks.length) {
      $('summary').textContent = 'Reading the listing… ' + Math.round((k / chunks.length) * 100) + ' %';
      setTimeout(step, 0);
      return;
    }
    store = decoder.finish();
    buildPage();
    performance.mark('tallyfold-sizes-shown');
    document.body.dataset.ready = '1';
  };
  step();
}

load();
