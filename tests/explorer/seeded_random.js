'use strict';
// A small random generator that repeats from its seed, so a failing case
// comes back on the next run.
function random(seed) {
  let s = seed >>> 0;
  return () => ((s = (s * 1664525 + 1013904223) >>> 0) / 2 ** 32);
}

module.exports = { random };
