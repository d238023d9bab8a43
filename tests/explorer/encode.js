'use strict';
// A second writer of the explorer data, made from docs/explorer-format.md
// alone, for the decoder's tests.

function number(value) {
  const last = value % 46;
  let more = Math.floor(value / 46);
  let digits = '';
  while (more > 0) {
    digits = String.fromCharCode(0x50 + (more % 47)) + digits;
    more = Math.floor(more / 47);
  }
  return digits + String.fromCharCode(last < 27 ? 0x21 + last : 0x22 + last);
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
      const d = v % 85;
      v = Math.floor(v / 85);
      digits.unshift(String.fromCharCode(d < 27 ? 0x21 + d : 0x22 + d));
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
    nums += number(2);
    names += slot(f.name);
    end();
    for (const file of f.files) {
      let id = 0;
      if (file.type) {
        if (!types.has(file.type)) {
          types.set(file.type, types.size + 1);
          nums += number(4);
          names += slot(file.type);
        }
        id = types.get(file.type);
      }
      const ext = extension(file.name);
      let head = file.kind === 'link' ? 1 : 0;
      if ((byExtension.get(ext) || 0) !== id) {
        byExtension.set(ext, id);
        head += (id + 1) * 8;
      }
      nums += number(head) + number(file.size) + signed(file.mtime - last) + signed(file.ctime - file.mtime);
      last = file.mtime;
      names += slot(file.name);
      if (file.kind !== 'link') hashes += file.hash ? base85(file.hash) : '~';
      end();
    }
    for (const sub of f.folders) folder(sub);
    nums += number(f.skipped ? 11 : 3) + number(f.filesCount) + number(f.bytes) + number(f.subtree) +
      signed(f.mtime - last) + signed(f.ctime - f.mtime);
    last = f.mtime;
    if (f.skipped) names += slot(f.skipped);
    end();
  };
  for (const l of listings) {
    nums += number(5) + number(l.listedAt) + number(l.separator.charCodeAt(0));
    names += slot(l.source);
    end();
    folder(l.root);
    if (l.totals) {
      nums += number(6) + number(l.totals.folders) + number(l.totals.files) + number(l.totals.bytes) +
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
