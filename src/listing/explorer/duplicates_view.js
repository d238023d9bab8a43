'use strict';
/* global $, el, Grid, count, counted, bytesText, hashHex, csvField */
// The Duplicates view, on pages whose listing has hashes: the groups of
// identical files that the page's writer found (same size and content hash;
// hard links of one file are one file; empty files are none), most wasted
// bytes first, a row per file. A file's click opens its folder.

function duplicatesView(page) {
  const { store } = page;
  const { entryPath } = page.model;
  // A page cut short has hashes but not the groups, which come last.
  const missing = !store.duplicates;
  const { count: groups, start, files } = store.duplicates || { count: 0, start: new Uint32Array(1), files: new Int32Array(0) };
  const group = new Int32Array(files.length); // per row: its group

  // A group's first row, its size and the bytes its copies after the first take.
  function groupFacts(g) {
    const size = store.size[files[start[g]]];
    return { first: start[g], copies: start[g + 1] - start[g], size, wasted: size * (start[g + 1] - start[g] - 1) };
  }

  // Each row shows its group's facts, so that a row read alone says it all;
  // only a group's first row shows them to the eye.
  function cell(i, key) {
    const g = group[i];
    const e = files[i];
    const facts = groupFacts(g);
    switch (key) {
      case 'group': return String(g + 1);
      case 'path': return entryPath(e);
      case 'size': return count(facts.size);
      case 'copies': return String(facts.copies);
      case 'wasted': return count(facts.wasted);
      case 'hash': return store.hashName + ':' + hashHex(store, e);
      default: return '';
    }
  }

  function open(i) {
    const e = files[i];
    page.open(store.parent[e]);
    page.showEntry(e);
  }

  const v = {
    name: 'dups',
    grid: null,
    setup() {
      let wasted = 0;
      for (let g = 0; g < groups; g++) {
        group.fill(g, start[g], start[g + 1]);
        wasted += groupFacts(g).wasted;
      }
      const note = $('dups-note');
      if (missing) {
        note.append(el('strong', '', 'The listing was cut short before its groups of identical files.'));
      } else {
        note.append(el('strong', '', counted(groups, 'group') + ' of identical files, ' + counted(files.length, 'file') +
          ', ' + bytesText(wasted) + ' wasted (' + counted(wasted, 'byte') + ').'), el('br'),
        document.createTextNode('Identical: the same size and ' + store.hashName + ' hash; hard links of one file count ' +
          'once, empty files are left out. Wasted: every copy after the first in path order, where it lies — the ' +
          'folder tree\u2019s orange column adds these up. Click a file to open its folder.'));
      }
      v.grid = new Grid($('dups'), 'Groups of identical files', [
        { key: 'group', label: 'Group', width: 60, num: true, className: 'lead' },
        { key: 'wasted', label: 'Wasted bytes', width: 150, num: true, className: 'lead' },
        { key: 'size', label: 'Size', width: 120, num: true, className: 'lead' },
        { key: 'copies', label: 'Copies', width: 60, num: true, className: 'lead' },
        { key: 'path', label: 'Path', grow: true, tail: true },
        { key: 'hash', label: 'Hash', width: 150, className: 'lead' },
      ], cell, open);
      v.grid.rowMark = (i) => start[group[i]] === i;
      v.grid.setCount(files.length);
      if (store.dupBytes) $('tree-label').textContent = 'Folders (orange: bytes duplicated)';
      $('tree-order').appendChild(el('option', '', 'by duplicated bytes')).value = 'dups';
    },
    redraw: () => v.grid.list.redraw(),
    // As `tallyfold-list --duplicates --format csv` writes them.
    csv() {
      const lines = ['group,size,count,wasted,hash,path'];
      for (let i = 0; i < files.length; i++) {
        const f = groupFacts(group[i]);
        lines.push([group[i] + 1, f.size, f.copies, f.wasted, cell(i, 'hash'), entryPath(files[i])]
          .map((x) => csvField(String(x))).join(','));
      }
      return { lines, name: 'duplicates.csv' };
    },
  };
  return v;
}
