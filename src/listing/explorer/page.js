'use strict';
/* global $, el, counted, listingModel, FolderTree, KIND_FOLDER, plainMode, compareMode */
// The page: one object that holds the decoded listing, its model, the
// worker and what is shown, and hands itself to its mode (a listing, or a
// comparison of two) and to the mode's views. A mode says what the tree,
// the path bar and an entry's cells show; its views are the tabs, each set
// up once, redrawn when shown, and able to give a CSV of what it shows.
// Every name reaches the document as text, never as markup.

class Page {
  constructor(store, worker) {
    this.store = store;
    this.worker = worker;
    this.model = listingModel(store);
    this.catalogue = store.listings.length > 1;
    // The chosen folder, its entries in the chosen order, the shown tab.
    this.folder = -1;
    this.files = [];
    this.sortKey = null;
    this.sortUp = true;
    this.tab = 'files';
    // The chosen folder's types, largest files and years, from the worker.
    this.summaryId = 0;
    this.summary = null;
    // The running search and its hits in the shown order.
    this.search = { id: 0, hits: new Int32Array(1024), count: 0, shown: 0, done: true, sortKey: null, sortUp: true, started: 0 };
    const both = store.listings.length === 2 && store.listings.every((l) => l.root >= 0);
    this.mode = store.comparison && both ? compareMode(this) : plainMode(this);
    this.views = new Map(this.mode.views.map((v) => [v.name, v]));
    // A mode may list a folder's entries in an order of its own until another is chosen.
    if (this.mode.sortKey) this.sortKey = this.mode.sortKey;
    this.tree = null;
    if (worker) {
      worker.onmessage = (event) => {
        const m = event.data;
        if (m.op === 'hits') this.searchHits(m);
        else if (m.op === 'summary' && m.id === this.summaryId) this.summaryCame(m);
      };
    }
  }

  subtreeBytes(f) {
    return this.store.size[this.store.folderEntry[f]];
  }

  kindText(e) {
    return ['file', 'link', 'folder'][this.store.kind[e]];
  }

  build() {
    const { store } = this;
    if (this.mode.prepare) this.mode.prepare();
    $('summary').textContent = this.mode.header();
    if (store.listings.length === 1) document.title = 'Tallyfold: ' + store.listings[0].source;
    this.tree = new FolderTree(this);
    for (const tab of $('tabs').querySelectorAll('[role=tab]')) {
      const v = this.views.get(tab.id.slice(4));
      tab.hidden = !v;
      if (!v) continue;
      if (v.label) tab.textContent = v.label;
      tab.addEventListener('click', () => this.showTab(v.name));
    }
    for (const v of this.views.values()) if (v.setup) v.setup();
    $('tabs').addEventListener('keydown', (e) => {
      const tabs = [...$('tabs').querySelectorAll('[role=tab]:not([hidden])')];
      const at = tabs.indexOf(document.activeElement);
      if (at < 0 || (e.key !== 'ArrowRight' && e.key !== 'ArrowLeft')) return;
      const next = tabs[(at + (e.key === 'ArrowRight' ? 1 : tabs.length - 1)) % tabs.length];
      next.focus();
      next.click();
    });
    $('map-up').addEventListener('click', () => {
      const up = this.folder >= 0 ? this.model.parentFolder(this.folder) : -1;
      if (up >= 0) this.open(up);
    });
    $('export').addEventListener('click', () => this.exportCsv());
    let typing = 0;
    $('search').addEventListener('input', () => {
      clearTimeout(typing);
      typing = setTimeout(() => this.startSearch(), 60);
    });
    $('search-kind').addEventListener('change', () => this.startSearch());
    $('search-form').addEventListener('submit', (e) => {
      e.preventDefault();
      clearTimeout(typing);
      this.startSearch();
    });
    window.addEventListener('hashchange', () => this.openHash());
    window.addEventListener('resize', () => this.drawCrumbs());

    this.loadWorker();
    if (this.mode.start) this.mode.start();
    this.showTab('files');
    if (this.tree.rows.length) {
      if (this.folderFromHash() >= 0) this.openHash();
      else {
        this.tree.setActive(0, false);
        this.chooseFolder(this.tree.rows[0], false);
      }
    }
  }

  // The whole listing for the worker, whose names came chunk by chunk.
  loadWorker() {
    if (!this.worker) return;
    const s = this.store;
    this.worker.postMessage({
      op: 'load', count: s.count, kind: s.kind.slice(), chunkOf: s.chunkOf.slice(),
      nameStart: s.nameStart.slice(), nameEnd: s.nameEnd.slice(), size: s.size.slice(), mtime: s.mtime.slice(),
    });
  }

  // ---- the chosen folder ----

  open(f) {
    this.tree.reveal(f);
    this.chooseFolder(f, false);
  }

