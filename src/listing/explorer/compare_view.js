'use strict';
/* global $, el, count, counted, bytesText, dateText, isoText, entryName, KIND_FOLDER, pageChanges, csvField,
   filesView, resultsView, treemapView, typesView, yearsView, table, entryCell,
   CHANGE_SAME, CHANGE_ADDED, CHANGE_REMOVED, CHANGE_MOVED_HERE, CHANGE_MOVED_AWAY, CHANGE_NOT_READ */
// The mode of a page whose data compares two listings: what changed from
// the first to the second. The tree is the new listing's, with the folders
// gone from it beside their old siblings; a new, gone or moved folder opens
// like any other. What changed is tallyfold-diff's answer, carried in the
// data (changes.js): this only draws it.

// By mark (format.js's CHANGE_*).
const STATUS_TEXT = ['unchanged', 'added', 'removed', 'changed', 'content changed', 'moved', 'moved away', 'not read',
  'content not compared'];
const SAME = CHANGE_SAME;
const ADDED = CHANGE_ADDED;
const REMOVED = CHANGE_REMOVED;
const MOVED = CHANGE_MOVED_HERE;
const MOVED_AWAY = CHANGE_MOVED_AWAY;
// The entry columns of a comparison, sorted here rather than by the model.
const COMPARED_KEYS = new Set(['status', 'before', 'after', 'change', 'mbefore', 'mafter']);
const signedCount = (n) => (n > 0 ? '+' : n < 0 ? '−' : '±') + count(Math.abs(n));
const signedBytes = (n) => (n > 0 ? '+' : n < 0 ? '−' : '±') + bytesText(Math.abs(n));

