'use strict';
/* global timeToDate */
// The page's building blocks: elements, number and time texts, a scrolled
// list that draws only the rows in view, and a grid of sortable columns.

const $ = (id) => document.getElementById(id);
const ROW = 22;
const MAX_SPACER = 8e6; // taller lists scroll in proportion

function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

const count = (n) => Math.round(n).toLocaleString('en-US');
const counted = (n, word) => count(n) + ' ' + word + (n === 1 ? '' : 's');
function bytesText(n) {
  if (n < 1024) return count(n) + ' B';
  const units = ['KiB', 'MiB', 'GiB', 'TiB', 'PiB', 'EiB'];
  let v = n / 1024;
  let u = 0;
  while (v >= 1024 && u < units.length - 1) {
    v /= 1024;
    u++;
  }
  return (v < 10 ? v.toFixed(1) : Math.round(v).toString()) + ' ' + units[u];
}
function dateText(seconds) {
  if (!seconds) return '';
  return timeToDate(seconds).toISOString().slice(0, 19).replace('T', ' ');
}
function isoText(seconds) {
  return timeToDate(seconds).toISOString().slice(0, 19) + 'Z';
}

// A scrolled list that draws only the rows in view.
class VirtualList {
  constructor(viewport, drawRow) {
    this.viewport = viewport;
    this.drawRow = drawRow;
    this.count = 0;
    this.spacer = el('div', 'spacer');
    viewport.appendChild(this.spacer);
    this.pool = [];
    viewport.addEventListener('scroll', () => this.draw());
    new ResizeObserver(() => this.draw()).observe(viewport);
  }

  setCount(n) {
    this.count = n;
    this.spacer.style.height = Math.min(n * ROW, MAX_SPACER) + 'px';
    this.draw();
  }

  // The first row in view, and its offset, for the scroll position.
  firstRow() {
    const view = this.viewport.clientHeight;
    const total = this.count * ROW;
    if (total <= MAX_SPACER) return Math.floor(this.viewport.scrollTop / ROW);
    const room = Math.max(1, MAX_SPACER - view);
    const rows = Math.max(0, this.count - Math.floor(view / ROW));
    return Math.min(rows, Math.floor((this.viewport.scrollTop / room) * rows));
  }

  draw() {
    const view = this.viewport.clientHeight;
    const first = this.firstRow();
    const visible = Math.ceil(view / ROW) + 1;
    const last = Math.min(this.count, first + visible);
    const scaled = this.count * ROW > MAX_SPACER;
    while (this.pool.length < last - first) {
      const row = el('div', 'row');
      this.viewport.appendChild(row);
      this.pool.push(row);
    }
    for (let k = 0; k < this.pool.length; k++) {
      const row = this.pool[k];
      const i = first + k;
      if (i >= last) {
        row.hidden = true;
        continue;
      }
      row.hidden = false;
      const top = scaled ? this.viewport.scrollTop + k * ROW : i * ROW;
      row.style.top = top + 'px';
      if (row.index !== i || this.dirty) {
        row.index = i;
        this.drawRow(row, i);
      }
    }
    this.dirty = false;
  }

  redraw() {
    this.dirty = true;
    this.draw();
  }

  scrollTo(i) {
    const view = this.viewport.clientHeight;
    if (this.count * ROW <= MAX_SPACER) {
      const top = i * ROW;
      if (top < this.viewport.scrollTop) this.viewport.scrollTop = top;
      else if (top + ROW > this.viewport.scrollTop + view) this.viewport.scrollTop = top + ROW - view;
    } else {
      const rows = Math.max(1, this.count - Math.floor(view / ROW));
      const first = this.firstRow();
      if (i < first || i >= first + Math.floor(view / ROW)) {
        this.viewport.scrollTop = (Math.min(i, rows) / rows) * (MAX_SPACER - view);
      }
    }
    this.draw();
  }
}

// A table of many rows: a header of sort buttons and a virtual body.
class Grid {
  constructor(host, label, columns, cellText, onOpen) {
    this.columns = columns;
    this.cellText = cellText;
    this.onOpen = onOpen;
    this.active = -1;
    this.sortKey = null;
    this.sortUp = true;
    host.setAttribute('role', 'grid');
    host.setAttribute('aria-label', label);
    const head = el('div', 'grid-head');
    head.setAttribute('role', 'row');
    head.setAttribute('aria-rowindex', '1');
    this.headers = columns.map((c) => {
      const b = el('button', (c.grow ? 'grow' : '') + (c.num ? ' num' : ''), c.label);
      b.type = 'button';
      b.setAttribute('role', 'columnheader');
      if (!c.grow) b.style.width = c.width + 'px';
      b.addEventListener('click', () => this.onSort && this.onSort(c.key));
      head.appendChild(b);
      return b;
    });
    host.appendChild(head);
    this.body = el('div', 'vlist');
    this.body.tabIndex = 0;
    this.body.setAttribute('role', 'rowgroup');
    host.appendChild(this.body);
    this.host = host;
    this.list = new VirtualList(this.body, (row, i) => this.drawRow(row, i));
    this.body.addEventListener('keydown', (e) => this.key(e));
    this.body.addEventListener('click', (e) => {
      const row = e.target.closest('.row');
      if (!row) return;
      this.setActive(row.index);
      if (this.onOpen) this.onOpen(row.index);
    });
  }

  drawRow(row, i) {
    row.replaceChildren();
    row.setAttribute('role', 'row');
    row.setAttribute('aria-rowindex', String(i + 2));
    row.id = this.host.id + '-row-' + i;
    row.classList.toggle('active', i === this.active);
    if (this.rowMark) row.classList.toggle('mark', this.rowMark(i));
    for (const c of this.columns) {
      const text = this.cellText(i, c.key);
      const cell = el('div', 'cell' + (c.num ? ' num' : '') + (c.grow ? ' grow' : '') + (c.tail ? ' tail' : '') +
        (c.className ? ' ' + c.className : ''));
      // A path's end tells hits apart, so a cut one loses its start instead.
      if (c.tail) cell.appendChild(el('span', '', text));
      else cell.textContent = text;
      if (!c.num) cell.title = text;
      cell.setAttribute('role', 'gridcell');
      if (!c.grow) cell.style.width = c.width + 'px';
      row.appendChild(cell);
    }
  }

  setCount(n) {
    this.host.setAttribute('aria-rowcount', String(n + 1));
    if (this.active >= n) this.active = -1;
    this.list.setCount(n);
    this.list.redraw();
  }

  showSort(key, up) {
    this.columns.forEach((c, k) => {
      this.headers[k].setAttribute('aria-sort', c.key === key ? (up ? 'ascending' : 'descending') : 'none');
    });
  }

  setActive(i) {
    this.active = i;
    if (i >= 0) {
      this.list.scrollTo(i);
      this.body.setAttribute('aria-activedescendant', this.host.id + '-row-' + i);
    }
    this.list.redraw();
  }

  key(e) {
    const n = this.list.count;
    if (!n) return;
    const page = Math.max(1, Math.floor(this.body.clientHeight / ROW) - 1);
    const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page, Home: -Infinity, End: Infinity };
    if (e.key in moves) {
      e.preventDefault();
      const from = this.active < 0 ? 0 : this.active;
      this.setActive(Math.max(0, Math.min(n - 1, from + moves[e.key])));
    } else if (e.key === 'Enter' && this.active >= 0 && this.onOpen) {
      e.preventDefault();
      this.onOpen(this.active);
    }
  }
}
