'use strict';
/* global $, el, ROW, count, counted, bytesText, dateText, isoText, layoutTreemap, entryName, KIND_FOLDER,
   store, worker, folderName, parentFolder, folderPath, entryPath, folderFiles, typeText, sortEntries, subtreeBytes, kindText,
   tree, revealFolder, cmp, compareCell, compareEntries, sortCompareEntries, drawLargestChanges, compareChildren,
   changeColour, changeKind, COMPARE_KEYS, compareCsv, treeParent, signedBytes, sides, hashHex, dupsGrid,
   duplicatesCsv */
// The chosen folder's views: its files, the path bar, the summaries from
// the worker, the treemap, the search results, the tabs and the CSV export.

// ---- the chosen folder ----

// The views' tabs; 'dups' joins them when the listing has hashes.
const tabNames = ['files', 'results', 'map', 'types', 'largest', 'years'];
const view = { folder: -1, files: [], sortKey: null, sortUp: true, tab: 'files', summaryId: 0, summary: null };
let filesGrid;
let resultsGrid;

function entryCell(e, key) {
  if (cmp) {
    const text = compareCell(e, key);
    if (text !== null) return text;
  }
  switch (key) {
    case 'name': return entryName(store, e);
    case 'type': return typeText(e);
    case 'size': return count(store.size[e]);
    case 'created': return dateText(store.ctime[e]);
    case 'modified': return dateText(store.mtime[e]);
    case 'path': return store.parent[e] >= 0 ? folderPath(store.parent[e]) : '';
    case 'kind': return kindText(e);
    case 'hash': return store.kind[e] !== 0 ? '' : store.hashed[e] ? hashHex(store, e) : '(not read)';
    default: return '';
  }
}

// The chosen folder's entries in the chosen order.
function sortFiles() {
  if (cmp && COMPARE_KEYS.includes(view.sortKey)) sortCompareEntries(view.files, view.sortKey, view.sortUp);
  else sortEntries(view.files, view.sortKey, view.sortUp);
}

function chooseFolder(f, fromHash) {
  if (f === view.folder) return;
  view.folder = f;
  tree.selected = f;
  tree.list.redraw();
  view.files = cmp ? compareEntries(f) : folderFiles(f);
  if (view.sortKey) sortFiles();
  filesGrid.active = -1;
  filesGrid.setCount(view.files.length);
  drawCrumbs();
  if (!fromHash && f >= 0) {
    const hash = '#' + encodeURIComponent(folderRef(f)).replace(/%2F/g, '/');
    if (location.hash !== hash) history.replaceState(null, '', hash);
  }
  view.summary = null;
  if (view.tab === 'map') drawTreemap();
  requestSummary();
}

// The fragment of a folder: its path, after its listing's number in a
// catalogue.
function folderRef(f) {
  if (!store.catalogue) return folderPath(f);
  let root = f;
  while (parentFolder(root) >= 0) root = parentFolder(root);
  return (store.listings.findIndex((l) => l.root === root) + 1) + '|' + folderPath(f);
}

function folderFromHash() {
  if (!location.hash) return -1;
  let ref;
  try {
    ref = decodeURIComponent(location.hash.slice(1));
  } catch {
    return -1;
  }
  let listings = store.listings;
  if (store.catalogue) {
    const bar = ref.indexOf('|');
    listings = [store.listings[Number(ref.slice(0, bar)) - 1]].filter(Boolean);
    ref = ref.slice(bar + 1);
  }
  for (const l of listings) {
    if (l.root < 0) continue;
    let f = l.root;
    if (ref === folderPath(f)) return f;
    // Down the tree by the names after the root's path.
    const rootPath = folderPath(f);
    if (!ref.startsWith(rootPath)) continue;
    const parts = ref.slice(rootPath.length).split(l.separator).filter((s) => s !== '');
    for (const part of parts) {
      let next = -1;
      for (let k = store.childStart[f]; k < store.childStart[f + 1]; k++) {
        if (folderName(store.children[k]) === part) next = store.children[k];
      }
      if (next < 0) break;
      f = next;
    }
    if (folderPath(f) === ref) return f;
  }
  return -1;
}

function openHash() {
  const f = folderFromHash();
  if (f >= 0) {
    revealFolder(f);
    chooseFolder(f, true);
  }
}