  chooseFolder(f, fromHash) {
    if (f === this.folder) return;
    this.folder = f;
    this.tree.select(f);
    this.files = this.mode.entries(f);
    if (this.sortKey) this.mode.sortEntries(this.files, this.sortKey, this.sortUp);
    this.views.get('files').folderChanged();
    this.drawCrumbs();
    if (!fromHash && f >= 0) {
      const hash = '#' + encodeURIComponent(this.folderRef(f)).replace(/%2F/g, '/');
      if (location.hash !== hash) history.replaceState(null, '', hash);
    }
    this.summary = null;
    const shown = this.views.get(this.tab);
    if (shown.perFolder) shown.redraw();
    this.requestSummary();
  }

  // Its entry chosen in the Files view.
  showEntry(e) {
    this.showTab('files');
    this.views.get('files').choose(e);
  }

  // The fragment of a folder: its path, after its listing's number in a
  // catalogue.
  folderRef(f) {
    const { folderPath, rootOf } = this.model;
    if (!this.catalogue) return folderPath(f);
    const root = rootOf(f);
    return (this.store.listings.findIndex((l) => l.root === root) + 1) + '|' + folderPath(f);
  }

  folderFromHash() {
    if (!location.hash) return -1;
    const { store } = this;
    const { folderPath, folderName } = this.model;
    let ref;
    try {
      ref = decodeURIComponent(location.hash.slice(1));
    } catch {
      return -1;
    }
    let listings = store.listings;
    if (this.catalogue) {
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

  openHash() {
    const f = this.folderFromHash();
    if (f >= 0) {
      this.tree.reveal(f);
      this.chooseFolder(f, true);
    }
  }

  // The path bar: the root, the chosen folder and as many folders next to it
  // as fit; those between give way to one '…' that holds the whole path.
  drawCrumbs() {
    const { folderName, folderPath } = this.model;
    const box = $('crumbs');
    box.replaceChildren();
    const chain = [];
    for (let g = this.folder; g >= 0; g = this.mode.treeParent(g)) chain.push(g);
    chain.reverse();
    const path = el('div', 'crumb-path');
    const parts = chain.map((g, k) => {
      const part = el('span', 'crumb');
      if (k) part.appendChild(document.createTextNode('\u00a0›\u00a0'));
      const b = el('button', '', folderName(g));
      b.type = 'button';
      b.title = folderPath(g);
      b.addEventListener('click', () => this.open(g));
      part.appendChild(b);
      path.appendChild(part);
      return part;
    });
    box.appendChild(path);
    const f = this.folder;
    if (f >= 0) box.appendChild(el('span', 'crumb-note', '— ' + this.mode.crumbNote(f)));
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

  requestSummary() {
    if (this.folder < 0 || !this.worker) return;
    const f = this.folder;
    this.summaryId++;
    this.worker.postMessage({ op: 'summary', id: this.summaryId, from: this.store.folderEntry[f], to: this.store.folderEnd[f] });
  }

  summaryCame(m) {
    this.summary = m;
    for (const v of this.views.values()) if (v.fromSummary) v.redraw();
  }

  // ---- search ----

  startSearch() {
    const search = this.search;
    const query = $('search').value;
    search.id++;
    search.count = 0;
    search.shown = 0;
    search.done = false;
    search.started = performance.now();
    // New hits come in listing order.
    search.sortKey = null;
    this.views.get('results').sortShown();
    if (!query) {
      search.done = true;
      $('search-count').textContent = '';
      this.views.get('results').setCount(0);
      if (this.tab === 'results') this.showTab('files');
      return;
    }
    if (!this.worker) return;
    $('search-count').textContent = 'Searching…';
    this.worker.postMessage({ op: 'search', id: search.id, query, filter: Number($('search-kind').value) });
    if (this.tab !== 'results') this.showTab('results');
  }

  searchHits(message) {
    const search = this.search;
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
    const n = counted(search.count, 'result');
    $('search-count').textContent = search.done ? n : n + ' so far…';
    // For the benchmark and the tests: when the first hits and the count came.
    if (h.length && search.shown === h.length) {
      document.body.dataset.firstHitsMs = String(Math.round(performance.now() - search.started));
    }
    if (search.done) document.body.dataset.searchMs = String(Math.round(performance.now() - search.started));
    this.views.get('results').setCount(search.shown);
  }

  // A hit's folder opened, and a file or link chosen in it.
  openHit(e) {
    this.open(this.mode.hitFolder(e));
    if (this.store.kind[e] !== KIND_FOLDER) this.showEntry(e);
  }

  // ---- tabs and export ----

  showTab(name) {
    this.tab = name;
    for (const v of this.views.values()) {
      const on = v.name === name;
      $('tab-' + v.name).setAttribute('aria-selected', String(on));
      $('tab-' + v.name).tabIndex = on ? 0 : -1;
      $('panel-' + v.name).hidden = !on;
    }
    this.views.get(name).redraw();
  }

  // The shown view's CSV; a view without one gives the chosen folder's entries.
  exportCsv() {
    const v = this.views.get(this.tab);
    const out = (v.csv && v.csv()) || this.views.get('files').csv();
    saveCsv(out.lines, out.name);
  }
}

function csvField(text) {
  return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
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
