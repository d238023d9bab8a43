'use strict';
/* global KIND_FILE, KIND_LINK, KIND_FOLDER, FILETIME_UNIX_SECONDS, require, RECORD_KINDS, REC_FILE, REC_LINK, REC_OPEN,
   REC_CLOSE, REC_TYPE, REC_LISTING, REC_TOTALS, REC_COMPARISON, MORE_BASE, LAST_BASE, FIRST_MORE_DIGIT, FIRST_LAST_DIGIT,
   NOT_A_DIGIT, HASH_BASE, NO_HASH, CHANGE_TALLY_COUNT, CHANGE_NOT_COMPARED */
// Reads the listing data of an explorer page (docs/explorer-format.md) into
// flat typed arrays: one slot per file, link and folder, in listing order,
// and one per folder. Names stay inside the chunk texts they came in.

// Under Node.js (the tests) the names the page's pieces share come from their files.
if (typeof module !== 'undefined') {
  if (typeof KIND_FOLDER === 'undefined') Object.assign(globalThis, require('./constants.js'));
  if (typeof REC_FILE === 'undefined') Object.assign(globalThis, require('./format.js'));
}

const HASH_BYTES = { xxh128: 16, sha256: 32 };

// A comparison page's changes element: its tallies in order, then the marks
// of entries (docs/explorer-format.md, "Changes").
const CHANGE_TALLIES = ['addedFiles', 'addedBytes', 'removedFiles', 'removedBytes', 'changedFiles', 'changedBytes',
  'changedGrowth', 'movedFiles', 'movedBytes', 'foldersAdded', 'foldersRemoved', 'foldersMoved',
  'contentChangedFiles', 'contentChangedBytes', 'contentNotComparedFiles', 'notReadFolders'];
if (CHANGE_TALLIES.length !== CHANGE_TALLY_COUNT) throw new Error('explorer data: the tallies and format.js differ');

// The numbers of text[0, end) into values, which holds end of them at
// most; their count.
function readNumbers(text, end, values) {
  const more = FIRST_MORE_DIGIT;
  const top = FIRST_MORE_DIGIT + MORE_BASE; // past the last digit
  const gap = NOT_A_DIGIT;
  const first = FIRST_LAST_DIGIT;
  let n = 0;
  let acc = 0;
  let open = false;
  // Below zero once a character is no digit: looked at after the loop, so
  // that reading costs no branch for it.
  let bad = 0;
  for (let p = 0; p < end; p++) {
    const c = text.charCodeAt(p);
    if (c >= more) {
      bad |= top - 1 - c;
      acc = acc * MORE_BASE + (c - more);
      open = true;
    } else {
      bad |= (c - first) | ((c ^ gap) - 1);
      values[n++] = acc * LAST_BASE + (c < gap ? c - first : c - first - 1);
      acc = 0;
      open = false;
    }
  }
  if (bad < 0) throw notADigit(text, 0, end, top);
  if (open) throw new Error('explorer data: a number cut short');
  return n;
}