// The path bar: the root, the chosen folder and as many folders next to it
// as fit; those between give way to one '…' that holds the whole path.
function drawCrumbs() {
  const box = $('crumbs');
  box.replaceChildren();
  const chain = [];
  for (let g = view.folder; g >= 0; g = treeParent(g)) chain.push(g);
  chain.reverse();
  const path = el('div', 'crumb-path');
  const parts = chain.map((g, k) => {
    const part = el('span', 'crumb');
    if (k) part.appendChild(document.createTextNode('\u00a0›\u00a0'));
    const b = el('button', '', folderName(g));
    b.type = 'button';
    b.title = folderPath(g);
    b.addEventListener('click', () => {
      revealFolder(g);
      chooseFolder(g, false);
    });
    part.appendChild(b);
    path.appendChild(part);
    return part;
  });
  box.appendChild(path);
  const f = view.folder;
  if (f >= 0 && cmp) {
    box.appendChild(el('span', 'crumb-note', '— ' + bytesText(cmp.before(f)) + ' before, ' + bytesText(cmp.after(f)) +
      ' after (' + signedBytes(cmp.after(f) - cmp.before(f)) + '); ' + counted(cmp.filesBefore(f), 'file') + ' before, ' +
      counted(cmp.filesAfter(f), 'file') + ' after'));
  } else if (f >= 0) {
    box.appendChild(el('span', 'crumb-note', '— ' + counted(store.folderFiles[f], 'file') + ' here, ' +
      bytesText(store.folderBytes[f]) + '; below: ' + counted(store.subFiles[f], 'file') + ', ' +
      counted(store.subFolders[f], 'folder') + ', ' + bytesText(subtreeBytes(f)) +
      (store.dupBytes ? '; duplicated: ' + bytesText(store.dupBytes[f]) : '')));
  }
  const room = path.clientWidth;
  if (parts.length < 3 || path.scrollWidth <= room) return;
  // Widths measured once; the folders next to the chosen one stay longest.
  const widths = parts.map((p) => p.getBoundingClientRect().width);
  const gap = el('span', 'crumb', '\u00a0›\u00a0…');
  gap.title = folderPath(f);
  path.insertBefore(gap, parts[1]);
  let used = widths[0] + widths[widths.length - 1] + gap.getBoundingClientRect().width;
  let keep = parts.length - 1; // parts[keep..] stay
  while (keep > 1 && used + widths[keep - 1] <= room) used += widths[--keep];
  for (let k = 1; k < keep; k++) parts[k].remove();
  if (keep === 1) gap.remove();
}

// ---- summaries, from the worker ----

function requestSummary() {
  if (view.folder < 0 || !worker) return;
  const f = view.folder;
  view.summaryId++;
  worker.postMessage({ op: 'summary', id: view.summaryId, from: store.folderEntry[f], to: store.folderEnd[f] });
}

// A table as wide as its panel: columns with a width keep it, the others
// share the rest, and a text too long for its cell is cut, whole on hover.
function table(headers, rows) {
  const t = el('table', 'fit');
  const cols = el('colgroup');
  for (const h of headers) {
    const col = el('col');
    if (h.width) col.style.width = h.width + 'px';
    cols.appendChild(col);
  }
  const head = el('tr');
  headers.forEach((h) => {
    const th = el('th', h.num ? 'num' : '', h.label);
    th.scope = 'col';
    head.appendChild(th);
  });
  const thead = el('thead');
  thead.appendChild(head);
  const tbody = el('tbody');
  for (const r of rows) {
    const tr = el('tr');
    r.forEach((value, k) => {
      const td = el('td', (headers[k].num ? 'num' : '') + (headers[k].tail ? ' tail' : ''));
      if (value instanceof Node) td.appendChild(value);
      else if (headers[k].tail) td.appendChild(el('span', '', value));
      else td.textContent = value;
      if (typeof value === 'string' && !headers[k].num) td.title = value;
      tr.appendChild(td);
    });
    tbody.appendChild(tr);
  }
  t.append(cols, thead, tbody);
  return t;
}
function hbar(share) {
  const b = el('div', 'hbar');
  const fill = el('div');
  fill.style.width = (share * 100).toFixed(1) + '%';
  b.appendChild(fill);
  return b;
}

