'use strict';
/* global $, el, ROW, counted, bytesText, store, folderName, parentFolder, subtreeBytes, chooseFolder, cmp,
   compareChildren, sortCompareChildren, compareParent, drawCompareTreeRow */
// The folder tree: rows of the expanded folders, drawn by the virtual list,
// worked with the keys of a tree control.

const tree = { rows: [], depth: [], expanded: new Set(), active: 0, selected: -1, order: 'size', list: null };

function sortedChildren(f) {
  if (cmp) return sortCompareChildren(compareChildren(f), tree.order);
  const kids = Array.from(store.children.subarray(store.childStart[f], store.childStart[f + 1]));
  if (tree.order === 'size') kids.sort((a, b) => subtreeBytes(b) - subtreeBytes(a) || a - b);
  else if (tree.order === 'dups') kids.sort((a, b) => store.dupBytes[b] - store.dupBytes[a] || a - b);
  else {
    const names = new Map(kids.map((k) => [k, folderName(k).toLowerCase()]));
    kids.sort((a, b) => (names.get(a) < names.get(b) ? -1 : names.get(a) > names.get(b) ? 1 : a - b));
  }
  return kids;
}
function hasChildren(f) {
  if (cmp) return compareChildren(f).length > 0;
  return store.childStart[f + 1] > store.childStart[f];
}

// The folder a folder shows under in the tree.
function treeParent(f) {
  return cmp ? compareParent(f) : parentFolder(f);
}

function expand(row) {
  const f = tree.rows[row];
  if (tree.expanded.has(f) || !hasChildren(f)) return;
  tree.expanded.add(f);
  const kids = sortedChildren(f);
  const d = tree.depth[row] + 1;
  // Not splice(...kids): a folder may have more children than a call takes arguments.
  tree.rows = tree.rows.slice(0, row + 1).concat(kids, tree.rows.slice(row + 1));
  tree.depth = tree.depth.slice(0, row + 1).concat(kids.map(() => d), tree.depth.slice(row + 1));
}
function collapse(row) {
  const f = tree.rows[row];
  if (!tree.expanded.has(f)) return;
  tree.expanded.delete(f);
  let end = row + 1;
  while (end < tree.rows.length && tree.depth[end] > tree.depth[row]) tree.expanded.delete(tree.rows[end++]);
  tree.rows.splice(row + 1, end - row - 1);
  tree.depth.splice(row + 1, end - row - 1);
}

// Full steps for the first levels, then small ones up to a cap: the name,
// bar and size of a folder stay in the pane at any depth (its level is in
// its label and the path bar).
function indentOf(depth) {
  return Math.min(160, depth <= 8 ? depth * 14 : 112 + (depth - 8) * 3);
}

