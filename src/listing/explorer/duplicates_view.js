'use strict';
/* global $, el, Grid, count, counted, bytesText, store, entryPath, hashHex, revealFolder, chooseFolder, showTab,
   view, filesGrid, tabNames, csvField */
// The Duplicates view, on pages whose listing has hashes: the groups of
// identical files that the page's writer found (same size and content hash;
// hard links of one file are one file; empty files are none), most wasted
// bytes first, a row per file. A file's click opens its folder.

let dupsGrid = null;
const dups = { group: null }; // per row: its group

// A group's first row, its size and the bytes its copies after the first take.
function groupFacts(g) {
  const { start, files } = store.duplicates;
  const size = store.size[files[start[g]]];
  return { first: start[g], copies: start[g + 1] - start[g], size, wasted: size * (start[g + 1] - start[g] - 1) };
}

// Each row shows its group's facts, so that a row read alone says it all;
// only a group's first row shows them to the eye.
function duplicateCell(i, key) {
  const g = dups.group[i];
  const e = store.duplicates.files[i];
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

function openDuplicate(i) {
  const e = store.duplicates.files[i];
  const f = store.parent[e];
  revealFolder(f);
  chooseFolder(f, false);
  showTab('files');
  const at = view.files.indexOf(e);
  if (at >= 0) {
    filesGrid.setActive(at);
    filesGrid.body.focus();
  }
}

function setupDuplicates() {
  // A page cut short has hashes but not the groups, which come last.
  const missing = !store.duplicates;
  if (missing) store.duplicates = { count: 0, start: new Uint32Array(1), files: new Int32Array(0) };
  const { count: groups, start, files } = store.duplicates;
  dups.group = new Int32Array(files.length);
  let wasted = 0;
  for (let g = 0; g < groups; g++) {
    dups.group.fill(g, start[g], start[g + 1]);
    wasted += groupFacts(g).wasted;
  }
  tabNames.push('dups');
  $('tab-dups').hidden = false;
  $('tab-dups').addEventListener('click', () => showTab('dups'));
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
  dupsGrid = new Grid($('dups'), 'Groups of identical files', [
    { key: 'group', label: 'Group', width: 60, num: true, className: 'lead' },
    { key: 'wasted', label: 'Wasted bytes', width: 150, num: true, className: 'lead' },
    { key: 'size', label: 'Size', width: 120, num: true, className: 'lead' },
    { key: 'copies', label: 'Copies', width: 60, num: true, className: 'lead' },
    { key: 'path', label: 'Path', grow: true, tail: true },
    { key: 'hash', label: 'Hash', width: 150, className: 'lead' },
  ], duplicateCell, openDuplicate);
  dupsGrid.rowMark = (i) => start[dups.group[i]] === i;
  dupsGrid.setCount(files.length);
  if (store.dupBytes) $('tree-label').textContent = 'Folders (orange: bytes duplicated)';
  const order = $('tree-order');
  order.appendChild(el('option', '', 'by duplicated bytes')).value = 'dups';
}

// As `tallyfold-list --duplicates --format csv` writes them. The page
// holds names as text only: the exact bytes of one that is not UTF-8
// (path_bytes) are in the report alone.
function duplicatesCsv() {
  const lines = ['group,size,count,wasted,hash,path,path_bytes'];
  for (let i = 0; i < store.duplicates.files.length; i++) {
    const f = groupFacts(dups.group[i]);
    lines.push([dups.group[i] + 1, f.size, f.copies, f.wasted, duplicateCell(i, 'hash'), entryPath(store.duplicates.files[i]), '']
      .map((v) => csvField(String(v))).join(','));
  }
  return lines;
}
