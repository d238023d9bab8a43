'use strict';
// A second writer of the explorer data, made from docs/explorer-format.md
// alone, for the decoder's tests; its record kinds and digits are the
// format's one definition (format.js).
const path = require('node:path');
const F = require(path.join(__dirname, '../../src/listing/explorer/format.js'));

// A digit worth d that ends a number (and of a digest in base 85).
const lastDigit = (d) => String.fromCharCode(F.FIRST_LAST_DIGIT + d + (F.FIRST_LAST_DIGIT + d >= F.NOT_A_DIGIT ? 1 : 0));

function number(value) {
  const last = value % F.LAST_BASE;
  let more = Math.floor(value / F.LAST_BASE);
  let digits = '';
  while (more > 0) {
    digits = String.fromCharCode(F.FIRST_MORE_DIGIT + (more % F.MORE_BASE)) + digits;
    more = Math.floor(more / F.MORE_BASE);
  }
  return digits + lastDigit(last);
}
const signed = (step) => number(step >= 0 ? step * 2 : -step * 2 - 1);

function slot(text) {
  if (text !== '' && !/[</\r]/.test(text)) return text + '/';
  return '/' + text.replace(/[%/<\r]/g, (c) => '%' + c.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0')) + '/';
}

function extension(name) {
  const dot = name.lastIndexOf('.');
  return dot <= 0 ? '' : name.slice(dot + 1).replace(/[A-Z]/g, (c) => c.toLowerCase());
}

// Bytes in base 85, four to five digits, with the numbers' last digits.
function base85(bytes) {
  let out = '';
  for (let i = 0; i < bytes.length; i += 4) {
    let v = bytes.readUInt32BE(i);
    const digits = [];
    for (let k = 0; k < 5; k++) {
      digits.unshift(lastDigit(v % F.HASH_BASE));
      v = Math.floor(v / F.HASH_BASE);
    }
    out += digits.join('');
  }
  return out;
}

// The duplicates element: the groups' count, then each group's count and entries.
const duplicatesText = (groups) => number(groups.length) + groups.map((g) => number(g.length) + g.map(number).join('')).join('');

// listings: [{source, listedAt, separator, root, totals}] where a folder is
// {name, files: [{name, kind, type, size, mtime, ctime}], folders: [...],
// filesCount, bytes, subtree, mtime, ctime, skipped}. Returns chunk texts,
// split every `perChunk` records. With `hashName`, `chunks.hashes` holds
// each chunk's hashes element, of the files' `hash` (a Buffer, or none).
function encode(listings, perChunk = 50, hashName = '') {
  const chunks = [];
  chunks.hashes = [];
  let nums = '';
  let names = '';
  let hashes = hashName + ':';
  let records = 0;
  const types = new Map();
  const byExtension = new Map();
  let last = 0;
  const end = () => {
    if (++records % perChunk === 0) {
      chunks.push(nums + '\n' + names);
      chunks.hashes.push(hashes);
      nums = names = '';
      hashes = hashName + ':';
    }
  };
  const folder = (f) => {
    nums += number(F.REC_OPEN);
    names += slot(f.name);
    end();
    for (const file of f.files) {
      let id = 0;
      if (file.type) {
        if (!types.has(file.type)) {
          types.set(file.type, types.size + 1);
          nums += number(F.REC_TYPE);
          names += slot(file.type);
        }
        id = types.get(file.type);
      }
      const ext = extension(file.name);
      let head = file.kind === 'link' ? F.REC_LINK : F.REC_FILE;
      if ((byExtension.get(ext) || 0) !== id) {
        byExtension.set(ext, id);
        head += (id + 1) * F.RECORD_KINDS;
      }
      nums += number(head) + number(file.size) + signed(file.mtime - last) + signed(file.ctime - file.mtime);
      last = file.mtime;
      names += slot(file.name);
      if (file.kind !== 'link') hashes += file.hash ? base85(file.hash) : String.fromCharCode(F.NO_HASH);
      end();
    }
    for (const sub of f.folders) folder(sub);
    nums += number(F.REC_CLOSE + (f.skipped ? F.RECORD_KINDS : 0)) + number(f.filesCount) + number(f.bytes) + number(f.subtree) +
      signed(f.mtime - last) + signed(f.ctime - f.mtime);
    last = f.mtime;
    if (f.skipped) names += slot(f.skipped);
    end();
  };
  for (const l of listings) {
    nums += number(F.REC_LISTING) + number(l.listedAt) + number(l.separator.charCodeAt(0));
    names += slot(l.source);
    end();
    folder(l.root);
    if (l.totals) {
      nums += number(F.REC_TOTALS) + number(l.totals.folders) + number(l.totals.files) + number(l.totals.bytes) +
        number(l.totals.skipped);
      end();
    }
  }
  if (nums) {
    chunks.push(nums + '\n' + names);
    chunks.hashes.push(hashes);
  }
  return chunks;
}

module.exports = { encode, duplicatesText };
