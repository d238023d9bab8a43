'use strict';
/* global Decoder, entryName, timeToDate, layoutTreemap, listingModel, KIND_FOLDER */
// The page: reads the listing data, shows the folder tree, the chosen
// folder's files and summaries, and hands searches to the worker. Every name
// reaches the document as text, never as markup.

const $ = (id) => document.getElementById(id);
const ROW = 22;
const MAX_SPACER = 8e6; // taller lists scroll in proportion

function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

const count = (n) => Math.round(n).toLocaleString('en-US');
const counted = (n, word) => count(n) + ' ' + word + (n === 1 ? '' : 's');
function bytesText(n) {
  if (n < 1024) return count(n) + ' B';
  const units = ['KiB', 'MiB', 'GiB', 'TiB', 'PiB', 'EiB'];
  let v = n / 1024;
  let u = 0;
  while (v >= 1024 && u < units.length - 1) {
    v /= 1024;
    u++;
  }
  return (v < 10 ? v.toFixed(1) : Math.round(v).toString()) + ' ' + units[u];
}
function dateText(seconds) {
  if (!seconds) return '';
  return timeToDate(seconds).toISOString().slice(0, 19).replace('T', ' ');
}
function isoText(seconds) {
  return timeToDate(seconds).toISOString().slice(0, 19) + 'Z';
}

// A scrolled list that draws only the rows in view.
class VirtualList {
  constructor(viewport, drawRow) {
    this.viewport = viewport;
    this.drawRow = drawRow;
    this.count = 0;
    this.spacer = el('div', 'spacer');
    viewport.appendChild(this.spacer);
    this.pool = [];
    viewport.addEventListener('scroll', () => this.draw());
    new ResizeObserver(() => this.draw()).observe(viewport);
  }

  setCount(n) {
    this.count = n;
    this.spacer.style.height = Math.min(n * ROW, MAX_SPACER) + 'px';
    this.draw();
  }

  // The first row in view, and its offset, for the scroll position.
  firstRow() {
    const view = this.viewport.clientHeight;
    const total = this.count * ROW;
    if (total <= MAX_SPACER) return Math.floor(this.viewport.scrollTop / ROW);
    const room = Math.max(1, MAX_SPACER - view);
    const rows = Math.max(0, this.count - Math.floor(view / ROW));
    return Math.min(rows, Math.floor((this.viewport.scrollTop / room) * rows));
  }

  draw() {
    const view = this.viewport.clientHeight;
    const first = this.firstRow();
    const visible = Math.ceil(view / ROW) + 1;
    const last = Math.min(this.count, first + visible);
    const scaled = this.count * ROW > MAX_SPACER;
    while (this.pool.length < last - first) {
      const row = el('div', 'row');
      this.viewport.appendChild(row);
      this.pool.push(row);
    }
    for (let k = 0; k < this.pool.length; k++) {
      const row = this.pool[k];
      const i = first + k;
      if (i >= last) {
        row.hidden = true;
        continue;
      }
      row.hidden = false;
      const top = scaled ? this.viewport.scrollTop + k * ROW : i * ROW;
      row.style.top = top + 'px';
      if (row.index !== i || this.dirty) {
        row.index = i;
        this.drawRow(row, i);
      }
    }
    this.dirty = false;
  }

  redraw() {
    this.dirty = true;
    this.draw();
  }

  scrollTo(i) {
    const view = this.viewport.clientHeight;
    if (this.count * ROW <= MAX_SPACER) {
      const top = i * ROW;
      if (top < this.viewport.scrollTop) this.viewport.scrollTop = top;
      else if (top + ROW > this.viewport.scrollTop + view) this.viewport.scrollTop = top + ROW - view;
    } else {
      const rows = Math.max(1, this.count - Math.floor(view / ROW));
      const first = this.firstRow();
      if (i < first || i >= first + Math.floor(view / ROW)) {
        this.viewport.scrollTop = (Math.min(i, rows) / rows) * (MAX_SPACER - view);
      }
    }
    this.draw();
  }
}

