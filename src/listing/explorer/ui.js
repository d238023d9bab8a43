'use strict';
/* global $, Decoder, Page */
// Starts the page: the worker first, so that it folds each chunk's names
// while the page reads the next; then the data, a slice at a time, and the
// page built on what was read.

function startWorker() {
  const source = $('tf-worker').textContent;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  let worker;
  try {
    worker = new Worker(url);
  } catch {
    $('search-count').textContent = 'Search is not available in this browser.';
    return null;
  }
  worker.onerror = () => {
    $('search-count').textContent = 'Search is not available in this browser.';
  };
  return worker;
}

// A chunk for the worker as soon as it is read: entries [first, decoder.count).
function chunkToWorker(worker, decoder, first) {
  if (!worker) return;
  const c = decoder.chunks.length - 1;
  worker.postMessage({
    op: 'chunk', names: decoder.chunks[c], slotEnd: decoder.slotEnds[c], first, kind: decoder.kind.slice(first, decoder.count),
    nameStart: decoder.nameStart.slice(first, decoder.count), nameEnd: decoder.nameEnd.slice(first, decoder.count),
  });
}

function load() {
  document.body.dataset.started = '1'; // the page is whole (cut_notice.js)
  performance.mark('tallyfold-data-parsed');
  // The listing's chunks, each perhaps followed by its files' hashes, and
  // perhaps the groups of identical files after the last.
  const chunks = [...document.querySelectorAll('script[type^="application/x-tallyfold-"]')];
  const LISTING = 'application/x-tallyfold-listing';
  // An entry takes about twelve characters or more.
  const decoder = new Decoder(chunks.reduce((n, c) => n + (c.type === LISTING ? c.textContent.length : 0), 0) / 12);
  const worker = startWorker();
  let k = 0;
  const step = () => {
    const until = performance.now() + 50;
    try {
      while (k < chunks.length && performance.now() < until) {
        const first = decoder.count;
        const type = chunks[k].type;
        if (type === LISTING) {
          decoder.chunk(chunks[k].textContent);
          chunkToWorker(worker, decoder, first);
        } else if (type === 'application/x-tallyfold-hashes') {
          decoder.hashes(chunks[k].textContent);
        } else if (type === 'application/x-tallyfold-duplicates') {
          decoder.readDuplicates(chunks[k].textContent);
        } else if (type === 'application/x-tallyfold-changes') {
          decoder.readChanges(chunks[k].textContent);
        }
        chunks[k].remove();
        k++;
      }
    } catch (error) {
      $('summary').textContent = 'This listing cannot be read: ' + error.message;
      return;
    }
    if (k < chunks.length) {
      $('summary').textContent = 'Reading the listing… ' + Math.round((k / chunks.length) * 100) + ' %';
      setTimeout(step, 0);
      return;
    }
    new Page(decoder.finish(), worker).build();
    performance.mark('tallyfold-sizes-shown');
    document.body.dataset.ready = '1';
  };
  step();
}

load();
