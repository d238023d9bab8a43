'use strict';
// What the benchmarks weigh a page against: the entries of a JSON Lines
// listing and their names' bytes, and the bytes of a page's listing data.
const fs = require('node:fs');

function namesOf(jsonl) {
  let entries = 0;
  let nameBytes = 0;
  for (const line of fs.readFileSync(jsonl, 'utf8').split('\n')) {
    if (!line) continue;
    entries++;
    nameBytes += Buffer.byteLength(JSON.parse(line).name);
  }
  return { entries, nameBytes };
}
function dataBytes(html) {
  const page = fs.readFileSync(html, 'latin1');
  let bytes = 0;
  const re = /<script type="application\/x-tallyfold-listing">([^<]*)<\/script>/g;
  for (let m; (m = re.exec(page));) bytes += m[1].length;
  return { bytes, file: page.length };
}

module.exports = { namesOf, dataBytes };