// A table of many rows: a header of sort buttons and a virtual body.
class Grid {
  constructor(host, label, columns, cellText, onOpen) {
    this.columns = columns;
    this.cellText = cellText;
    this.onOpen = onOpen;
    this.active = -1;
    this.sortKey = null;
    this.sortUp = true;
    host.setAttribute('role', 'grid');
    host.setAttribute('aria-label', label);
    const head = el('div', 'grid-head');
    head.setAttribute('role', 'row');
    head.setAttribute('aria-rowindex', '1');
    this.headers = columns.map((c) => {
      const b = el('button', (c.grow ? 'grow' : '') + (c.num ? ' num' : ''), c.label);
      b.type = 'button';
      b.setAttribute('role', 'columnheader');
      if (!c.grow) b.style.width = c.width + 'px';
      b.addEventListener('click', () => this.onSort && this.onSort(c.key));
      head.appendChild(b);
      return b;
    });
    host.appendChild(head);
    this.body = el('div', 'vlist');
    this.body.tabIndex = 0;
    this.body.setAttribute('role', 'rowgroup');
    host.appendChild(this.body);
    this.host = host;
    this.list = new VirtualList(this.body, (row, i) => this.drawRow(row, i));
    this.body.addEventListener('keydown', (e) => this.key(e));
    this.body.addEventListener('click', (e) => {
      const row = e.target.closest('.row');
      if (!row) return;
      this.setActive(row.index);
      if (this.onOpen) this.onOpen(row.index);
    });
  }

  drawRow(row, i) {
    row.replaceChildren();
    row.setAttribute('role', 'row');
    row.setAttribute('aria-rowindex', String(i + 2));
    row.id = this.host.id + '-row-' + i;
    row.classList.toggle('active', i === this.active);
    for (const c of this.columns) {
      const text = this.cellText(i, c.key);
      const cell = el('div', 'cell' + (c.num ? ' num' : '') + (c.grow ? ' grow' : '') + (c.tail ? ' tail' : ''));
      // A path's end tells hits apart, so a cut one loses its start instead.
      if (c.tail) cell.appendChild(el('span', '', text));
      else cell.textContent = text;
      if (!c.num) cell.title = text;
      cell.setAttribute('role', 'gridcell');
      if (!c.grow) cell.style.width = c.width + 'px';
      row.appendChild(cell);
    }
  }

  setCount(n) {
    this.host.setAttribute('aria-rowcount', String(n + 1));
    if (this.active >= n) this.active = -1;
    this.list.setCount(n);
    this.list.redraw();
  }

  showSort(key, up) {
    this.columns.forEach((c, k) => {
      this.headers[k].setAttribute('aria-sort', c.key === key ? (up ? 'ascending' : 'descending') : 'none');
    });
  }

  setActive(i) {
    this.active = i;
    if (i >= 0) {
      this.list.scrollTo(i);
      this.body.setAttribute('aria-activedescendant', this.host.id + '-row-' + i);
    }
    this.list.redraw();
  }

  key(e) {
    const n = this.list.count;
    if (!n) return;
    const page = Math.max(1, Math.floor(this.body.clientHeight / ROW) - 1);
    const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page, Home: -Infinity, End: Infinity };
    if (e.key in moves) {
      e.preventDefault();
      const from = this.active < 0 ? 0 : this.active;
      this.setActive(Math.max(0, Math.min(n - 1, from + moves[e.key])));
    } else if (e.key === 'Enter' && this.active >= 0 && this.onOpen) {
      e.preventDefault();
      this.onOpen(this.active);
    }
  }
}

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

// ---- the tree ----

const tree = { rows: [], depth: [], expanded: new Set(), active: 0, selected: -1, order: 'size', list: null };

function sortedChildren(f) {
  const kids = Array.from(store.children.subarray(store.childStart[f], store.childStart[f + 1]));
  if (tree.order === 'size') kids.sort((a, b) => subtreeBytes(b) - subtreeBytes(a) || a - b);
  else {
    const names = new Map(kids.map((k) => [k, folderName(k).toLowerCase()]));
    kids.sort((a, b) => (names.get(a) < names.get(b) ? -1 : names.get(a) > names.get(b) ? 1 : a - b));
  }
  return kids;
}
function hasChildren(f) {
  return store.childStart[f + 1] > store.childStart[f];
}

function expand(row) {
  const f = tree.rows[row];
  if (tree.expanded.has(f) || !hasChildren(f)) return;
  tree.expanded.add(f);
  const kids = sortedChildren(f);
  const d = tree.depth[row] + 1;
  // Not splice(...kids): a folder may have more children than a call takes arguments.
  tree.rows = tree.rows.slice(0, row + 1).concat(kids, tree.rows.slice(row + 1));
  tree.depth = tree.depth.slice(0, row + 1).concat(kids.map(() => d), tree.depth.slice(row + 1));
}
function collapse(row) {
  const f = tree.rows[row];
  if (!tree.expanded.has(f)) return;
  tree.expanded.delete(f);
  let end = row + 1;
  while (end < tree.rows.length && tree.depth[end] > tree.depth[row]) tree.expanded.delete(tree.rows[end++]);
  tree.rows.splice(row + 1, end - row - 1);
  tree.depth.splice(row + 1, end - row - 1);
}

