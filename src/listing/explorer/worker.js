'use strict';
/* global foldCase, compileQuery, searchText, KIND_FOLDER, FILETIME_UNIX_SECONDS, SEARCH_FILES_ONLY, SEARCH_FOLDERS_ONLY */
// The page's worker: searches every name and sums up subtrees, off the
// page's thread. It holds the names folded to lower case.

const FILETIME_UNIX_MS = FILETIME_UNIX_SECONDS * 1000;
const SLICE_MS = 25; // work between looks at the message queue

// Everything the worker knows, from the page's messages and its own work.
const index = {
  data: null, // what 'load' brought
  folded: [], // per chunk: U+0000, then the chunk's names folded
  chunkFirst: null, // first entry of each chunk
  extensionParts: [], // [first entry, extension numbers] per chunk until 'load'
  extensionId: null, // per entry
  extensions: [''],
  extensionByText: new Map([['', 0]]),
  extensionByCode: new Map(),
  latest: 0, // the newest search; older ones stop
  searching: null, // a promise of the running search's end
  latestSummary: 0, // the newest summary; older ones stop
  hidden: null, // comparing: entries the search leaves out (shown by their new partner)
  yearDay: -1, // the day yearOf last saw, and its year
  yearOfDay: 0,
};

const yieldNow = () => new Promise((resolve) => {
  const channel = new MessageChannel();
  channel.port1.onmessage = () => resolve();
  channel.port2.postMessage(0);
});

// Each chunk comes as soon as the page has read it, so its names are folded
// and its files' extensions found here while the page reads the next ones.
// Names are ended by U+0000 throughout, so no pattern reaches across two.
function chunk({ names, slotEnd, first, kind, nameStart, nameEnd }) {
  let text = '\0' + foldCase(names);
  if (slotEnd === '/') text = text.replaceAll('/', '\0');
  index.folded.push(text);
  const ids = new Uint32Array(kind.length);
  extensionsOf(text, kind, nameStart, nameEnd, ids);
  index.extensionParts.push([first, ids]);
}

// The rest of the listing, once the page has read every chunk.
function load(message) {
  const data = (index.data = message);
  const chunks = index.folded.length;
  const chunkFirst = (index.chunkFirst = new Int32Array(chunks + 1).fill(data.count));
  for (let i = data.count - 1; i >= 0; i--) chunkFirst[data.chunkOf[i]] = i;
  for (let c = chunks - 1; c >= 0; c--) if (chunkFirst[c] > chunkFirst[c + 1]) chunkFirst[c] = chunkFirst[c + 1];
  index.extensionId = new Uint32Array(data.count);
  for (const [first, ids] of index.extensionParts) index.extensionId.set(ids, first);
  index.extensionParts = null;
}

// The entry whose name holds clean offset `at` of chunk c, or -1 (a type,
// reason or source string).
function entryAt(c, at) {
  const { chunkFirst, data } = index;
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

function search(message) {
  index.latest = message.id;
  let done;
  const running = new Promise((resolve) => (done = resolve));
  index.searching = running;
  runSearch(message).finally(() => {
    if (index.searching === running) index.searching = null;
    done();
  });
}

async function runSearch({ id, query, filter }) {
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
    const kind = index.data.kind;
    for (let c = 0; c < index.folded.length; c++) {
      const text = index.folded[c];
      searchText(text, compiled, 0, text.length, (at) => {
        const e = entryAt(c, at - 1);
        if (e < 0) return;
        if (index.hidden && index.hidden[e]) return;
        const k = kind[e];
        if (filter === SEARCH_FILES_ONLY && k === KIND_FOLDER) return;
        if (filter === SEARCH_FOLDERS_ONLY && k !== KIND_FOLDER) return;
        batch.push(e);
        count++;
      }, (at) => text.indexOf('\0', at));
      const now = performance.now();
      if (batch.length && (count === batch.length || now - lastPost > 100)) post(false);
      if (now - sliceStart > SLICE_MS) {
        await yieldNow();
        if (index.latest !== id) return;
        sliceStart = performance.now();
      }
    }
  }
  post(true);
}

// A summary gives way to searches: it works in slices and waits while one runs.
async function giveWay(id) {
  await yieldNow();
  while (index.searching) await index.searching;
  return id === index.latestSummary;
}

// Each file's extension as a number, for the entries of one chunk. A short
// ASCII one is looked up by its characters packed into a small integer,
// without making a string for each of millions of files; others by their text.
function extensionOf(text) {
  let x = index.extensionByText.get(text);
  if (x === undefined) {
    x = index.extensions.length;
    index.extensionByText.set(text, x);
    index.extensions.push(text);
  }
  return x;
}

function extensionsOf(text, kind, nameStart, nameEnd, ids) {
  for (let i = 0; i < kind.length; i++) {
    if (kind[i] === KIND_FOLDER) continue;
    const start = nameStart[i] + 1;
    const end = nameEnd[i] + 1;
    // Back from the end to the last dot; a leading dot starts no extension.
    let code = 0; // -1 once it is no short ASCII extension
    let p = end - 1;
    for (; p > start; p--) {
      const ch = text.charCodeAt(p);
      if (ch === 46) break;
      if (code >= 0) code = ch < 128 && code < 0x200000 ? code * 128 + ch : -1;
    }
    if (p <= start) continue;
    if (code < 0) {
      ids[i] = extensionOf(text.slice(p + 1, end));
      continue;
    }
    let x = index.extensionByCode.get(code);
    if (x === undefined) {
      x = extensionOf(text.slice(p + 1, end));
      index.extensionByCode.set(code, x);
    }
    ids[i] = x;
  }
}

// The year of a time in seconds since 1601; times of one day share it.
function yearOf(seconds) {
  const day = Math.floor(seconds / 86400);
  if (day !== index.yearDay) {
    index.yearDay = day;
    index.yearOfDay = new Date(seconds * 1000 - FILETIME_UNIX_MS).getUTCFullYear();
  }
  return index.yearOfDay;
}

// Types by extension, the largest files and the files by modified year of
// the entries [from, to).
async function summary({ id, from, to }) {
  index.latestSummary = id;
  if (index.searching && !(await giveWay(id))) return;
  const { kind, size, mtime } = index.data;
  const extCount = new Float64Array(index.extensions.length);
  const extBytes = new Float64Array(index.extensions.length);
  const years = new Map();
  const top = []; // [size, entry], smallest first once full
  const limit = 100;
  let sliceStart = performance.now();
  for (let e = from; e < to; e++) {
    if ((e & 0xffff) === 0 && performance.now() - sliceStart > SLICE_MS) {
      if (!(await giveWay(id))) return;
      sliceStart = performance.now();
    }
    if (kind[e] === KIND_FOLDER) continue;
    const s = size[e];
    const x = index.extensionId[e];
    extCount[x]++;
    extBytes[x] += s;
    const year = yearOf(mtime[e]);
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
  for (let x = 0; x < index.extensions.length; x++) {
    if (extCount[x]) types.push({ extension: index.extensions[x], count: extCount[x], bytes: extBytes[x] });
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
  if (message.op === 'chunk') chunk(message);
  else if (message.op === 'load') load(message);
  else if (message.op === 'search') search(message);
  else if (message.op === 'summary') summary(message);
  else if (message.op === 'hide') index.hidden = message.hide;
};