function drawSummary() {
  const s = view.summary;
  for (const id of ['panel-types', 'panel-largest', 'panel-years']) $(id).replaceChildren();
  if (!s) return;
  const total = s.types.reduce((a, t) => a + t.bytes, 0) || 1;
  const shown = s.types.slice(0, 500);
  $('panel-types').appendChild(table(
    [{ label: 'Extension' }, { label: 'Files', num: true, width: 110 }, { label: 'Bytes', num: true, width: 150 },
      { label: 'Share', num: true, width: 80 }, { label: '', width: 180 }],
    shown.map((t) => [t.extension ? '.' + t.extension : '(none)', count(t.count), count(t.bytes),
      ((t.bytes / total) * 100).toFixed(1) + ' %', hbar(t.bytes / total)])));
  if (s.types.length > shown.length) {
    $('panel-types').appendChild(el('p', 'empty', (s.types.length - shown.length) + ' smaller extensions not shown'));
  }
  if (cmp) {
    drawLargestChanges(table);
  } else {
    $('panel-largest').appendChild(table(
      [{ label: 'Name' }, { label: 'Folder', tail: true }, { label: 'Bytes', num: true, width: 150 },
        { label: 'Modified (UTC)', width: 160 }],
      s.largest.map((e) => [entryName(store, e), folderPath(store.parent[e]), count(store.size[e]),
        dateText(store.mtime[e])])));
  }
  const most = Math.max(1, ...s.years.map((y) => y.bytes));
  $('panel-years').appendChild(table(
    [{ label: 'Modified in' }, { label: 'Files', num: true, width: 110 }, { label: 'Bytes', num: true, width: 150 },
      { label: '', width: 180 }],
    s.years.map((y) => [String(y.year), count(y.count), count(y.bytes), hbar(y.bytes / most)])));
}

// ---- treemap ----

function drawTreemap() {
  const box = $('treemap');
  box.replaceChildren();
  const f = view.folder;
  if (f < 0) return;
  const items = [];
  if (cmp) {
    // Sized by the larger side, so what is gone shows too.
    for (const c of compareChildren(f)) {
      const bytes = Math.max(cmp.before(c), cmp.after(c));
      if (bytes > 0) items.push({ folder: c, bytes, name: folderName(c) });
    }
    for (const e of view.files) {
      const { before, after } = sides(e);
      const bytes = Math.max(before >= 0 ? store.size[before] : 0, after >= 0 ? store.size[after] : 0);
      if (bytes > 0) items.push({ entry: e, bytes, name: entryName(store, e) });
    }
  } else {
    for (let k = store.childStart[f]; k < store.childStart[f + 1]; k++) {
      const c = store.children[k];
      if (subtreeBytes(c) > 0) items.push({ folder: c, bytes: subtreeBytes(c), name: folderName(c) });
    }
    for (const e of view.files) if (store.size[e] > 0) items.push({ entry: e, bytes: store.size[e], name: entryName(store, e) });
  }
  items.sort((a, b) => b.bytes - a.bytes);
  const limit = 300;
  if (items.length > limit) {
    const rest = items.splice(limit - 1);
    items.push({ other: rest.length, bytes: rest.reduce((a, i) => a + i.bytes, 0), name: rest.length + ' more' });
    items.sort((a, b) => b.bytes - a.bytes);
  }
  $('map-note').textContent = items.length ? folderName(f) + ': ' + bytesText(subtreeBytes(f)) : 'Nothing to show: no bytes here.';
  const w = box.clientWidth;
  const h = box.clientHeight;
  const rects = layoutTreemap(items.map((i) => i.bytes), { x: 0, y: 0, w, h });
  items.forEach((item, k) => {
    const r = rects[k];
    const d = el('div', 'tm' + (item.folder === undefined ? ' file' : ''));
    d.style.left = r.x + 'px';
    d.style.top = r.y + 'px';
    d.style.width = r.w + 'px';
    d.style.height = r.h + 'px';
    const hue = item.folder !== undefined ? 210 : item.other ? 0 : 30 + ((item.name.length * 37) % 120);
    d.style.background = cmp ? changeColour(item) : 'hsl(' + hue + ', ' + (item.other ? 0 : 45) + '%, ' + (70 + (k % 3) * 5) + '%)';
    if (cmp) d.dataset.change = changeKind(item);
    d.dataset.bytes = String(item.bytes);
    const label = item.name + ', ' + bytesText(item.bytes);
    d.title = label;
    if (r.w > 40 && r.h > 14) d.appendChild(el('span', '', label));
    if (item.folder !== undefined) {
      d.setAttribute('role', 'button');
      d.setAttribute('aria-label', 'Open ' + label);
      d.tabIndex = 0;
      const open = () => {
        revealFolder(item.folder);
        chooseFolder(item.folder, false);
      };
      d.addEventListener('click', open);
      d.addEventListener('keydown', (e) => {
        if (e.key === 'Enter' || e.key === ' ') {
          e.preventDefault();
          open();
        }
      });
    }
    box.appendChild(d);
  });
}

// ---- search ----

