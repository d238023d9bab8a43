'use strict';
/* global KIND_FILE, KIND_LINK, KIND_FOLDER, FILETIME_UNIX_SECONDS, require */
// Reads the listing data of an explorer page (docs/explorer-format.md) into
// flat typed arrays: one slot per file, link and folder, in listing order,
// and one per folder. Names stay inside the chunk texts they came in.

// Under Node.js (the tests) the names the page's pieces share come from their file.
if (typeof module !== 'undefined' && typeof KIND_FOLDER === 'undefined') Object.assign(globalThis, require('./constants.js'));

const MORE_BASE = 47; // digits 'P'..'~' carry more of a number
const LAST_BASE = 46; // digits '!'..'O' without '<' end it

const REC_FILE = 0;
const REC_LINK = 1;
const REC_OPEN = 2;
const REC_CLOSE = 3;
const REC_TYPE = 4;
const REC_LISTING = 5;
const REC_TOTALS = 6;
const REC_COMPARISON = 7;

function grownCopy(array, length) {
  const next = new array.constructor(Math.max(length, array.length * 2));
  next.set(array);
  return next;
}

// The extension a name's type is inferred from: after the last dot (not a
// leading one), ASCII letters lowered.
function extensionOf(name) {
  const dot = name.lastIndexOf('.');
  if (dot <= 0) return '';
  return lowerAscii(name.slice(dot + 1));
}

function lowerAscii(text) {
  return /[A-Z]/.test(text) ? text.replace(/[A-Z]+/g, (s) => s.toLowerCase()) : text;
}

// A slot written as an empty slot and then this form: %25, %2F, %3C, %0D.
function unescapeSlot(text) {
  return text.replace(/%(25|2F|3C|0D)/g, (m, hex) => String.fromCharCode(parseInt(hex, 16)));
}

// A chunk's names part, and what ends each slot in it: as written ('/'),
// or, when it holds escaped slots, those read back and every slot ended by
// U+0000 (no name holds it; an unescaped one may hold '/').
function cleanNames(names) {
  if (names.charCodeAt(0) !== 47 && names.indexOf('//') < 0) return { names, end: '/' };
  const parts = names.split('/');
  const out = [];
  for (let i = 0; i < parts.length - 1; i++) {
    if (parts[i] === '' && i + 1 < parts.length - 1) out.push(unescapeSlot(parts[++i]));
    else out.push(parts[i]);
  }
  return { names: out.join('\0') + '\0', end: '\0' };
}

class Decoder {
  // `expected`: about how many entries will come, so the arrays seldom grow.
  constructor(expected = 1024) {
    const cap = Math.max(16, Math.ceil(expected));
    this.count = 0;
    this.kind = new Uint8Array(cap);
    this.size = new Float64Array(cap); // a folder's: its subtree bytes
    this.mtime = new Float64Array(cap); // seconds since 1601 (FILETIME / 10^7)
    this.ctime = new Float64Array(cap);
    this.type = new Uint32Array(cap); // 0: as its extension says, else the type's number + 1
    this.parent = new Int32Array(cap); // folder number, -1 for a listing's root
    this.chunkOf = new Uint32Array(cap);
    this.nameStart = new Uint32Array(cap);
    this.nameEnd = new Uint32Array(cap);
    this.folderOf = new Int32Array(cap); // an entry's folder number, -1 for files
    const fcap = 64;
    this.folderCount = 0;
    this.folderEntry = new Int32Array(fcap);
    this.folderEnd = new Int32Array(fcap); // entry after its subtree
    this.folderFiles = new Float64Array(fcap); // its own listed files, as written
    this.folderBytes = new Float64Array(fcap);
    this.skipped = new Map(); // folder -> reason
    this.types = [''];
    this.typeByExtension = new Map(); // extension -> [entry, type, entry, type, ...] as given
    this.chunks = [];
    this.slotEnds = []; // per chunk: what ends its slots
    this.listings = [];
    this.stack = [];
    this.lastTime = 0;
    this.comparison = false; // a comparison record came first: two listings to compare
  }

  addEntry(kind, chunk, start, end) {
    const i = this.count;
    if (i === this.kind.length) {
      for (const key of ['kind', 'size', 'mtime', 'ctime', 'type', 'parent', 'chunkOf', 'nameStart', 'nameEnd',
        'folderOf']) this[key] = grownCopy(this[key], i + 1);
    }
    this.kind[i] = kind;
    this.chunkOf[i] = chunk;
    this.nameStart[i] = start;
    this.nameEnd[i] = end;
    this.parent[i] = this.stack.length ? this.stack[this.stack.length - 1] : -1;
    this.folderOf[i] = -1;
    this.count = i + 1;
    return i;
  }