// The error for the first character of text[from, end) that is no digit
// (those from '!' up to `top`, without '<').
function notADigit(text, from, end, top) {
  let p = from;
  for (; p < end; p++) {
    const c = text.charCodeAt(p);
    if (c < FIRST_LAST_DIGIT || c === NOT_A_DIGIT || c >= top) break;
  }
  const c = text.charCodeAt(p);
  return new Error('explorer data: U+' + c.toString(16).toUpperCase().padStart(4, '0') + ' where a digit belongs');
}

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
    this.chunkFirst = 0; // the last chunk's first entry
    // With hashes: their algorithm, bytes per entry, and per entry 1 when it has one.
    this.hashName = '';
    this.hashWidth = 0;
    this.hash = null;
    this.hashed = null;
    this.duplicates = null; // the groups, once read
    this.changes = null; // a comparison's answer for each entry, once read
  }

  addEntry(kind, chunk, start, end) {
    const i = this.count;
    if (i === this.kind.length) {
      for (const key of ['kind', 'size', 'mtime', 'ctime', 'type', 'parent', 'chunkOf', 'nameStart', 'nameEnd',
        'folderOf']) this[key] = grownCopy(this[key], i + 1);
      if (this.hash) {
        this.hashed = grownCopy(this.hashed, i + 1);
        this.hash = grownCopy(this.hash, this.hashed.length * this.hashWidth);
      }
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
    this.chunkFirst = this.count;
    this.chunks.push(names);
    this.slotEnds.push(slotEnd);
    // All numbers first, in one tight loop; then the records take them in turn.
    if (!this.values || this.values.length < split) this.values = new Float64Array(split * 1.5);
    const values = this.values;
    const n = readNumbers(text, split, values);
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
      const rec = head % RECORD_KINDS;
      const x = (head - rec) / RECORD_KINDS;
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
          // Its last dot looked for inside its own name: names without one
          // must not send the search back over the whole chunk.
          let dot = q - 2;
          while (dot > start && names.charCodeAt(dot) !== 46) dot--;
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

  // The hashes element after a chunk: the algorithm's name and ':', then
  // for each file of the chunk (not links) its digest in base 85 or '~'.
  hashes(text) {
    const colon = text.indexOf(':');
    const name = text.slice(0, colon);
    const width = Object.hasOwn(HASH_BYTES, name) ? HASH_BYTES[name] : 0;
    if (colon < 0 || !width) throw new Error('explorer data: hashes of an unknown kind');
    if (this.hashWidth && this.hashWidth !== width) throw new Error('explorer data: hashes of two kinds');
    if (!this.hash) {
      this.hashName = name;
      this.hashWidth = width;
      this.hashed = new Uint8Array(this.kind.length);
      this.hash = new Uint8Array(this.kind.length * width);
    }
    const hash = this.hash;
    let p = colon + 1;
    for (let i = this.chunkFirst; i < this.count; i++) {
      if (this.kind[i] !== KIND_FILE) continue;
      if (p >= text.length) throw new Error('explorer data: a hash missing');
      if (text.charCodeAt(p) === NO_HASH) {
        p++;
        continue;
      }
      if (p + width * 1.25 > text.length) throw new Error('explorer data: a hash cut short');
      let at = i * width;
      let bad = 0; // below zero once a character is no digit of a digest
      const from = p;
      for (let end = p + width * 1.25; p < end;) {
        let v = 0;
        for (let k = 0; k < 5; k++) {
          const c = text.charCodeAt(p++);
          const d = c < NOT_A_DIGIT ? c - FIRST_LAST_DIGIT : c - FIRST_LAST_DIGIT - 1;
          bad |= d | (HASH_BASE - 1 - d) | ((c ^ NOT_A_DIGIT) - 1);
          v = v * HASH_BASE + d;
        }
        hash[at++] = v >>> 24;
        hash[at++] = (v >>> 16) & 255;
        hash[at++] = (v >>> 8) & 255;
        hash[at++] = v & 255;
      }
      if (bad < 0) throw notADigit(text, from, p, FIRST_LAST_DIGIT + HASH_BASE + 1);
      this.hashed[i] = 1;
    }
    if (p !== text.length) throw new Error('explorer data: hashes left over');
  }

  // The duplicates element: the groups' count, then for each its files'
  // count and their entries, in path order (the first is the original).
  readDuplicates(text) {
    const values = new Float64Array(text.length);
    const count = readNumbers(text, text.length, values);
    const groups = count ? values[0] : 0;
    // Each group takes three numbers or more.
    if (count && groups * 3 > count - 1) throw new Error('explorer data: a duplicate group cut short');
    const start = new Uint32Array(groups + 1);
    const files = new Int32Array(Math.max(0, count - 1 - groups));
    let v = 1;
    let n = 0;
    for (let g = 0; g < groups; g++) {
      const m = values[v++];
      if (!(m >= 2) || v + m > count) throw new Error('explorer data: a duplicate group cut short');
      start[g] = n;
      const first = values[v];
      for (let k = 0; k < m; k++) {
        const e = values[v++];
        if (!(e < this.count) || this.kind[e] !== KIND_FILE || this.size[e] !== this.size[first]) {
          throw new Error('explorer data: a duplicate that is no copy');
        }
        files[n++] = e;
      }
    }
    start[groups] = n;
    if (v !== count) throw new Error('explorer data: duplicates left over');
    this.duplicates = { count: groups, start, files };
  }

  // The changes element of a comparison page: the comparison's tallies, then
  // each marked entry (its gap from the last, its mark × 2 + whether a
  // partner follows, the partner) into per-entry arrays: status (CHANGE_*)
  // and partner (the same entry in the other listing, or -1).
  readChanges(text) {
    if (!this.comparison) throw new Error('explorer data: changes on a page that compares nothing');
    const values = new Float64Array(text.length);
    const count = readNumbers(text, text.length, values);
    if (count < CHANGE_TALLIES.length + 1) throw new Error('explorer data: changes cut short');
    const tally = {};
    CHANGE_TALLIES.forEach((name, k) => { tally[name] = values[k]; });
    const g = tally.changedGrowth;
    tally.changedGrowth = g % 2 ? -(g + 1) / 2 : g / 2;
    const n = this.count;
    const status = new Uint8Array(n);
    const partner = new Int32Array(n).fill(-1);
    const marked = values[CHANGE_TALLIES.length];
    let v = CHANGE_TALLIES.length + 1;
    let e = -1;
    for (let m = 0; m < marked; m++) {
      if (v + 2 > count) throw new Error('explorer data: changes cut short');
      e += values[v++] + 1;
      const code = values[v++];
      const mark = Math.floor(code / 2);
      if (!(e < n) || mark > CHANGE_NOT_COMPARED) throw new Error('explorer data: a change of no entry');
      status[e] = mark;
      if (code % 2) {
        if (v >= count) throw new Error('explorer data: changes cut short');
        const p = values[v++];
        if (!(p < n)) throw new Error('explorer data: a change of no entry');
        partner[e] = p;
      }
    }
    if (v !== count) throw new Error('explorer data: changes left over');
    this.changes = { tally, status, partner };
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
    // Bytes below each folder that copy a file elsewhere: every file of a
    // group after its first, where it lies.
    const dupBytes = this.duplicates ? new Float64Array(m) : null;
    if (dupBytes) {
      const { count, start, files } = this.duplicates;
      for (let g = 0; g < count; g++) {
        for (let k = start[g] + 1; k < start[g + 1]; k++) dupBytes[this.parent[files[k]]] += this.size[files[k]];
      }
      for (let f = m - 1; f >= 0; f--) {
        const p = this.parent[this.folderEntry[f]];
        if (p >= 0) dupBytes[p] += dupBytes[f];
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
      hashName: this.hashName, hashWidth: this.hashWidth, hashed: this.hashed && trim(this.hashed, n),
      hash: this.hash && trim(this.hash, n * this.hashWidth), duplicates: this.duplicates, dupBytes,
      changes: this.changes,
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

// A file's hash in lower-case hex, or '' without one.
function hashHex(model, i) {
  if (!model.hashed || !model.hashed[i]) return '';
  let hex = '';
  for (let at = i * model.hashWidth, end = at + model.hashWidth; at < end; at++) {
    hex += (model.hash[at] < 16 ? '0' : '') + model.hash[at].toString(16);
  }
  return hex;
}

// Seconds since 1601 as milliseconds since 1970.
function timeToDate(seconds) {
  return new Date((seconds - FILETIME_UNIX_SECONDS) * 1000);
}

if (typeof module !== 'undefined') {
  module.exports = { Decoder, entryName, typeOf, extensionOf, timeToDate, cleanNames, hashHex };
}