// Full steps for the first levels, then small ones up to a cap: the name,
// bar and size of a folder stay in the pane at any depth (its level is in
// its label and the path bar).
function indentOf(depth) {
  return Math.min(160, depth <= 8 ? depth * 14 : 112 + (depth - 8) * 3);
}

function drawTreeRow(row, i) {
  const f = tree.rows[i];
  const e = store.folderEntry[f];
  const up = parentFolder(f);
  const share = up >= 0 && subtreeBytes(up) > 0 ? subtreeBytes(f) / subtreeBytes(up) : 1;
  row.replaceChildren();
  row.id = 'tree-row-' + i;
  row.setAttribute('role', 'treeitem');
  row.setAttribute('aria-level', String(tree.depth[i] + 1));
  row.setAttribute('aria-selected', String(f === tree.selected));
  if (hasChildren(f)) row.setAttribute('aria-expanded', String(tree.expanded.has(f)));
  else row.removeAttribute('aria-expanded');
  const skipped = store.skipped.get(f);
  const label = folderName(f) + ', ' + counted(subtreeBytes(f), 'byte') + ', ' + counted(store.subFiles[f], 'file') + ', ' +
    counted(store.subFolders[f], 'folder') + (skipped ? ', not listed: ' + skipped : '');
  row.setAttribute('aria-label', label);
  row.title = label;
  row.dataset.folder = String(f);
  row.dataset.bytes = String(store.size[e]);
  row.classList.toggle('selected', f === tree.selected);
  row.classList.toggle('active', i === tree.active);
  const indent = el('span');
  indent.style.width = indentOf(tree.depth[i]) + 'px';
  indent.style.flex = 'none';
  const twisty = el('span', 'twisty', hasChildren(f) ? (tree.expanded.has(f) ? '▾' : '▸') : '');
  const name = el('span', 'tname', folderName(f) + (skipped ? ' (not listed: ' + skipped + ')' : ''));
  const bar = el('span', 'tbar');
  const fill = el('div');
  fill.style.width = (share * 100).toFixed(1) + '%';
  bar.appendChild(fill);
  row.append(indent, twisty, name, el('span', 'tcount', counted(store.subFiles[f], 'file')), bar,
    el('span', 'tsize', bytesText(subtreeBytes(f))));
}

function setTreeActive(i, choose) {
  tree.active = Math.max(0, Math.min(tree.rows.length - 1, i));
  $('tree').setAttribute('aria-activedescendant', 'tree-row-' + tree.active);
  tree.list.scrollTo(tree.active);
  tree.list.redraw();
  if (choose) chooseFolder(tree.rows[tree.active], false);
}

function treeKey(e) {
  const i = tree.active;
  const f = tree.rows[i];
  const page = Math.max(1, Math.floor($('tree').clientHeight / ROW) - 1);
  switch (e.key) {
    case 'ArrowDown': setTreeActive(i + 1, true); break;
    case 'ArrowUp': setTreeActive(i - 1, true); break;
    case 'PageDown': setTreeActive(i + page, true); break;
    case 'PageUp': setTreeActive(i - page, true); break;
    case 'Home': setTreeActive(0, true); break;
    case 'End': setTreeActive(tree.rows.length - 1, true); break;
    case 'ArrowRight':
      if (hasChildren(f) && !tree.expanded.has(f)) {
        expand(i);
        tree.list.setCount(tree.rows.length);
        setTreeActive(i, false);
      } else if (hasChildren(f)) {
        setTreeActive(i + 1, true);
      }
      break;
    case 'ArrowLeft':
      if (tree.expanded.has(f)) {
        collapse(i);
        tree.list.setCount(tree.rows.length);
        setTreeActive(i, false);
      } else {
        let p = i - 1;
        while (p >= 0 && tree.depth[p] >= tree.depth[i]) p--;
        if (p >= 0) setTreeActive(p, true);
      }
      break;
    case 'Enter':
    case ' ':
      chooseFolder(f, false);
      break;
    default:
      return;
  }
  e.preventDefault();
}