  addFolder(entry) {
    const f = this.folderCount;
    if (f === this.folderEntry.length) {
      for (const key of ['folderEntry', 'folderEnd', 'folderFiles', 'folderBytes']) this[key] = grownCopy(this[key], f + 1);
    }
    this.folderEntry[f] = entry;
    this.folderOf[entry] = f;
    this.folderCount = f + 1;
    return f;
  }

  // One chunk element's text: the numbers, a line feed, the names.
  chunk(text) {
    const split = text.indexOf('\n');
    if (split < 0) throw new Error('explorer data: a chunk without names');
    const { names, end: slotEnd } = cleanNames(text.slice(split + 1));
    const chunk = this.chunks.length;
    this.chunks.push(names);
    this.slotEnds.push(slotEnd);
    // All numbers first, in one tight loop; then the records take them in turn.
    if (!this.values || this.values.length < split) this.values = new Float64Array(split * 1.5);
    const values = this.values;
    let n = 0;
    let acc = 0;
    let open = false;
    for (let p = 0; p < split; p++) {
      const c = text.charCodeAt(p);
      if (c >= 0x50) {
        acc = acc * MORE_BASE + (c - 0x50);
        open = true;
      } else {
        values[n++] = acc * LAST_BASE + (c < 0x3c ? c - 0x21 : c - 0x22);
        acc = 0;
        open = false;
      }
    }
    if (open) throw new Error('explorer data: a number cut short');
    const cut = () => new Error('explorer data: a record cut short');
    let v = 0;
    let q = 0; // in names
    const slot = () => {
      const end = names.indexOf(slotEnd, q);
      if (end < 0) throw new Error('explorer data: a name missing');
      const start = q;
      q = end + 1;
      return start;
    };
    while (v < n) {
      const head = values[v++];
      const rec = head % 8;
      const x = (head - rec) / 8;
      if (rec === REC_FILE || rec === REC_LINK) {
        if (v + 3 > n) throw cut();
        const start = slot();
        const i = this.addEntry(rec === REC_FILE ? KIND_FILE : KIND_LINK, chunk, start, q - 1);
        this.size[i] = values[v];
        const zm = values[v + 1];
        const zc = values[v + 2];
        v += 3;
        const m = this.lastTime + (zm % 2 ? -(zm + 1) / 2 : zm / 2);
        this.mtime[i] = m;
        this.lastTime = m;
        this.ctime[i] = m + (zc % 2 ? -(zc + 1) / 2 : zc / 2);
        // Types given by extension are looked up when shown (typeOf), so
        // reading costs no string work per file.
        this.type[i] = x;
        if (x !== 0) {
          if (x > this.types.length) throw new Error('explorer data: an unknown type');
          const dot = names.lastIndexOf('.', q - 2);
          const ext = dot > start ? lowerAscii(names.slice(dot + 1, q - 1)) : '';
          let given = this.typeByExtension.get(ext);
          if (!given) this.typeByExtension.set(ext, (given = []));
          given.push(i, x - 1);
        }
      } else if (rec === REC_OPEN) {
        const start = slot();
        const i = this.addEntry(KIND_FOLDER, chunk, start, q - 1);
        const f = this.addFolder(i);
        if (!this.stack.length) {
          const listing = this.listings[this.listings.length - 1];
          if (!listing || listing.root >= 0) throw new Error('explorer data: a root outside a listing');
          listing.root = f;
        }
        this.stack.push(f);
      } else if (rec === REC_CLOSE) {
        if (!this.stack.length) throw new Error('explorer data: a folder closed twice');
        if (v + 5 > n) throw cut();
        const f = this.stack.pop();
        const i = this.folderEntry[f];
        this.folderFiles[f] = values[v];
        this.folderBytes[f] = values[v + 1];
        this.size[i] = values[v + 2];
        const zm = values[v + 3];
        const zc = values[v + 4];
        v += 5;
        const m = this.lastTime + (zm % 2 ? -(zm + 1) / 2 : zm / 2);
        this.mtime[i] = m;
        this.lastTime = m;
        this.ctime[i] = m + (zc % 2 ? -(zc + 1) / 2 : zc / 2);
        this.folderEnd[f] = this.count;
        if (x === 1) {
          const start = slot();
          this.skipped.set(f, names.slice(start, q - 1));
        }
      } else if (rec === REC_TYPE) {
        const start = slot();
        this.types.push(names.slice(start, q - 1));
      } else if (rec === REC_LISTING) {
        if (this.stack.length) throw new Error('explorer data: a listing inside a folder');
        if (v + 2 > n) throw cut();
        const listedAt = values[v];
        const separator = String.fromCharCode(values[v + 1]);
        v += 2;
        const start = slot();
        this.listings.push({ source: names.slice(start, q - 1), listedAt, separator, root: -1, totals: null });
      } else if (rec === REC_TOTALS) {
        const listing = this.listings[this.listings.length - 1];
        if (!listing) throw new Error('explorer data: totals outside a listing');
        if (v + 4 > n) throw cut();
        listing.totals = { folders: values[v], files: values[v + 1], bytes: values[v + 2], skipped: values[v + 3] };
        v += 4;
      } else if (rec === REC_COMPARISON) {
        if (this.listings.length) throw new Error('explorer data: a comparison after a listing');
        this.comparison = true;
      } else {
        throw new Error('explorer data: an unknown record ' + rec);
      }
    }
  }

