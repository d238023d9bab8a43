'use strict';
/* global entryName, typeOf, hashHex, KIND_FOLDER */
// What the page shows, worked out from the decoded listing and nothing
// else: paths, a folder's own files, the orders of a list of entries. No
// document here, so `node --test` checks it.

function listingModel(store) {
  const paths = new Map(); // folder -> its path

  const folderName = (f) => entryName(store, store.folderEntry[f]);
  const parentFolder = (f) => store.parent[store.folderEntry[f]];
  const rootOf = (f) => {
    while (parentFolder(f) >= 0) f = parentFolder(f);
    return f;
  };
  const listingOf = (f) => {
    const root = rootOf(f);
    return store.listings.find((l) => l.root === root);
  };
  const joined = (base, sep, name) => (base.endsWith(sep) ? base + name : base + sep + name);

  function folderPath(f) {
    let p = paths.get(f);
    if (p !== undefined) return p;
    // Iterative: a chain of folders may be deeper than the call stack.
    const chain = [];
    for (let g = f; g >= 0 && !paths.has(g); g = parentFolder(g)) chain.push(g);
    const sep = listingOf(f).separator;
    for (let k = chain.length - 1; k >= 0; k--) {
      const g = chain[k];
      const up = parentFolder(g);
      p = up < 0 ? folderName(g) : joined(paths.get(up), sep, folderName(g));
      paths.set(g, p);
    }
    return paths.get(f);
  }

  function entryPath(e) {
    if (store.kind[e] === KIND_FOLDER) return folderPath(store.folderOf[e]);
    const f = store.parent[e];
    return joined(folderPath(f), listingOf(f).separator, entryName(store, e));
  }

  // Its own files and links; they come before its subfolders in the data,
  // but a subfolder's subtree is stepped over wherever it is.
  function folderFiles(f) {
    const out = [];
    if (f < 0) return out;
    const end = store.folderEnd[f];
    for (let e = store.folderEntry[f] + 1; e < end;) {
      if (store.kind[e] === KIND_FOLDER) {
        e = store.folderEnd[store.folderOf[e]];
      } else {
        out.push(e);
        e++;
      }
    }
    return out;
  }

  const typeText = (e) => (store.kind[e] === KIND_FOLDER ? 'Folder' : typeOf(store, e));

  // Each item's place among the distinct texts, in code unit order.
  function textRanks(n, textOf) {
    const texts = new Array(n);
    for (let i = 0; i < n; i++) texts[i] = textOf(i);
    const order = [...new Set(texts)].sort();
    const rank = new Map(order.map((t, k) => [t, k]));
    const out = new Float64Array(n);
    for (let i = 0; i < n; i++) out[i] = rank.get(texts[i]);
    return out;
  }

  // Each item's place among the distinct values.
  function numberRanks(values) {
    const n = values.length;
    const order = new Uint32Array(n);
    for (let i = 0; i < n; i++) order[i] = i;
    order.sort((a, b) => values[a] - values[b]);
    const out = new Float64Array(n);
    let rank = 0;
    for (let k = 0; k < n; k++) {
      if (k > 0 && values[order[k]] !== values[order[k - 1]]) rank++;
      out[order[k]] = rank;
    }
    return out;
  }

  // A number per item that orders the items as the key does: whole
  // numbers less their least as they are where that leaves room to pack
  // them with an entry, else their ranks.
  function ranks(list, key) {
    const n = list.length;
    const column = (a) => {
      const v = new Float64Array(n);
      let least = Infinity;
      let most = -Infinity;
      let whole = true;
      for (let i = 0; i < n; i++) {
        const x = a[list[i]];
        v[i] = x;
        if (x < least) least = x;
        if (x > most) most = x;
        if (whole && !Number.isInteger(x)) whole = false;
      }
      if (!whole || (most - least + 1) * (store.count + 1) > Number.MAX_SAFE_INTEGER) return numberRanks(v);
      for (let i = 0; i < n; i++) v[i] -= least;
      return v;
    };
    // Distinct folders' paths, sorted once; each item takes its folder's place.
    const byFolder = () => {
      const place = new Float64Array(store.folderCount + 1).fill(-1);
      const used = [];
      for (let i = 0; i < n; i++) {
        const f = store.parent[list[i]] + 1;
        if (place[f] < 0) {
          place[f] = 0;
          used.push({ f, path: f > 0 ? folderPath(f - 1).toLowerCase() : '' });
        }
      }
      used.sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0));
      used.forEach((u, k) => {
        place[u.f] = k > 0 && u.path === used[k - 1].path ? place[used[k - 1].f] : k;
      });
      const out = new Float64Array(n);
      for (let i = 0; i < n; i++) out[i] = place[store.parent[list[i]] + 1];
      return out;
    };
    switch (key) {
      case 'size': return column(store.size);
      case 'kind': return column(store.kind);
      case 'created': return column(store.ctime);
      case 'modified': return column(store.mtime);
      case 'name': return textRanks(n, (i) => entryName(store, list[i]).toLowerCase());
      case 'type': return textRanks(n, (i) => typeText(list[i]).toLowerCase());
      case 'path': return byFolder();
      case 'hash': return textRanks(n, (i) => hashHex(store, list[i]));
      default: return null;
    }
  }

  // Sorts `list` (entries; an array or a typed array) in place by `key`,
  // equal keys in listing order. Each item becomes one number, its key's
  // number times the entry count plus its entry, and those are sorted as
  // numbers: no lookup in a comparison.
  function sortEntries(list, key, up) {
    const n = list.length;
    if (n < 2) return list;
    const r = ranks(list, key);
    if (!r) return list;
    const span = store.count + 1;
    let top = 0;
    for (let i = 0; i < n; i++) if (r[i] > top) top = r[i];
    const packed = new Float64Array(n);
    for (let i = 0; i < n; i++) packed[i] = (up ? r[i] : top - r[i]) * span + list[i];
    packed.sort();
    for (let i = 0; i < n; i++) list[i] = packed[i] % span;
    return list;
  }

  return { folderName, parentFolder, listingOf, rootOf, folderPath, entryPath, folderFiles, typeText, sortEntries };
}

if (typeof module !== 'undefined') module.exports = { listingModel };