function treeClick(e) {
  const row = e.target.closest('.row');
  if (!row) return;
  const i = row.index;
  if (e.target.classList.contains('twisty')) {
    if (tree.expanded.has(tree.rows[i])) collapse(i);
    else expand(i);
    tree.list.setCount(tree.rows.length);
  }
  setTreeActive(i, true);
}

// Shows folder f in the tree: its ancestors expanded, its row active.
function revealFolder(f) {
  const chain = [];
  for (let g = f; g >= 0; g = parentFolder(g)) chain.unshift(g);
  let row = 0;
  for (let k = 0; k < chain.length; k++) {
    row = tree.rows.indexOf(chain[k], row);
    if (row < 0) return;
    if (k < chain.length - 1) expand(row);
  }
  tree.list.setCount(tree.rows.length);
  setTreeActive(row, false);
}

// ---- the chosen folder ----

const view = { folder: -1, files: [], sortKey: null, sortUp: true, tab: 'files', summaryId: 0, summary: null };
let filesGrid;
let resultsGrid;

function entryCell(e, key) {
  switch (key) {
    case 'name': return entryName(store, e);
    case 'type': return typeText(e);
    case 'size': return count(store.size[e]);
    case 'created': return dateText(store.ctime[e]);
    case 'modified': return dateText(store.mtime[e]);
    case 'path': return store.parent[e] >= 0 ? folderPath(store.parent[e]) : '';
    case 'kind': return kindText(e);
    default: return '';
  }
}

