'use strict';
/* global $, el, ROW, VirtualList */
// The folder tree: rows of the expanded folders, drawn by the virtual list,
// worked with the keys of a tree control. Which folders a row holds, in
// what order, and what a row shows are the page's mode's to say.

class FolderTree {
  constructor(page) {
    this.page = page;
    this.mode = page.mode;
    this.rows = [];
    this.depth = [];
    this.expanded = new Set();
    this.active = 0;
    this.selected = -1;
    this.order = $('tree-order').value;
    this.list = new VirtualList($('tree'), (row, i) => this.drawRow(row, i));
    this.reset();
    if (this.rows.length === 1) this.expand(0);
    this.list.setCount(this.rows.length);
    $('tree').addEventListener('keydown', (e) => this.key(e));
    $('tree').addEventListener('click', (e) => this.click(e));
    $('tree-order').addEventListener('change', () => this.redo());
  }

  reset() {
    this.rows = this.mode.rootRows();
    this.depth = this.rows.map(() => 0);
  }

  // Again in the chosen order or with the chosen folders, open folders kept open.
  redo() {
    this.order = $('tree-order').value;
    const open = [...this.expanded];
    const f = this.rows[this.active];
    this.expanded.clear();
    this.reset();
    for (let i = 0; i < this.rows.length; i++) if (open.includes(this.rows[i])) this.expand(i);
    this.list.setCount(this.rows.length);
    this.setActive(Math.max(0, this.rows.indexOf(f)), false);
  }

  expand(row) {
    const f = this.rows[row];
    if (this.expanded.has(f) || !this.mode.hasChildren(f)) return;
    this.expanded.add(f);
    const kids = this.mode.children(f, this.order);
    const d = this.depth[row] + 1;
    // Not splice(...kids): a folder may have more children than a call takes arguments.
    this.rows = this.rows.slice(0, row + 1).concat(kids, this.rows.slice(row + 1));
    this.depth = this.depth.slice(0, row + 1).concat(kids.map(() => d), this.depth.slice(row + 1));
  }

  collapse(row) {
    const f = this.rows[row];
    if (!this.expanded.has(f)) return;
    this.expanded.delete(f);
    let end = row + 1;
    while (end < this.rows.length && this.depth[end] > this.depth[row]) this.expanded.delete(this.rows[end++]);
    this.rows.splice(row + 1, end - row - 1);
    this.depth.splice(row + 1, end - row - 1);
  }

  drawRow(row, i) {
    const f = this.rows[i];
    const has = this.mode.hasChildren(f);
    row.replaceChildren();
    row.id = 'tree-row-' + i;
    row.setAttribute('role', 'treeitem');
    row.setAttribute('aria-level', String(this.depth[i] + 1));
    row.setAttribute('aria-selected', String(f === this.selected));
    if (has) row.setAttribute('aria-expanded', String(this.expanded.has(f)));
    else row.removeAttribute('aria-expanded');
    row.dataset.folder = String(f);
    row.dataset.bytes = String(this.page.store.size[this.page.store.folderEntry[f]]);
    row.classList.toggle('selected', f === this.selected);
    row.classList.toggle('active', i === this.active);
    const indent = el('span');
    indent.style.width = indentOf(this.depth[i]) + 'px';
    indent.style.flex = 'none';
    const twisty = el('span', 'twisty', has ? (this.expanded.has(f) ? '▾' : '▸') : '');
    row.append(indent, twisty, ...this.mode.treeRow(row, f, this.mode.treeParent(f)));
  }

  setActive(i, choose) {
    this.active = Math.max(0, Math.min(this.rows.length - 1, i));
    $('tree').setAttribute('aria-activedescendant', 'tree-row-' + this.active);
    this.list.scrollTo(this.active);
    this.list.redraw();
    if (choose) this.page.chooseFolder(this.rows[this.active], false);
  }

  // The chosen folder's row marked; the page calls this when it chooses one.
  select(f) {
    this.selected = f;
    this.list.redraw();
  }

  key(e) {
    const i = this.active;
    const f = this.rows[i];
    const page = Math.max(1, Math.floor($('tree').clientHeight / ROW) - 1);
    const has = this.mode.hasChildren(f);
    switch (e.key) {
      case 'ArrowDown': this.setActive(i + 1, true); break;
      case 'ArrowUp': this.setActive(i - 1, true); break;
      case 'PageDown': this.setActive(i + page, true); break;
      case 'PageUp': this.setActive(i - page, true); break;
      case 'Home': this.setActive(0, true); break;
      case 'End': this.setActive(this.rows.length - 1, true); break;
      case 'ArrowRight':
        if (has && !this.expanded.has(f)) {
          this.expand(i);
          this.list.setCount(this.rows.length);
          this.setActive(i, false);
        } else if (has) {
          this.setActive(i + 1, true);
        }
        break;
      case 'ArrowLeft':
        if (this.expanded.has(f)) {
          this.collapse(i);
          this.list.setCount(this.rows.length);
          this.setActive(i, false);
        } else {
          let p = i - 1;
          while (p >= 0 && this.depth[p] >= this.depth[i]) p--;
          if (p >= 0) this.setActive(p, true);
        }
        break;
      case 'Enter':
      case ' ':
        this.page.chooseFolder(f, false);
        break;
      default:
        return;
    }
    e.preventDefault();
  }

  click(e) {
    const row = e.target.closest('.row');
    if (!row) return;
    const i = row.index;
    if (e.target.classList.contains('twisty')) {
      if (this.expanded.has(this.rows[i])) this.collapse(i);
      else this.expand(i);
      this.list.setCount(this.rows.length);
    }
    this.setActive(i, true);
  }

  // Shows folder f: its ancestors expanded, its row active.
  reveal(f) {
    const chain = [];
    for (let g = f; g >= 0; g = this.mode.treeParent(g)) chain.unshift(g);
    let row = 0;
    for (let k = 0; k < chain.length; k++) {
      row = this.rows.indexOf(chain[k], row);
      if (row < 0) return;
      if (k < chain.length - 1) this.expand(row);
    }
    this.list.setCount(this.rows.length);
    this.setActive(row, false);
  }
}

// Full steps for the first levels, then small ones up to a cap: the name,
// bar and size of a folder stay in the pane at any depth (its level is in
// its label and the path bar).
function indentOf(depth) {
  return Math.min(160, depth <= 8 ? depth * 14 : 112 + (depth - 8) * 3);
}
