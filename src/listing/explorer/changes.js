'use strict';
/* global KIND_FOLDER, entryName, require, CHANGE_SAME, CHANGE_ADDED, CHANGE_REMOVED, CHANGE_CHANGED,
   CHANGE_CONTENT, CHANGE_MOVED_HERE, CHANGE_MOVED_AWAY, CHANGE_NOT_READ */
// A comparison page's changes as its views ask for them. The comparison
// itself is tallyfold-diff's (docs/explorer-format.md, "Changes"): each
// entry's mark and partner come in the data; nothing is matched here, the
// engine's pairs are only looked at from both ends.

if (typeof module !== 'undefined' && typeof entryName === 'undefined') {
  Object.assign(globalThis, require('./constants.js'), require('./format.js'), require('./decode.js'));
}

function pageChanges(store) {
  const n = store.count;
  const { kind, size, folderEntry, folderEnd, folderOf, parent } = store;
  const [oldListing, newListing] = store.listings;
  const empty = { status: new Uint8Array(n), partner: new Int32Array(n).fill(-1), tally: {} };
  const { status, tally: t } = store.changes || empty;
  const partner = Int32Array.from((store.changes || empty).partner);
  const isNew = new Uint8Array(n);
  if (newListing && newListing.root >= 0) isNew.fill(1, folderEntry[newListing.root]);
  // A folder of the new listing names its old one; the old one names it back.
  for (let f = 0; f < store.folderCount; f++) {
    const e = folderEntry[f];
    if (isNew[e] && partner[e] >= 0 && partner[partner[e]] < 0) partner[partner[e]] = e;
  }
  if (oldListing && newListing && oldListing.root >= 0 && newListing.root >= 0) {
    const [ro, rn] = [folderEntry[oldListing.root], folderEntry[newListing.root]];
    if (partner[rn] < 0) partner[rn] = ro;
    if (partner[ro] < 0) partner[ro] = rn;
  }

  const relCache = new Map();
  function relPath(e) {
    const f = kind[e] === KIND_FOLDER ? folderOf[e] : -1;
    if (f >= 0 && relCache.has(f)) return relCache.get(f);
    const p = parent[e];
    const up = p < 0 ? null : relPath(folderEntry[p]);
    const out = up === null ? '' : up === '' ? entryName(store, e) : up + '/' + entryName(store, e);
    if (f >= 0) relCache.set(f, out);
    return out;
  }

  // A folder there before and after, at the same path.
  const kept = (f) => f >= 0 && partner[folderEntry[f]] >= 0 &&
    (status[folderEntry[f]] === CHANGE_SAME || status[folderEntry[f]] === CHANGE_CHANGED ||
     status[folderEntry[f]] === CHANGE_NOT_READ);
  // An entry moved on its own, not as part of its folder's move.
  const ownMove = (e) => {
    if (status[e] !== CHANGE_MOVED_HERE) return false;
    const p = parent[e];
    const o = partner[e];
    if (p < 0 || o < 0 || status[folderEntry[p]] !== CHANGE_MOVED_HERE) return true;
    return parent[o] < 0 || partner[folderEntry[p]] !== folderEntry[parent[o]];
  };
  const from = new Map();
  for (let e = 0; e < n; e++) if (isNew[e] && ownMove(e)) from.set(e, partner[e]);

  // Outermost added and removed entries, largest first; the old folders gone
  // from each kept new folder.
  const additions = [];
  const removals = [];
  const gone = new Map();
  for (let e = 0; e < n; e++) {
    const s = status[e];
    if (s !== CHANGE_ADDED && s !== CHANGE_REMOVED) continue;
    const p = parent[e];
    if (p >= 0 && status[folderEntry[p]] === s) continue;
    (s === CHANGE_ADDED ? additions : removals).push(e);
    if (s === CHANGE_REMOVED && kind[e] === KIND_FOLDER && p >= 0 && kept(p)) {
      const at = folderOf[partner[folderEntry[p]]];
      if (!gone.has(at)) gone.set(at, []);
      gone.get(at).push(folderOf[e]);
    }
  }
  const bySize = (a, b) => size[b] - size[a] || a - b;
  additions.sort(bySize);
  removals.sort(bySize);

  // Whether anything below a folder changed: counts of marked entries up to each entry.
  const markedUpTo = new Int32Array(n + 1);
  for (let e = 0; e < n; e++) markedUpTo[e + 1] = markedUpTo[e] + (status[e] === CHANGE_SAME ? 0 : 1);
  const markedIn = (f) => markedUpTo[folderEnd[f]] - markedUpTo[folderEntry[f]] > 0;

  return {
    status, partner, isNew, from, additions, removals, gone, relPath, kept,
    tally: {
      added: { files: t.addedFiles || 0, bytes: t.addedBytes || 0 },
      removed: { files: t.removedFiles || 0, bytes: t.removedBytes || 0 },
      changed: { files: t.changedFiles || 0, bytes: t.changedBytes || 0, growth: t.changedGrowth || 0 },
      moved: { files: t.movedFiles || 0, bytes: t.movedBytes || 0 },
      content: { files: t.contentChangedFiles || 0, bytes: t.contentChangedBytes || 0 },
      notCompared: t.contentNotComparedFiles || 0, notRead: t.notReadFolders || 0,
      foldersAdded: t.foldersAdded || 0, foldersRemoved: t.foldersRemoved || 0, foldersMoved: t.foldersMoved || 0,
    },
    oldSource: oldListing ? oldListing.source : '', newSource: newListing ? newListing.source : '',
    // Where a moved entry was: its own move, or the folder move it is part of.
    movedFrom: (e) => (status[e] === CHANGE_MOVED_HERE && partner[e] >= 0 ? relPath(partner[e]) : ''),
    changedBelow(f) {
      const e = folderEntry[f];
      if (status[e] !== CHANGE_SAME) return true;
      return markedIn(f) || (partner[e] >= 0 && markedIn(folderOf[partner[e]]));
    },
  };
}

if (typeof module !== 'undefined') module.exports = { pageChanges };