function chooseFolder(f, fromHash) {
  if (f === view.folder) return;
  view.folder = f;
  tree.selected = f;
  tree.list.redraw();
  view.files = folderFiles(f);
  if (view.sortKey) sortEntries(view.files, view.sortKey, view.sortUp);
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
  for (let g = view.folder; g >= 0; g = parentFolder(g)) chain.push(g);
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
  if (f >= 0) {
    box.appendChild(el('span', 'crumb-note', '— ' + counted(store.folderFiles[f], 'file') + ' here, ' +
      bytesText(store.folderBytes[f]) + '; below: ' + counted(store.subFiles[f], 'file') + ', ' +
      counted(store.subFolders[f], 'folder') + ', ' + bytesText(subtreeBytes(f))));
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
  $('panel-largest').appendChild(table(
    [{ label: 'Name' }, { label: 'Folder', tail: true }, { label: 'Bytes', num: true, width: 150 },
      { label: 'Modified (UTC)', width: 160 }],
    s.largest.map((e) => [entryName(store, e), folderPath(store.parent[e]), count(store.size[e]),
      dateText(store.mtime[e])])));
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
  for (let k = store.childStart[f]; k < store.childStart[f + 1]; k++) {
    const c = store.children[k];
    if (subtreeBytes(c) > 0) items.push({ folder: c, bytes: subtreeBytes(c), name: folderName(c) });
  }
  for (const e of view.files) if (store.size[e] > 0) items.push({ entry: e, bytes: store.size[e], name: entryName(store, e) });
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
    d.style.background = 'hsl(' + hue + ', ' + (item.other ? 0 : 45) + '%, ' + (70 + (k % 3) * 5) + '%)';
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
  const f = store.kind[e] === KIND_FOLDER ? store.folderOf[e] : store.parent[e];
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
  for (const t of ['files', 'results', 'map', 'types', 'largest', 'years']) {
    const on = t === name;
    $('tab-' + t).setAttribute('aria-selected', String(on));
    $('tab-' + t).tabIndex = on ? 0 : -1;
    $('panel-' + t).hidden = !on;
  }
  if (name === 'map') drawTreemap();
  if (name === 'files') filesGrid.list.redraw();
  if (name === 'results') resultsGrid.list.redraw();
}

function csvField(text) {
  return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
}

function exportCsv() {
  const entries = view.tab === 'results' ? Array.from(search.hits.subarray(0, search.shown))
    : view.tab === 'largest' && view.summary ? view.summary.largest : view.files;
  const lines = ['path,name,kind,type,size,created,modified'];
  for (const e of entries) {
    lines.push([entryPath(e), entryName(store, e), kindText(e), entryCell(e, 'type'), String(store.size[e]),
      isoText(store.ctime[e]), isoText(store.mtime[e])].map(csvField).join(','));
  }
  const blob = new Blob([lines.join('\r\n') + '\r\n'], { type: 'text/csv' });
  const a = el('a');
  a.href = URL.createObjectURL(blob);
  const folder = view.folder >= 0 ? folderName(view.folder) : 'folder';
  a.download = view.tab === 'results' ? 'search-results.csv' : view.tab === 'largest' ? folder + ' largest.csv' : folder + '.csv';
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
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
  worker = new Worker(url);
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
  worker.postMessage({
    op: 'load', count: store.count, chunks: store.chunks, slotEnds: store.slotEnds, kind: store.kind.slice(), chunkOf: store.chunkOf.slice(),
    nameStart: store.nameStart.slice(), nameEnd: store.nameEnd.slice(), size: store.size.slice(),
    mtime: store.mtime.slice(),
  });
}

function buildPage() {
  ({ folderName, parentFolder, folderPath, entryPath, folderFiles, typeText, sortEntries } = listingModel(store));
  $('summary').textContent = headerText();
  if (store.listings.length === 1) document.title = 'Tallyfold: ' + store.listings[0].source;
  store.catalogue = store.listings.length > 1;
  tree.list = new VirtualList($('tree'), drawTreeRow);
  tree.rows = store.listings.filter((l) => l.root >= 0).map((l) => l.root);
  tree.depth = tree.rows.map(() => 0);
  if (tree.rows.length === 1) expand(0);
  tree.list.setCount(tree.rows.length);
  $('tree').addEventListener('keydown', treeKey);
  $('tree').addEventListener('click', treeClick);
  $('tree-order').addEventListener('change', () => {
    tree.order = $('tree-order').value;
    const open = [...tree.expanded];
    const f = tree.rows[tree.active];
    tree.expanded.clear();
    tree.rows = store.listings.filter((l) => l.root >= 0).map((l) => l.root);
    tree.depth = tree.rows.map(() => 0);
    for (let i = 0; i < tree.rows.length; i++) if (open.includes(tree.rows[i])) expand(i);
    tree.list.setCount(tree.rows.length);
    setTreeActive(Math.max(0, tree.rows.indexOf(f)), false);
  });

  const fileColumns = [
    { key: 'name', label: 'Name', grow: true },
    { key: 'type', label: 'Type', width: 130 },
    { key: 'size', label: 'Size', width: 120, num: true },
    { key: 'created', label: 'Created (UTC)', width: 160 },
    { key: 'modified', label: 'Modified (UTC)', width: 160 },
  ];
  filesGrid = new Grid($('files'), 'Files of the chosen folder', fileColumns, (i, key) => entryCell(view.files[i], key));
  filesGrid.onSort = (key) => {
    view.sortUp = view.sortKey === key ? !view.sortUp : key !== 'size';
    view.sortKey = key;
    sortEntries(view.files, key, view.sortUp);
    filesGrid.showSort(key, view.sortUp);
    filesGrid.setCount(view.files.length);
  };
  resultsGrid = new Grid($('results'), 'Search results', [
    { key: 'name', label: 'Name', width: 260 },
    { key: 'path', label: 'Folder', grow: true, tail: true },
    { key: 'kind', label: 'Kind', width: 60 },
    { key: 'size', label: 'Size', width: 120, num: true },
    { key: 'modified', label: 'Modified (UTC)', width: 160 },
  ], resultCell, openResult);
  resultsGrid.onSort = (key) => {
    if (!search.done) return;
    search.sortUp = search.sortKey === key ? !search.sortUp : key !== 'size';
    search.sortKey = key;
    sortEntries(search.hits.subarray(0, search.shown), key, search.sortUp);
    resultsGrid.showSort(key, search.sortUp);
    resultsGrid.setCount(search.shown);
  };

  for (const t of ['files', 'results', 'map', 'types', 'largest', 'years']) {
    $('tab-' + t).addEventListener('click', () => showTab(t));
  }
  $('tabs').addEventListener('keydown', (e) => {
    const tabs = [...$('tabs').querySelectorAll('[role=tab]')];
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

  startWorker();
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
  const chunks = [...document.querySelectorAll('script[type="application/x-tallyfold-listing"]')];
  // An entry takes about twelve characters or more.
  const decoder = new Decoder(chunks.reduce((n, c) => n + c.textContent.length, 0) / 12);
  let k = 0;
  const step = () => {
    const until = performance.now() + 50;
    try {
      while (k < chunks.length && performance.now() < until) {
        decoder.chunk(chunks[k].textContent);
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
