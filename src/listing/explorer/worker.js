'use strict';
/* global foldCase, compileQuery, searchText */
// The page's worker: searches every name and sums up subtrees, off the
// page's thread. It holds the names folded to lower case.

const FILETIME_UNIX_MS = 11644473600 * 1000;
let data = null; // what 'load' brought
let folded = []; // per chunk: U+0000, then the chunk's names folded
let chunkFirst = null; // first entry of each chunk
let extensionId = null; // per entry, made on the first summary
let extensions = [];
let latest = 0; // the newest search; older ones stop

const yieldNow = () => new Promise((resolve) => {
  const channel = new MessageChannel();
  channel.port1.onmessage = () => resolve();
  channel.port2.postMessage(0);
});

function load(message) {
  data = message;
  // Names ended by U+0000 throughout, so no pattern reaches across two.
  folded = message.chunks.map((c, k) => {
    const text = '\0' + foldCase(c);
    return message.slotEnds[k] === '/' ? text.replaceAll('/', '\0') : text;
  });
  data.chunks = null;
  chunkFirst = new Int32Array(folded.length + 1).fill(data.count);
  for (let i = data.count - 1; i >= 0; i--) chunkFirst[data.chunkOf[i]] = i;
  for (let c = folded.length - 1; c >= 0; c--) if (chunkFirst[c] > chunkFirst[c + 1]) chunkFirst[c] = chunkFirst[c + 1];
}

// The entry whose name holds clean offset `at` of chunk c, or -1 (a type,
// reason or source string).
function entryAt(c, at) {
  let lo = chunkFirst[c];
  let hi = chunkFirst[c + 1] - 1;
  if (hi < lo || data.nameStart[lo] > at) return -1;
  while (lo < hi) {
    const mid = (lo + hi + 1) >> 1;
    if (data.nameStart[mid] <= at) lo = mid;
    else hi = mid - 1;
  }
  return at < data.nameEnd[lo] ? lo : -1;
}

async function search({ id, query, filter }) {
  latest = id;
  const started = performance.now();
  const compiled = compileQuery(query);
  let batch = [];
  let count = 0;
  let lastPost = started;
  let sliceStart = started;
  const post = (done) => {
    const hits = Int32Array.from(batch);
    batch = [];
    postMessage({ op: 'hits', id, hits, count, done, elapsed: performance.now() - started }, [hits.buffer]);
    lastPost = performance.now();
  };
  if (compiled) {
    const kind = data.kind;
    for (let c = 0; c < folded.length; c++) {
      const text = folded[c];
      searchText(text, compiled, 0, text.length, (at) => {
        const e = entryAt(c, at - 1);
        if (e < 0) return;
        const k = kind[e];
        if (filter === 1 && k === 2) return;
        if (filter === 2 && k !== 2) return;
        batch.push(e);
        count++;
      }, (at) => text.indexOf('\0', at));
      const now = performance.now();
      if (batch.length && (count === batch.length || now - lastPost > 100)) post(false);
      if (now - sliceStart > 25) {
        await yieldNow();
        if (latest !== id) return;
        sliceStart = performance.now();
      }
    }
  }
  post(true);
}

function makeExtensions() {
  extensionId = new Uint32Array(data.count);
  const ids = new Map([['', 0]]);
  extensions = [''];
  for (let c = 0; c < folded.length; c++) {
    const text = folded[c];
    for (let e = chunkFirst[c]; e < chunkFirst[c + 1]; e++) {
      if (data.kind[e] === 2) continue;
      const start = data.nameStart[e] + 1;
      const end = data.nameEnd[e] + 1;
      const dot = text.lastIndexOf('.', end - 1);
      if (dot <= start) continue;
      const ext = text.slice(dot + 1, end);
      let x = ids.get(ext);
      if (x === undefined) {
        x = extensions.length;
        ids.set(ext, x);
        extensions.push(ext);
      }
      extensionId[e] = x;
    }
  }
}

// Types by extension, the largest files and the files by modified year of
// the entries [from, to).
function summary({ id, from, to }) {
  if (!extensionId) makeExtensions();
  const { kind, size, mtime } = data;
  const extCount = new Float64Array(extensions.length);
  const extBytes = new Float64Array(extensions.length);
  const years = new Map();
  const top = []; // [size, entry], smallest first once full
  const limit = 100;
  for (let e = from; e < to; e++) {
    if (kind[e] === 2) continue;
    const s = size[e];
    const x = extensionId[e];
    extCount[x]++;
    extBytes[x] += s;
    const year = new Date(mtime[e] * 1000 - FILETIME_UNIX_MS).getUTCFullYear();
    const y = years.get(year);
    if (y) {
      y.count++;
      y.bytes += s;
    } else {
      years.set(year, { year, count: 1, bytes: s });
    }
    if (top.length < limit || s > top[0][0]) {
      if (top.length === limit) top.shift();
      let at = top.length;
      while (at > 0 && (top[at - 1][0] > s || (top[at - 1][0] === s && top[at - 1][1] < e))) at--;
      top.splice(at, 0, [s, e]);
    }
  }
  const types = [];
  for (let x = 0; x < extensions.length; x++) {
    if (extCount[x]) types.push({ extension: extensions[x], count: extCount[x], bytes: extBytes[x] });
  }
  types.sort((a, b) => b.bytes - a.bytes || b.count - a.count);
  postMessage({
    op: 'summary', id,
    types,
    largest: top.reverse().map((t) => t[1]),
    years: [...years.values()].sort((a, b) => a.year - b.year),
  });
}

onmessage = (event) => {
  const message = event.data;
  if (message.op === 'load') load(message);
  else if (message.op === 'search') search(message);
  else if (message.op === 'summary') summary(message);
};