function compareMode(page) {
  const { store } = page;
  const { folderName, folderFiles, parentFolder, entryPath, sortEntries } = page.model;
  performance.mark('tallyfold-compare-start');
  const cmp = pageChanges(store);
  performance.mark('tallyfold-compare-done');
  let onlyChanged = false; // the tree shows only folders with a change below them

  // Before the tree is made: the page's title, and the tree's orders and filter.
  function prepare() {
    document.body.classList.add('compare');
    document.title = 'Tallyfold: changes in ' + cmp.newSource;
    $('title').textContent = 'Tallyfold: what changed';
    for (const [value, text] of [['delta', 'by size of change'], ['change', 'by change'], ['size', 'by size'], ['name', 'by name']]) {
      const o = el('option', '', text);
      o.value = value;
      $('tree-order').appendChild(o);
    }
    for (const o of [...$('tree-order').options].slice(0, 2)) o.remove();
    $('tree-order').value = 'delta';
    const only = el('label', 'only');
    const box = el('input');
    box.type = 'checkbox';
    box.id = 'only-changed';
    only.append(box, document.createTextNode(' only what changed'));
    $('tree-order').before(only);
  }

  // Once the page is built: the filter works the tree, and the search
  // leaves out old entries that the new listing shows.
  function start() {
    $('only-changed').addEventListener('change', (e) => {
      onlyChanged = e.target.checked;
      page.tree.redo();
    });
    if (page.worker) {
      const hide = new Uint8Array(store.count);
      for (let e = 0; e < store.count; e++) if (!cmp.isNew[e] && cmp.status[e] !== REMOVED) hide[e] = 1;
      page.worker.postMessage({ op: 'hide', hide });
    }
  }

  function header() {
    const t = cmp.tally;
    const [a, b] = store.listings;
    const totals = (l) => l.totals || { files: store.subFiles[l.root], bytes: page.subtreeBytes(l.root) };
    const ta = totals(a);
    const tb = totals(b);
    return [
      'Before: ' + a.source + ' — listed ' + dateText(a.listedAt) + ' UTC — ' + counted(ta.files, 'file') + ', ' +
        bytesText(ta.bytes) + ' (' + counted(ta.bytes, 'byte') + ')',
      'After: ' + b.source + ' — listed ' + dateText(b.listedAt) + ' UTC — ' + counted(tb.files, 'file') + ', ' +
        bytesText(tb.bytes) + ' (' + counted(tb.bytes, 'byte') + '); change ' + signedBytes(tb.bytes - ta.bytes) +
        ', ' + signedCount(tb.files - ta.files) + ' files',
      'Added ' + counted(t.added.files, 'file') + ' (' + counted(t.added.bytes, 'byte') + '), removed ' +
        counted(t.removed.files, 'file') + ' (' + counted(t.removed.bytes, 'byte') + '), changed ' +
        counted(t.changed.files, 'file') + ' (' + signedCount(t.changed.growth) + ' bytes), moved ' + counted(t.moved.files, 'file') + ' (' + counted(t.moved.bytes, 'byte') + ') and ' +
        counted(t.foldersMoved, 'folder') + '; folders new ' + count(t.foldersAdded) + ', gone ' + count(t.foldersRemoved) +
        (t.content.files ? '; content changed ' + counted(t.content.files, 'file') + ' (' + counted(t.content.bytes, 'byte') + ')' : '') +
        (t.notCompared ? '; content not compared ' + counted(t.notCompared, 'file') : '') +
        (t.notRead ? '; not read ' + counted(t.notRead, 'folder') : ''),
    ].join('\n');
  }

  // ---- the tree ----

  // A folder's subtree bytes and files before and after: at its path or,
  // moved, where it came from; an old folder (gone, or moved away from
  // inside a gone one) has nothing after.
  function sums(f) {
    const e = store.folderEntry[f];
    if (!cmp.isNew[e]) return { before: store.size[e], after: 0, filesBefore: store.subFiles[f], filesAfter: 0 };
    if (cmp.status[e] === ADDED) return { after: store.size[e], filesAfter: store.subFiles[f], ...movedInto(f) };
    const o = cmp.partner[e];
    return { before: o >= 0 ? store.size[o] : 0, after: store.size[e],
      filesBefore: o >= 0 ? store.subFiles[store.folderOf[o]] : 0, filesAfter: store.subFiles[f] };
  }
  // What a new folder holds that was elsewhere before: only the rest is new in it.
  const movedCache = new Map();
  function movedInto(f) {
    if (movedCache.has(f)) return movedCache.get(f);
    let before = 0;
    let filesBefore = 0;
    for (let e = store.folderEntry[f] + 1; e < store.folderEnd[f]; e++) {
      if (!cmp.from.has(e)) continue;
      const o = cmp.from.get(e);
      before += store.size[o];
      if (store.kind[e] !== KIND_FOLDER) filesBefore++;
      else {
        filesBefore += store.subFiles[store.folderOf[o]];
        e = store.folderEnd[store.folderOf[e]] - 1; // all of it moved with it
      }
    }
    const out = { before, filesBefore };
    movedCache.set(f, out);
    return out;
  }
  const folderChange = (f) => {
    const s = sums(f);
    return s.after - s.before;
  };

  // Its subfolders; a kept folder's with those gone from it. New, gone and
  // moved folders open like any other.
  function compareChildren(f) {
    const kids = Array.from(store.children.subarray(store.childStart[f], store.childStart[f + 1]));
    const out = cmp.kept(f) ? kids.concat(cmp.gone.get(f) || []) : kids;
    return onlyChanged ? out.filter((k) => cmp.changedBelow(k)) : out;
  }

  // The folder a gone folder shows under: its old parent's new partner.
  function treeParent(f) {
    const p = parentFolder(f);
    if (p < 0 || cmp.isNew[store.folderEntry[f]]) return p;
    return cmp.kept(p) ? store.folderOf[cmp.partner[store.folderEntry[p]]] : p;
  }

  function children(f, order) {
    const kids = compareChildren(f);
    const key = order === 'delta' ? (k) => -Math.abs(folderChange(k)) : order === 'change' ? (k) => -folderChange(k)
      : order === 'size' ? (k) => -Math.max(sums(k).after, sums(k).before) : null;
    if (key) {
      const v = new Map(kids.map((k) => [k, key(k)]));
      return kids.sort((a, b) => v.get(a) - v.get(b) || a - b);
    }
    const names = new Map(kids.map((k) => [k, folderName(k).toLowerCase()]));
    return kids.sort((a, b) => (names.get(a) < names.get(b) ? -1 : names.get(a) > names.get(b) ? 1 : a - b));
  }

  // A folder's status, and the other end of its move.
  function folderStatus(f) {
    const e = store.folderEntry[f];
    const s = cmp.status[e];
    if (s === ADDED) return { status: 'new', other: '' };
    if (s === REMOVED) return { status: 'gone', other: '' };
    if (s === MOVED && cmp.from.has(e)) return { status: 'moved', other: 'from ' + cmp.relPath(cmp.from.get(e)) };
    if (s === MOVED) return { status: 'in a moved folder', other: '' };
    if (s === MOVED_AWAY) return { status: 'moved away', other: 'to ' + cmp.relPath(cmp.partner[e]) };
    if (s === CHANGE_NOT_READ) return { status: 'not read', other: '' };
    return { status: '', other: '' };
  }

  function treeRow(row, f, up) {
    const s = sums(f);
    const change = s.after - s.before;
    const files = s.filesAfter - s.filesBefore;
    const { status, other } = folderStatus(f);
    // Bars in proportion to the largest change beside it.
    let most = Math.abs(change);
    if (up >= 0) for (const k of compareChildren(up)) most = Math.max(most, Math.abs(folderChange(k)));
    const share = most > 0 ? Math.abs(change) / most : 0;
    const label = folderName(f) + (status ? ' (' + status + (other ? ' ' + other : '') + ')' : '') + ', ' +
      bytesText(s.after) + ' after, ' + signedBytes(change) + ', ' + signedCount(files) + ' files';
    row.setAttribute('aria-label', label);
    row.title = label;
    row.dataset.change = String(change);
    row.dataset.status = status || 'kept';
    const look = status ? ' st-' + status.split(' ')[0] : '';
    const name = el('span', 'tname' + look, folderName(f));
    const badge = el('span', 'badge' + look, status);
    if (!status) badge.hidden = true;
    // Where a move came from or went, after its badge.
    const where = el('span', 'tfrom', other);
    if (!other) where.hidden = true;
    const bar = el('span', 'cbar');
    const half = el('span', 'cneg');
    const fill = el('div');
    const grow = el('span', 'cpos');
    const fill2 = el('div');
    (change < 0 ? fill : fill2).style.width = (share * 100).toFixed(1) + '%';
    half.appendChild(fill);
    grow.appendChild(fill2);
    bar.append(half, grow);
    return [name, badge, where, el('span', 'tcount', signedCount(files)),
      el('span', 'tdelta ' + (change < 0 ? 'down' : change > 0 ? 'up' : ''), signedBytes(change)), bar,
      el('span', 'tsize', bytesText(s.after))];
  }

  function crumbNote(f) {
    const s = sums(f);
    const { status, other } = folderStatus(f);
    return (other ? status + ' ' + other + '; ' : '') + bytesText(s.before) + ' before, ' + bytesText(s.after) + ' after (' +
      signedBytes(s.after - s.before) + '); ' + counted(s.filesBefore, 'file') + ' before, ' + counted(s.filesAfter, 'file') + ' after';
  }

  // ---- a folder's entries ----

  // Its files and links after, and those removed from it.
  function entries(f) {
    const e = store.folderEntry[f];
    const out = folderFiles(f);
    if (cmp.isNew[e] && cmp.kept(f)) {
      for (const o of folderFiles(store.folderOf[cmp.partner[e]])) if (cmp.status[o] === REMOVED) out.push(o);
    }
    return out;
  }

  function entryStatus(e) {
    const s = cmp.status[e];
    return s === MOVED ? 'moved from ' + cmp.movedFrom(e) : STATUS_TEXT[s];
  }

  // Size and time before and after: an entry's partner by path or move; an
  // unchanged one is as it was.
  function sides(e) {
    const p = cmp.partner[e];
    if (cmp.isNew[e] && cmp.status[e] === SAME && p < 0 && store.kind[e] !== KIND_FOLDER) return { before: e, after: e };
    if (cmp.isNew[e]) return { before: p >= 0 ? p : -1, after: e };
    return { before: e, after: p >= 0 && cmp.status[e] !== MOVED_AWAY ? p : -1 };
  }

  function cell(e, key) {
    const { before, after } = sides(e);
    switch (key) {
      case 'status': return entryStatus(e);
      case 'before': return before >= 0 ? count(store.size[before]) : '';
      case 'after': return after >= 0 ? count(store.size[after]) : '';
      case 'change': return signedCount((after >= 0 ? store.size[after] : 0) - (before >= 0 ? store.size[before] : 0));
      case 'mbefore': return before >= 0 ? dateText(store.mtime[before]) : '';
      case 'mafter': return after >= 0 ? dateText(store.mtime[after]) : '';
      default: return entryCell(page, e, key);
    }
  }

  // A number per entry for sorting by the columns of a comparison.
  function sortValue(e, key) {
    const { before, after } = sides(e);
    const b = before >= 0 ? store.size[before] : 0;
    const a = after >= 0 ? store.size[after] : 0;
    switch (key) {
      case 'status': return cmp.status[e];
      case 'before': return b;
      case 'after': return a;
      case 'change': return a - b;
      case 'mbefore': return before >= 0 ? store.mtime[before] : 0;
      default: return after >= 0 ? store.mtime[after] : 0; // 'mafter'
    }
  }

  // In place; `list` may be a typed array.
  function sortCompared(list, key, up) {
    if (!COMPARED_KEYS.has(key)) return sortEntries(list, key, up);
    const v = new Map(Array.from(list, (e) => [e, sortValue(e, key)]));
    const sorted = Array.from(list).sort((a, b) => (up ? v.get(a) - v.get(b) : v.get(b) - v.get(a)) || a - b);
    for (let i = 0; i < sorted.length; i++) list[i] = sorted[i];
    return list;
  }

  // The folder a hit shows in: an old entry in the one that took its folder's place.
  function hitFolder(e) {
    let f = store.kind[e] === KIND_FOLDER ? store.folderOf[e] : store.parent[e];
    if (!cmp.isNew[store.folderEntry[f]] && cmp.kept(f)) f = store.folderOf[cmp.partner[store.folderEntry[f]]];
    return f;
  }

  function csv(list) {
    const lines = ['path,name,kind,status,from,old_size,new_size,size_change,old_modified,new_modified'];
    for (const e of list) {
      const { before, after } = sides(e);
      const b = before >= 0 ? store.size[before] : 0;
      const a = after >= 0 ? store.size[after] : 0;
      lines.push([entryPath(e), entryName(store, e), page.kindText(e),
        STATUS_TEXT[cmp.status[e]], cmp.movedFrom(e), before >= 0 ? String(b) : '', after >= 0 ? String(a) : '',
        String(a - b), before >= 0 ? isoText(store.mtime[before]) : '', after >= 0 ? isoText(store.mtime[after]) : '',
      ].map(csvField).join(','));
    }
    return lines;
  }

  // ---- the treemap: sized by the larger side, so that what is gone shows too ----

  function mapItems(f) {
    const items = [];
    for (const c of compareChildren(f)) {
      const bytes = Math.max(sums(c).before, sums(c).after);
      if (bytes > 0) items.push({ folder: c, bytes, name: folderName(c) });
    }
    for (const e of page.files) {
      const { before, after } = sides(e);
      const bytes = Math.max(before >= 0 ? store.size[before] : 0, after >= 0 ? store.size[after] : 0);
      if (bytes > 0) items.push({ entry: e, bytes, name: entryName(store, e) });
    }
    return items;
  }

  // An item's kind of change, and its colour.
  function changeKind(item) {
    const e = item.folder !== undefined ? store.folderEntry[item.folder] : item.entry;
    if (e === undefined) return 'other';
    const s = cmp.status[e];
    if (s === ADDED) return 'new';
    if (s === REMOVED) return 'gone';
    if (s === MOVED || s === MOVED_AWAY) return 'moved';
    if (s === CHANGE_NOT_READ) return 'other';
    const { before, after } = sides(e);
    const d = store.size[after] - store.size[before];
    return d > 0 ? 'grown' : d < 0 ? 'shrunk' : s === SAME ? 'unchanged' : 'touched';
  }
  const COLOURS = {
    other: 'hsl(0, 0%, 80%)', new: 'hsl(130, 45%, 62%)', gone: 'hsl(0, 55%, 68%)', moved: 'hsl(215, 40%, 76%)',
    grown: 'hsl(130, 40%, 78%)',
    shrunk: 'hsl(20, 70%, 78%)', unchanged: 'hsl(210, 10%, 86%)', touched: 'hsl(210, 10%, 80%)',
  };

  function paint(d, item) {
    const kind = changeKind(item);
    d.style.background = COLOURS[kind];
    d.dataset.change = kind === 'touched' ? 'unchanged' : kind;
  }

  // ---- largest additions and removals ----

  const largest = {
    name: 'largest',
    label: 'Largest changes',
    redraw() {
      const panel = $('panel-largest');
      panel.replaceChildren();
      const rows = (list) => list.slice(0, 100).map((e) => [cmp.relPath(e), store.kind[e] === KIND_FOLDER ? 'folder' : 'file',
        count(store.size[e]), store.kind[e] === KIND_FOLDER ? counted(store.subFiles[store.folderOf[e]], 'file') : '']);
      const head = [{ label: 'Path', tail: true }, { label: 'Kind', width: 70 }, { label: 'Bytes', num: true, width: 150 },
        { label: 'Holds', num: true, width: 120 }];
      panel.append(el('h2', '', 'Largest 100 additions'), table(head, rows(cmp.additions)),
        el('h2', '', 'Largest 100 removals'), table(head, rows(cmp.removals)));
    },
    csv: () => ({ lines: csv(cmp.additions.slice(0, 100).concat(cmp.removals.slice(0, 100))),
      name: (page.folder >= 0 ? folderName(page.folder) : 'folder') + ' largest.csv' }),
  };

  const fileColumns = [
    { key: 'name', label: 'Name', grow: true },
    { key: 'status', label: 'Status', width: 130 },
    { key: 'before', label: 'Before', width: 80, num: true },
    { key: 'after', label: 'After', width: 80, num: true },
    { key: 'change', label: 'Change', width: 72, num: true },
    { key: 'mbefore', label: 'Modified before', width: 132 },
    { key: 'mafter', label: 'Modified after', width: 132 },
  ];
  // Narrower than a listing's, so that the folder keeps room beside the status.
  const resultColumns = [
    { key: 'name', label: 'Name', width: 190 },
    { key: 'path', label: 'Folder', grow: true, tail: true },
    { key: 'kind', label: 'Kind', width: 50 },
    { key: 'status', label: 'Status', width: 130 },
    { key: 'change', label: 'Change', width: 80, num: true },
    { key: 'modified', label: 'Modified (UTC)', width: 140 },
  ];

  return {
    prepare,
    start,
    header,
    // New and removed entries are one list: by name, so that each is where it is looked for.
    sortKey: 'name',
    rootRows: () => store.listings.filter((l) => l.root >= 0).map((l) => l.root).slice(-1),
    children,
    hasChildren: (f) => compareChildren(f).length > 0,
    treeParent,
    treeRow,
    entries,
    crumbNote,
    cell,
    sortEntries: sortCompared,
    hitFolder,
    csv,
    views: [filesView(page, fileColumns), resultsView(page, resultColumns), treemapView(page, mapItems, paint),
      typesView(page), largest, yearsView(page)],
  };
}
