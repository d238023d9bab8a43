'use strict';
/* global $, el, count, counted, bytesText, dateText, isoText, entryName, hashHex, layoutTreemap, Grid, csvField,
   duplicatesView, KIND_FOLDER */
// The views a mode's table is made of, and the mode of a page that shows
// listings (one, or several: a catalogue). A view is a tab: { name, label?,
// setup(), redraw(), csv() -> {lines, name} or null, perFolder (redrawn when
// another folder is chosen while it shows), fromSummary (redrawn when the
// worker's summary comes) }.

// ---- views of entries: the chosen folder's, the search's ----

// The Files view: the chosen folder's entries, in the columns given.
function filesView(page, columns) {
  const v = {
    name: 'files',
    grid: null,
    setup() {
      v.grid = new Grid($('files'), 'Files of the chosen folder', columns, (i, key) => page.mode.cell(page.files[i], key));
      v.grid.onSort = (key) => {
        page.sortUp = page.sortKey === key ? !page.sortUp : !columns.find((c) => c.key === key).num;
        page.sortKey = key;
        page.mode.sortEntries(page.files, key, page.sortUp);
        v.grid.showSort(key, page.sortUp);
        v.grid.setCount(page.files.length);
      };
      if (page.sortKey) v.grid.showSort(page.sortKey, page.sortUp);
    },
    redraw: () => v.grid.list.redraw(),
    folderChanged() {
      v.grid.active = -1;
      v.grid.setCount(page.files.length);
    },
    choose(e) {
      const at = page.files.indexOf(e);
      if (at >= 0) {
        v.grid.setActive(at);
        v.grid.body.focus();
      }
    },
    csv: () => ({ lines: page.mode.csv(page.files), name: folderFileName(page) + '.csv' }),
  };
  return v;
}

function folderFileName(page) {
  return page.folder >= 0 ? page.model.folderName(page.folder) : 'folder';
}

// The Search results: the hits in the columns given; a click opens a hit.
function resultsView(page, columns) {
  const search = page.search;
  const v = {
    name: 'results',
    grid: null,
    setup() {
      v.grid = new Grid($('results'), 'Search results', columns, (i, key) => page.mode.cell(search.hits[i], key),
        (i) => page.openHit(search.hits[i]));
      v.grid.onSort = (key) => {
        if (!search.done) return;
        search.sortUp = search.sortKey === key ? !search.sortUp : !columns.find((c) => c.key === key).num;
        search.sortKey = key;
        page.mode.sortEntries(search.hits.subarray(0, search.shown), key, search.sortUp);
        v.grid.showSort(key, search.sortUp);
        v.grid.setCount(search.shown);
      };
    },
    redraw: () => v.grid.list.redraw(),
    sortShown: () => v.grid.showSort(search.sortKey, search.sortUp),
    setCount: (n) => v.grid.setCount(n),
    csv: () => ({ lines: page.mode.csv(Array.from(search.hits.subarray(0, search.shown))), name: 'search-results.csv' }),
  };
  return v;
}

// ---- views of the worker's summary ----

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

// A view drawn from the summary into its panel, empty until it comes.
function summaryView(page, name, draw) {
  const v = {
    name,
    fromSummary: true,
    redraw() {
      const panel = $('panel-' + name);
      panel.replaceChildren();
      if (page.summary) draw(panel, page.summary);
    },
  };
  return v;
}

function typesView(page) {
  return summaryView(page, 'types', (panel, s) => {
    const total = s.types.reduce((a, t) => a + t.bytes, 0) || 1;
    const shown = s.types.slice(0, 500);
    panel.appendChild(table(
      [{ label: 'Extension' }, { label: 'Files', num: true, width: 110 }, { label: 'Bytes', num: true, width: 150 },
        { label: 'Share', num: true, width: 80 }, { label: '', width: 180 }],
      shown.map((t) => [t.extension ? '.' + t.extension : '(none)', count(t.count), count(t.bytes),
        ((t.bytes / total) * 100).toFixed(1) + ' %', hbar(t.bytes / total)])));
    if (s.types.length > shown.length) {
      panel.appendChild(el('p', 'empty', (s.types.length - shown.length) + ' smaller extensions not shown'));
    }
  });
}

function yearsView(page) {
  return summaryView(page, 'years', (panel, s) => {
    const most = Math.max(1, ...s.years.map((y) => y.bytes));
    panel.appendChild(table(
      [{ label: 'Modified in' }, { label: 'Files', num: true, width: 110 }, { label: 'Bytes', num: true, width: 150 },
        { label: '', width: 180 }],
      s.years.map((y) => [String(y.year), count(y.count), count(y.bytes), hbar(y.bytes / most)])));
  });
}