function drawTreeRow(row, i) {
  const f = tree.rows[i];
  const e = store.folderEntry[f];
  const up = treeParent(f);
  const share = up >= 0 && subtreeBytes(up) > 0 ? subtreeBytes(f) / subtreeBytes(up) : 1;
  row.replaceChildren();
  row.id = 'tree-row-' + i;
  row.setAttribute('role', 'treeitem');
  row.setAttribute('aria-level', String(tree.depth[i] + 1));
  row.setAttribute('aria-selected', String(f === tree.selected));
  if (hasChildren(f)) row.setAttribute('aria-expanded', String(tree.expanded.has(f)));
  else row.removeAttribute('aria-expanded');
  const skipped = store.skipped.get(f);
  const label = folderName(f) + ', ' + counted(subtreeBytes(f), 'byte') + ', ' + counted(store.subFiles[f], 'file') + ', ' +
    counted(store.subFolders[f], 'folder') + (store.dupBytes ? ', ' + counted(store.dupBytes[f], 'byte') + ' duplicated' : '') +
    (skipped ? ', not listed: ' + skipped : '');
  row.setAttribute('aria-label', label);
  row.title = label;
  row.dataset.folder = String(f);
  row.dataset.bytes = String(store.size[e]);
  row.classList.toggle('selected', f === tree.selected);
  row.classList.toggle('active', i === tree.active);
  const indent = el('span');
  indent.style.width = indentOf(tree.depth[i]) + 'px';
  indent.style.flex = 'none';
  const twisty = el('span', 'twisty', hasChildren(f) ? (tree.expanded.has(f) ? '▾' : '▸') : '');
  const name = el('span', 'tname', folderName(f) + (skipped ? ' (not listed: ' + skipped + ')' : ''));
  if (cmp) {
    row.append(indent, twisty, ...drawCompareTreeRow(row, f, up));
    return;
  }
  const bar = el('span', 'tbar');
  const fill = el('div');
  fill.style.width = (share * 100).toFixed(1) + '%';
  bar.appendChild(fill);
  row.append(indent, twisty, name, el('span', 'tcount', counted(store.subFiles[f], 'file')), bar,
    el('span', 'tsize', bytesText(subtreeBytes(f))));
  if (store.dupBytes) {
    // The bytes below it that copy a file elsewhere (the Duplicates view's wasted bytes).
    row.dataset.dup = String(store.dupBytes[f]);
    row.append(el('span', 'tdup', store.dupBytes[f] ? bytesText(store.dupBytes[f]) : '—'));
  }
}

function setTreeActive(i, choose) {
  tree.active = Math.max(0, Math.min(tree.rows.length - 1, i));
  $('tree').setAttribute('aria-activedescendant', 'tree-row-' + tree.active);
  tree.list.scrollTo(tree.active);
  tree.list.redraw();
  if (choose) chooseFolder(tree.rows[tree.active], false);
}

function treeKey(e) {
  const i = tree.active;
  const f = tree.rows[i];
  const page = Math.max(1, Math.floor($('tree').clientHeight / ROW) - 1);
  switch (e.key) {
    case 'ArrowDown': setTreeActive(i + 1, true); break;
    case 'ArrowUp': setTreeActive(i - 1, true); break;
    case 'PageDown': setTreeActive(i + page, true); break;
    case 'PageUp': setTreeActive(i - page, true); break;
    case 'Home': setTreeActive(0, true); break;
    case 'End': setTreeActive(tree.rows.length - 1, true); break;
    case 'ArrowRight':
      if (hasChildren(f) && !tree.expanded.has(f)) {
        expand(i);
        tree.list.setCount(tree.rows.length);
        setTreeActive(i, false);
      } else if (hasChildren(f)) {
        setTreeActive(i + 1, true);
      }
      break;
    case 'ArrowLeft':
      if (tree.expanded.has(f)) {
        collapse(i);
        tree.list.setCount(tree.rows.length);
        setTreeActive(i, false);
      } else {
        let p = i - 1;
        while (p >= 0 && tree.depth[p] >= tree.depth[i]) p--;
        if (p >= 0) setTreeActive(p, true);
      }
      break;
    case 'Enter':
    case ' ':
      chooseFolder(f, false);
      break;
    default:
      return;
  }
  e.preventDefault();
}

function treeClick(e) {
  const row = e.target.closest('.row');
  if (!row) return;
  const i = row.index;
  if (e.target.classList.contains('twisty')) {
    if (tree.expanded.has(tree.rows[i])) collapse(i);
    else expand(i);
    tree.list.setCount(tree.rows.length);
  }
  setTreeActive(i, true);
}

// Shows folder f in the tree: its ancestors expanded, its row active.
function revealFolder(f) {
  const chain = [];
  for (let g = f; g >= 0; g = treeParent(g)) chain.unshift(g);
  let row = 0;
  for (let k = 0; k < chain.length; k++) {
    row = tree.rows.indexOf(chain[k], row);
    if (row < 0) return;
    if (k < chain.length - 1) expand(row);
  }
  tree.list.setCount(tree.rows.length);
  setTreeActive(row, false);
}