  // The model the page works with; folders still open (a cut listing) are
  // closed where the data ends.
  finish() {
    while (this.stack.length) this.folderEnd[this.stack.pop()] = this.count;
    const m = this.folderCount;
    const childCount = new Uint32Array(m + 1);
    const rootFolders = [];
    for (let f = 0; f < m; f++) {
      const p = this.parent[this.folderEntry[f]];
      if (p >= 0) childCount[p]++;
      else rootFolders.push(f);
    }
    const childStart = new Uint32Array(m + 1);
    for (let f = 0; f < m; f++) childStart[f + 1] = childStart[f] + childCount[f];
    const children = new Int32Array(childStart[m]);
    const fill = childStart.slice(0, m);
    for (let f = 0; f < m; f++) {
      const p = this.parent[this.folderEntry[f]];
      if (p >= 0) children[fill[p]++] = f;
    }
    // Counts below each folder, gathered in reverse pre-order.
    const subFiles = new Float64Array(m);
    const subFolders = new Float64Array(m);
    for (let f = 0; f < m; f++) subFiles[f] = this.folderFiles[f];
    for (let f = m - 1; f >= 0; f--) {
      const p = this.parent[this.folderEntry[f]];
      if (p >= 0) {
        subFiles[p] += subFiles[f];
        subFolders[p] += subFolders[f] + 1;
      }
    }
    // Copies at their length where the arrays grew much beyond it.
    const trim = (a, len) => (a.length > len * 1.5 + 1024 ? a.slice(0, len) : a.subarray(0, len));
    const n = this.count;
    return {
      count: n,
      kind: trim(this.kind, n), size: trim(this.size, n), mtime: trim(this.mtime, n), ctime: trim(this.ctime, n),
      type: trim(this.type, n), parent: trim(this.parent, n), chunkOf: trim(this.chunkOf, n),
      nameStart: trim(this.nameStart, n), nameEnd: trim(this.nameEnd, n), folderOf: trim(this.folderOf, n),
      folderCount: m, folderEntry: trim(this.folderEntry, m), folderEnd: trim(this.folderEnd, m),
      folderFiles: trim(this.folderFiles, m), folderBytes: trim(this.folderBytes, m),
      subFiles, subFolders, childStart, children, rootFolders,
      skipped: this.skipped, types: this.types, chunks: this.chunks, slotEnds: this.slotEnds, listings: this.listings, comparison: this.comparison,
      typeByExtension: this.typeByExtension,
    };
  }
}

function entryName(model, i) {
  return model.chunks[model.chunkOf[i]].slice(model.nameStart[i], model.nameEnd[i]);
}

// The type of a file: its own, or the one last given to its extension.
function typeOf(model, i) {
  const x = model.type[i];
  if (x !== 0) return model.types[x - 1];
  const given = model.typeByExtension.get(extensionOf(entryName(model, i)));
  if (!given) return '';
  let lo = 0;
  let hi = given.length / 2 - 1;
  if (given[0] > i) return '';
  while (lo < hi) {
    const mid = (lo + hi + 1) >> 1;
    if (given[mid * 2] < i) lo = mid;
    else hi = mid - 1;
  }
  return model.types[given[lo * 2 + 1]];
}

// Seconds since 1601 as milliseconds since 1970.
function timeToDate(seconds) {
  return new Date((seconds - FILETIME_UNIX_SECONDS) * 1000);
}

if (typeof module !== 'undefined') {
  module.exports = { Decoder, entryName, typeOf, extensionOf, timeToDate, cleanNames };
}