function largestView(page) {
  const { store } = page;
  const { folderPath } = page.model;
  const v = summaryView(page, 'largest', (panel, s) => {
    panel.appendChild(table(
      [{ label: 'Name' }, { label: 'Folder', tail: true }, { label: 'Bytes', num: true, width: 150 },
        { label: 'Modified (UTC)', width: 160 }],
      s.largest.map((e) => [entryName(store, e), folderPath(store.parent[e]), count(store.size[e]),
        dateText(store.mtime[e])])));
  });
  v.csv = () => page.summary && { lines: page.mode.csv(page.summary.largest), name: folderFileName(page) + ' largest.csv' };
  return v;
}

// ---- the treemap ----

// items(f): the folder's parts, [{folder | entry, bytes, name}]; paint(box,
// item, k) colours an item's box.
function treemapView(page, items, paint) {
  const { folderName } = page.model;
  const v = {
    name: 'map',
    perFolder: true,
    setup() {
      new ResizeObserver(() => page.tab === 'map' && v.redraw()).observe($('treemap'));
    },
    redraw() {
      const box = $('treemap');
      box.replaceChildren();
      const f = page.folder;
      if (f < 0) return;
      const shown = items(f);
      shown.sort((a, b) => b.bytes - a.bytes);
      const limit = 300;
      if (shown.length > limit) {
        const rest = shown.splice(limit - 1);
        shown.push({ other: rest.length, bytes: rest.reduce((a, i) => a + i.bytes, 0), name: rest.length + ' more' });
        shown.sort((a, b) => b.bytes - a.bytes);
      }
      $('map-note').textContent = shown.length ? folderName(f) + ': ' + bytesText(page.subtreeBytes(f)) : 'Nothing to show: no bytes here.';
      const rects = layoutTreemap(shown.map((i) => i.bytes), { x: 0, y: 0, w: box.clientWidth, h: box.clientHeight });
      shown.forEach((item, k) => {
        const r = rects[k];
        const d = el('div', 'tm' + (item.folder === undefined ? ' file' : ''));
        d.style.left = r.x + 'px';
        d.style.top = r.y + 'px';
        d.style.width = r.w + 'px';
        d.style.height = r.h + 'px';
        paint(d, item, k);
        d.dataset.bytes = String(item.bytes);
        const label = item.name + ', ' + bytesText(item.bytes);
        d.title = label;
        if (r.w > 40 && r.h > 14) d.appendChild(el('span', '', label));
        if (item.folder !== undefined) {
          d.setAttribute('role', 'button');
          d.setAttribute('aria-label', 'Open ' + label);
          d.tabIndex = 0;
          d.addEventListener('click', () => page.open(item.folder));
          d.addEventListener('keydown', (e) => {
            if (e.key === 'Enter' || e.key === ' ') {
              e.preventDefault();
              page.open(item.folder);
            }
          });
        }
        box.appendChild(d);
      });
    },
  };
  return v;
}

// ---- an entry's cells ----

// The text of an entry's column as the listing has it.
function entryCell(page, e, key) {
  const { store } = page;
  const { typeText, folderPath } = page.model;
  switch (key) {
    case 'name': return entryName(store, e);
    case 'type': return typeText(e);
    case 'size': return count(store.size[e]);
    case 'created': return dateText(store.ctime[e]);
    case 'modified': return dateText(store.mtime[e]);
    case 'path': return store.parent[e] >= 0 ? folderPath(store.parent[e]) : '';
    case 'kind': return page.kindText(e);
    case 'hash': return store.kind[e] !== 0 ? '' : store.hashed[e] ? hashHex(store, e) : '(not read)';
    default: return '';
  }
}

// ---- the mode of a page of listings ----