const search = { id: 0, hits: new Int32Array(1024), count: 0, shown: 0, done: true, sortKey: null, firstAt: 0 };

function startSearch() {
  const query = $('search').value;
  search.id++;
  search.count = 0;
  search.shown = 0;
  search.done = false;
  search.started = performance.now();
  // New hits come in listing order.
  search.sortKey = null;
  resultsGrid.showSort(null, true);
  if (!query) {
    search.done = true;
    $('search-count').textContent = '';
    resultsGrid.setCount(0);
    if (view.tab === 'results') showTab('files');
    return;
  }
  if (!worker) return;
  $('search-count').textContent = 'Searching…';
  worker.postMessage({ op: 'search', id: search.id, query, filter: Number($('search-kind').value) });
  if (view.tab !== 'results') showTab('results');
}

function searchHits(message) {
  if (message.id !== search.id) return;
  const h = message.hits;
  if (search.shown + h.length > search.hits.length) {
    const next = new Int32Array(Math.max(search.hits.length * 2, search.shown + h.length));
    next.set(search.hits.subarray(0, search.shown));
    search.hits = next;
  }
  search.hits.set(h, search.shown);
  search.shown += h.length;
  search.count = message.count;
  search.done = message.done;
  const n = count(search.count) + (search.count === 1 ? ' result' : ' results');
  $('search-count').textContent = search.done ? n : n + ' so far…';
  // For the benchmark and the tests: when the first hits and the count came.
  if (h.length && search.shown === h.length) {
    document.body.dataset.firstHitsMs = String(Math.round(performance.now() - search.started));
  }
  if (search.done) document.body.dataset.searchMs = String(Math.round(performance.now() - search.started));
  resultsGrid.setCount(search.shown);
}

function resultCell(i, key) {
  return entryCell(search.hits[i], key);
}

function openResult(i) {
  const e = search.hits[i];
  let f = store.kind[e] === KIND_FOLDER ? store.folderOf[e] : store.parent[e];
  // An old entry shows in the folder that took its folder's place.
  if (cmp && !cmp.isNew[store.folderEntry[f]] && cmp.kept(f)) f = store.folderOf[cmp.partner[store.folderEntry[f]]];
  revealFolder(f);
  chooseFolder(f, false);
  if (store.kind[e] !== KIND_FOLDER) {
    showTab('files');
    const at = view.files.indexOf(e);
    if (at >= 0) {
      filesGrid.setActive(at);
      filesGrid.body.focus();
    }
  }
}

// ---- tabs and export ----

function showTab(name) {
  view.tab = name;
  for (const t of tabNames) {
    const on = t === name;
    $('tab-' + t).setAttribute('aria-selected', String(on));
    $('tab-' + t).tabIndex = on ? 0 : -1;
    $('panel-' + t).hidden = !on;
  }
  if (name === 'map') drawTreemap();
  if (name === 'files') filesGrid.list.redraw();
  if (name === 'results') resultsGrid.list.redraw();
  if (name === 'dups') dupsGrid.list.redraw();
}

function csvField(text) {
  return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

function exportCsv() {
  if (view.tab === 'dups') {
    saveCsv(duplicatesCsv(), 'duplicates.csv');
    return;
  }
  const entries = view.tab === 'results' ? Array.from(search.hits.subarray(0, search.shown))
    : view.tab === 'largest' && cmp ? cmp.additions.slice(0, 100).concat(cmp.removals.slice(0, 100))
      : view.tab === 'largest' && view.summary ? view.summary.largest : view.files;
  // With hashes, each file's as the JSON Lines listing writes it.
  const hashes = !cmp && store.hashWidth > 0;
  const lines = cmp ? compareCsv(entries, entryPath) : ['path,name,kind,type,size,created,modified' + (hashes ? ',hash' : '')];
  for (const e of cmp ? [] : entries) {
    const row = [entryPath(e), entryName(store, e), kindText(e), entryCell(e, 'type'), String(store.size[e]),
      isoText(store.ctime[e]), isoText(store.mtime[e])];
    if (hashes) row.push(store.hashed[e] ? store.hashName + ':' + hashHex(store, e) : '');
    lines.push(row.map(csvField).join(','));
  }
  const folder = view.folder >= 0 ? folderName(view.folder) : 'folder';
  saveCsv(lines, view.tab === 'results' ? 'search-results.csv' : view.tab === 'largest' ? folder + ' largest.csv' : folder + '.csv');
}

function saveCsv(lines, name) {
  const blob = new Blob([lines.join('\r\n') + '\r\n'], { type: 'text/csv' });
  const a = el('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
}
