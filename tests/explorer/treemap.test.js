'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { random } = require('./seeded_random.js');
const { layoutTreemap } = require(path.join(__dirname, '../../src/listing/explorer/treemap.js'));

test('rectangles have areas in proportion to their values and fill the box', () => {
  const rand = random(17);
  for (let round = 0; round < 200; round++) {
    const n = 1 + Math.floor(rand() * 60);
    const values = Array.from({ length: n }, () => (rand() < 0.2 ? 1 + rand() * 10 : rand() * 1e9 + 1));
    values.sort((a, b) => b - a);
    const box = { x: 5, y: 7, w: 100 + rand() * 900, h: 50 + rand() * 700 };
    const rects = layoutTreemap(values, box);
    const total = values.reduce((a, v) => a + v, 0);
    let area = 0;
    rects.forEach((r, k) => {
      const want = (values[k] / total) * box.w * box.h;
      assert.ok(Math.abs(r.w * r.h - want) <= 1e-6 * box.w * box.h, 'area of ' + k);
      assert.ok(r.x >= box.x - 1e-9 && r.y >= box.y - 1e-9 && r.x + r.w <= box.x + box.w + 1e-6 &&
        r.y + r.h <= box.y + box.h + 1e-6, 'inside');
      area += r.w * r.h;
    });
    assert.ok(Math.abs(area - box.w * box.h) < 1e-6 * box.w * box.h, 'fills the box');
    // No two overlap (in more than rounding).
    for (let i = 0; i < rects.length; i++) {
      for (let j = i + 1; j < rects.length; j++) {
        const a = rects[i];
        const b = rects[j];
        const ox = Math.min(a.x + a.w, b.x + b.w) - Math.max(a.x, b.x);
        const oy = Math.min(a.y + a.h, b.y + b.h) - Math.max(a.y, b.y);
        assert.ok(ox <= 1e-6 || oy <= 1e-6, 'overlap ' + i + ' ' + j);
      }
    }
  }
});
