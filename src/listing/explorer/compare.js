'use strict';
/* global entryName, KIND_FOLDER, require */
// A comparison of two listings, the earlier first (docs/explorer-format.md,
// record 7), worked out on the decoder's typed arrays as tallyfold-diff
// does it: entries matched by their path below each source and their kind;
// then whole folders moved (largest first), then files and links moved by
// name, size and time; what is left was added or removed. No document here,
// so `node --test` checks it.

if (typeof module !== 'undefined' && typeof entryName === 'undefined') {
  Object.assign(globalThis, require('./constants.js'), require('./decode.js'));
}

// An entry's state. Old entries matched by path share their partner's.
const SAME = 0;
const CHANGED = 1; // a file or link of another size or time; a folder of another subtree size
const ADDED = 2;
const REMOVED = 3;
const MOVED = 4; // now here, and everything in a folder moved here
const MOVED_AWAY = 5; // the old place of a move

function compareListings(store) {
  const n = store.count;
  const { kind, size, mtime, folderEntry, folderEnd, folderOf, parent } = store;
  const [oldListing, newListing] = store.listings;
  const status = new Uint8Array(n);
  const partner = new Int32Array(n).fill(-1); // by path, or the other end of a move
  const isNew = new Uint8Array(n);
  if (newListing && newListing.root >= 0) isNew.fill(1, folderEntry[newListing.root]);

  const next = (e) => (kind[e] === KIND_FOLDER ? folderEnd[folderOf[e]] : e + 1);

  // Pairs the entries below two folders by name and kind, level by level.
  // Folders listed alike hold their entries in the same order: those pair
  // in step, and a map of names takes the rest.
  // Compared where the names lie, without making strings of them.
  const { chunks, chunkOf, nameStart, nameEnd } = store;
  function sameName(a, b) {
    const length = nameEnd[a] - nameStart[a];
    if (nameEnd[b] - nameStart[b] !== length) return false;
    const ta = chunks[chunkOf[a]];
    const tb = chunks[chunkOf[b]];
    const sa = nameStart[a];
    const sb = nameStart[b];
    for (let k = 0; k < length; k++) if (ta.charCodeAt(sa + k) !== tb.charCodeAt(sb + k)) return false;
    return true;
  }
  const byName = new Map();
  const pairs = [];
  function pair(o, e) {
    if (kind[o] !== kind[e]) return;
    partner[e] = o;
    partner[o] = e;
    if (kind[e] === KIND_FOLDER) pairs.push(folderOf[o], folderOf[e]);
  }
  function pairBelow(fo, fn) {
    pairs.length = 0;
    pairs.push(fo, fn);
    for (let q = 0; q < pairs.length; q += 2) {
      const endO = folderEnd[pairs[q]];
      const endN = folderEnd[pairs[q + 1]];
      let o = folderEntry[pairs[q]] + 1;
      let e = folderEntry[pairs[q + 1]] + 1;
      for (; o < endO && e < endN; o = next(o), e = next(e)) {
        if (!sameName(o, e)) break;
        pair(o, e);
      }
      if (o >= endO || e >= endN) continue;
      byName.clear();
      for (; o < endO; o = next(o)) byName.set(entryName(store, o), o);
      for (; e < endN; e = next(e)) {
        const m = byName.get(entryName(store, e));
        if (m !== undefined) pair(m, e);
      }
    }
  }

  const haveBoth = oldListing && newListing && oldListing.root >= 0 && newListing.root >= 0;
  if (haveBoth) {
    const ro = folderEntry[oldListing.root];
    const rn = folderEntry[newListing.root];
    partner[ro] = rn;
    partner[rn] = ro;
    pairBelow(oldListing.root, newListing.root);
  }
  for (let e = 0; e < n; e++) {
    const o = partner[e];
    if (o < 0) status[e] = isNew[e] ? ADDED : REMOVED;
    else if (kind[e] === KIND_FOLDER) status[e] = size[e] !== size[o] ? CHANGED : SAME;
    else status[e] = size[e] !== size[o] || mtime[e] !== mtime[o] ? CHANGED : SAME;
  }

  // Paths below the source, '/' between names, as tallyfold-diff orders them.
  const folderRel = new Map();
  function relPath(e) {
    const f = kind[e] === KIND_FOLDER ? folderOf[e] : -1;
    if (f >= 0 && folderRel.has(f)) return folderRel.get(f);
    const p = parent[e];
    let out;
    if (p < 0) out = '';
    else {
      const up = relPath(folderEntry[p]);
      out = up === '' ? entryName(store, e) : up + '/' + entryName(store, e);
    }
    if (f >= 0) folderRel.set(f, out);
    return out;
  }
  const byPath = (a, b) => {
    const pa = relPath(a);
    const pb = relPath(b);
    return pa < pb ? -1 : pa > pb ? 1 : 0;
  };

  // ---- whole folders moved ----
  const addedFolders = [];
  const removedBySignature = new Map();
  const signature = (e) => {
    const f = folderOf[e];
    return size[e] + ':' + store.subFiles[f] + ':' + store.subFolders[f] + ':' + (folderEnd[f] - e);
  };
  for (let f = 0; f < store.folderCount; f++) {
    const e = folderEntry[f];
    if (folderEnd[f] <= e + 1) continue; // no content: never a move
    if (status[e] === ADDED) addedFolders.push(e);
    else if (status[e] === REMOVED) {
      const s = signature(e);
      let list = removedBySignature.get(s);
      if (!list) removedBySignature.set(s, (list = []));
      list.push(e);
    }
  }
  // The content of a folder: what is below it, by path, kind, and a file's size and time.
  const contentKeys = new Map();
  function contentKey(e) {
    let key = contentKeys.get(e);
    if (key !== undefined) return key;
    const skip = relPath(e).length + (parent[e] < 0 ? 0 : 1);
    const parts = [];
    for (let d = e + 1; d < folderEnd[folderOf[e]]; d++) {
      parts.push(relPath(d).slice(skip) + '\0' + kind[d] + (kind[d] === KIND_FOLDER ? '' : '\0' + size[d] + '\0' + mtime[d]));
    }
    key = parts.sort().join('\n');
    contentKeys.set(e, key);
    return key;
  }
  addedFolders.sort((a, b) => size[b] - size[a] || byPath(a, b));
  for (const list of removedBySignature.values()) if (list.length > 1) list.sort(byPath);
  const from = new Map(); // a moved entry's new place -> its old one
  for (const a of addedFolders) {
    if (status[a] !== ADDED) continue;
    const candidates = removedBySignature.get(signature(a));
    if (!candidates) continue;
    for (const r of candidates) {
      if (status[r] !== REMOVED || contentKey(r) !== contentKey(a)) continue;
      from.set(a, r);
      status.fill(MOVED, a, folderEnd[folderOf[a]]);
      status.fill(MOVED_AWAY, r, folderEnd[folderOf[r]]);
      partner[a] = r;
      partner[r] = a;
      pairBelow(folderOf[r], folderOf[a]);
      break;
    }
  }

  // ---- files and links moved: same name, size and time ----
  const removedFiles = new Map();
  const addedFiles = [];
  for (let e = 0; e < n; e++) {
    if (kind[e] === KIND_FOLDER) continue;
    if (status[e] === ADDED) addedFiles.push(e);
    else if (status[e] === REMOVED) {
      const key = kind[e] + ':' + size[e] + ':' + mtime[e] + ':' + entryName(store, e);
      let list = removedFiles.get(key);
      if (!list) removedFiles.set(key, (list = []));
      list.push(e);
    }
  }
  if (removedFiles.size) {
    addedFiles.sort(byPath);
    for (const list of removedFiles.values()) {
      if (list.length > 1) list.sort(byPath);
      list.next = 0;
    }
    for (const a of addedFiles) {
      const list = removedFiles.get(kind[a] + ':' + size[a] + ':' + mtime[a] + ':' + entryName(store, a));
      if (!list || list.next >= list.length) continue;
      const r = list[list.next++];
      from.set(a, r);
      status[a] = MOVED;
      status[r] = MOVED_AWAY;
      partner[a] = r;
      partner[r] = a;
    }
  }

  // ---- the tallies, as tallyfold-diff's summary gives them ----
  const tally = {
    added: { files: 0, bytes: 0 }, removed: { files: 0, bytes: 0 }, changed: { files: 0, bytes: 0, growth: 0 },
    moved: { files: 0, bytes: 0 }, foldersAdded: 0, foldersRemoved: 0, foldersMoved: 0,
  };
  // A folder there before and after (by path): what is new or gone below it is one item.
  const kept = (f) => f >= 0 && (status[folderEntry[f]] === SAME || status[folderEntry[f]] === CHANGED);
  const additions = [];
  const removals = [];
  for (let e = 0; e < n; e++) {
    const s = status[e];
    const folder = kind[e] === KIND_FOLDER;
    if (s === ADDED || s === REMOVED) {
      const t = s === ADDED ? tally.added : tally.removed;
      if (!folder) {
        t.files++;
        t.bytes += size[e];
      }
      if (kept(parent[e])) {
        (s === ADDED ? additions : removals).push(e);
        if (folder && s === ADDED) tally.foldersAdded++;
        else if (folder) tally.foldersRemoved++;
      }
    } else if (s === CHANGED && isNew[e] && !folder) {
      tally.changed.files++;
      tally.changed.bytes += size[e];
      tally.changed.growth += size[e] - size[partner[e]];
    }
  }
  for (const a of from.keys()) {
    if (kind[a] === KIND_FOLDER) tally.foldersMoved++;
    else {
      tally.moved.files++;
      tally.moved.bytes += size[a];
    }
  }
  const bySize = (a, b) => size[b] - size[a] || a - b;
  additions.sort(bySize);
  removals.sort(bySize);

  // Whether anything below a folder changed: counts of changed entries up to each entry.
  const changedUpTo = new Int32Array(n + 1);
  for (let e = 0; e < n; e++) changedUpTo[e + 1] = changedUpTo[e] + (status[e] === SAME ? 0 : 1);
  const changedIn = (f) => changedUpTo[folderEnd[f]] - changedUpTo[folderEntry[f]] > 0;

  // The old folders gone from each kept new folder, by the new folder.
  const gone = new Map();
  for (const r of removals) {
    if (kind[r] !== KIND_FOLDER) continue;
    const at = folderOf[partner[folderEntry[parent[r]]]];
    let list = gone.get(at);
    if (!list) gone.set(at, (list = []));
    list.push(folderOf[r]);
  }

  // Where a moved entry was: its own move, or the folder move it is part of.
  function movedFrom(e) {
    if (status[e] !== MOVED) return '';
    if (from.has(e)) return relPath(from.get(e));
    return relPath(partner[e]);
  }

  return {
    status, partner, isNew, from, tally, additions, removals, gone, relPath, movedFrom,
    oldSource: oldListing ? oldListing.source : '', newSource: newListing ? newListing.source : '',
    // A folder's subtree bytes and files before and after, at its path.
    before(f) {
      const e = folderEntry[f];
      if (!isNew[e]) return status[e] === REMOVED ? size[e] : 0;
      const s = status[e];
      return s === SAME || s === CHANGED ? size[partner[e]] : 0;
    },
    after(f) {
      const e = folderEntry[f];
      return isNew[e] ? size[e] : 0;
    },
    filesBefore(f) {
      const e = folderEntry[f];
      if (!isNew[e]) return status[e] === REMOVED ? store.subFiles[f] : 0;
      return kept(f) ? store.subFiles[folderOf[partner[e]]] : 0;
    },
    filesAfter(f) {
      return isNew[folderEntry[f]] ? store.subFiles[f] : 0;
    },
    changedBelow(f) {
      const e = folderEntry[f];
      if (status[e] !== SAME) return true;
      return changedIn(f) || changedIn(folderOf[partner[e]]);
    },
    kept,
  };
}

if (typeof module !== 'undefined') {
  module.exports = { compareListings, SAME, CHANGED, ADDED, REMOVED, MOVED, MOVED_AWAY };
}
