'use strict';
// Squarified treemap: rectangles with areas in proportion to the values
// that fill the box without overlapping, as close to squares as rows allow.

function worstRatio(row, sum, side, scale) {
  // The longest aspect ratio in a row laid along `side`.
  const thickness = (sum * scale) / side;
  let worst = 1;
  for (const v of row) {
    const length = (v * scale) / thickness;
    const r = Math.max(length / thickness, thickness / length);
    if (r > worst) worst = r;
  }
  return worst;
}

// values: positive numbers, largest first. Returns [{x, y, w, h}] in the
// order of the values.
function layoutTreemap(values, box) {
  const out = new Array(values.length);
  let { x, y, w, h } = box;
  let remaining = 0;
  for (const v of values) remaining += v;
  let i = 0;
  while (i < values.length) {
    if (w <= 0 || h <= 0 || remaining <= 0) {
      for (; i < values.length; i++) out[i] = { x, y, w: 0, h: 0 };
      break;
    }
    const scale = (w * h) / remaining;
    const side = Math.min(w, h);
    const row = [values[i]];
    let sum = values[i];
    let j = i + 1;
    while (j < values.length) {
      const next = sum + values[j];
      if (worstRatio(row.concat(values[j]), next, side, scale) > worstRatio(row, sum, side, scale)) break;
      row.push(values[j]);
      sum = next;
      j++;
    }
    const last = j === values.length;
    if (w >= h) {
      // A column at the left, full height.
      const cw = last ? w : (sum * scale) / h;
      let cy = y;
      for (let k = i; k < j; k++) {
        const ch = k === j - 1 ? y + h - cy : (values[k] * scale) / cw;
        out[k] = { x, y: cy, w: cw, h: ch };
        cy += ch;
      }
      x += cw;
      w -= cw;
    } else {
      const rh = last ? h : (sum * scale) / w;
      let cx = x;
      for (let k = i; k < j; k++) {
        const cw = k === j - 1 ? x + w - cx : (values[k] * scale) / rh;
        out[k] = { x: cx, y, w: cw, h: rh };
        cx += cw;
      }
      y += rh;
      h -= rh;
    }
    remaining -= sum;
    i = j;
  }
  return out;
}

if (typeof module !== 'undefined') module.exports = { layoutTreemap };