function plainMode(page) {
  const { store } = page;
  const { folderName, parentFolder, entryPath, folderFiles, sortEntries } = page.model;
  const subtreeBytes = (f) => page.subtreeBytes(f);
  const hashes = store.hashWidth > 0;

  function header() {
    return store.listings.map((l) => {
      const t = l.totals || { folders: l.root >= 0 ? store.subFolders[l.root] : 0,
        files: l.root >= 0 ? store.subFiles[l.root] : 0, bytes: l.root >= 0 ? subtreeBytes(l.root) : 0, skipped: 0 };
      return l.source + ' — listed ' + dateText(l.listedAt) + ' UTC — ' + counted(t.folders, 'folder') + ', ' +
        counted(t.files, 'file') + ', ' + counted(t.bytes, 'byte') + ' (' + bytesText(t.bytes) + '), ' +
        counted(t.skipped, 'skipped folder') + (l.totals ? '' : ' (the listing was cut short)');
    }).join('\n');
  }

  function children(f, order) {
    const kids = Array.from(store.children.subarray(store.childStart[f], store.childStart[f + 1]));
    if (order === 'size') kids.sort((a, b) => subtreeBytes(b) - subtreeBytes(a) || a - b);
    else if (order === 'dups') kids.sort((a, b) => store.dupBytes[b] - store.dupBytes[a] || a - b);
    else {
      const names = new Map(kids.map((k) => [k, folderName(k).toLowerCase()]));
      kids.sort((a, b) => (names.get(a) < names.get(b) ? -1 : names.get(a) > names.get(b) ? 1 : a - b));
    }
    return kids;
  }

  function treeRow(row, f, up) {
    const share = up >= 0 && subtreeBytes(up) > 0 ? subtreeBytes(f) / subtreeBytes(up) : 1;
    const skipped = store.skipped.get(f);
    const label = folderName(f) + ', ' + counted(subtreeBytes(f), 'byte') + ', ' + counted(store.subFiles[f], 'file') + ', ' +
      counted(store.subFolders[f], 'folder') + (store.dupBytes ? ', ' + counted(store.dupBytes[f], 'byte') + ' duplicated' : '') +
      (skipped ? ', not listed: ' + skipped : '');
    row.setAttribute('aria-label', label);
    row.title = label;
    const bar = el('span', 'tbar');
    const fill = el('div');
    fill.style.width = (share * 100).toFixed(1) + '%';
    bar.appendChild(fill);
    const cells = [el('span', 'tname', folderName(f) + (skipped ? ' (not listed: ' + skipped + ')' : '')),
      el('span', 'tcount', counted(store.subFiles[f], 'file')), bar, el('span', 'tsize', bytesText(subtreeBytes(f)))];
    if (store.dupBytes) {
      // The bytes below it that copy a file elsewhere (the Duplicates view's wasted bytes).
      row.dataset.dup = String(store.dupBytes[f]);
      cells.push(el('span', 'tdup', store.dupBytes[f] ? bytesText(store.dupBytes[f]) : '—'));
    }
    return cells;
  }

  function crumbNote(f) {
    return counted(store.folderFiles[f], 'file') + ' here, ' + bytesText(store.folderBytes[f]) + '; below: ' +
      counted(store.subFiles[f], 'file') + ', ' + counted(store.subFolders[f], 'folder') + ', ' + bytesText(subtreeBytes(f)) +
      (store.dupBytes ? '; duplicated: ' + bytesText(store.dupBytes[f]) : '');
  }

  // With hashes, each file's as the JSON Lines listing writes it.
  function csv(entries) {
    const lines = ['path,name,kind,type,size,created,modified' + (hashes ? ',hash' : '')];
    for (const e of entries) {
      const row = [entryPath(e), entryName(store, e), page.kindText(e), entryCell(page, e, 'type'), String(store.size[e]),
        isoText(store.ctime[e]), isoText(store.mtime[e])];
      if (hashes) row.push(store.hashed[e] ? store.hashName + ':' + hashHex(store, e) : '');
      lines.push(row.map(csvField).join(','));
    }
    return lines;
  }

  function mapItems(f) {
    const items = [];
    for (let k = store.childStart[f]; k < store.childStart[f + 1]; k++) {
      const c = store.children[k];
      if (subtreeBytes(c) > 0) items.push({ folder: c, bytes: subtreeBytes(c), name: folderName(c) });
    }
    for (const e of page.files) if (store.size[e] > 0) items.push({ entry: e, bytes: store.size[e], name: entryName(store, e) });
    return items;
  }

  function paint(d, item, k) {
    const hue = item.folder !== undefined ? 210 : item.other ? 0 : 30 + ((item.name.length * 37) % 120);
    d.style.background = 'hsl(' + hue + ', ' + (item.other ? 0 : 45) + '%, ' + (70 + (k % 3) * 5) + '%)';
  }

  const fileColumns = hashes ? [
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
  const resultColumns = [
    { key: 'name', label: 'Name', width: 260 },
    { key: 'path', label: 'Folder', grow: true, tail: true },
    { key: 'kind', label: 'Kind', width: 60 },
    { key: 'size', label: 'Size', width: 120, num: true },
    { key: 'modified', label: 'Modified (UTC)', width: 160 },
  ];
  const views = [filesView(page, fileColumns), resultsView(page, resultColumns), treemapView(page, mapItems, paint),
    typesView(page), largestView(page), yearsView(page)];
  if (hashes) views.push(duplicatesView(page));

  return {
    header,
    rootRows: () => store.listings.filter((l) => l.root >= 0).map((l) => l.root),
    children,
    hasChildren: (f) => store.childStart[f + 1] > store.childStart[f],
    treeParent: parentFolder,
    treeRow,
    entries: folderFiles,
    crumbNote,
    cell: (e, key) => entryCell(page, e, key),
    sortEntries,
    hitFolder: (e) => (store.kind[e] === KIND_FOLDER ? store.folderOf[e] : store.parent[e]),
    csv,
    views,
  };
}
