'use strict';
// The listing data's record kinds and number digits (docs/explorer-format.md),
// written here once: the page and its tests read this file, and the build
// makes the C++ writer's constants from it (embed_page.py), so the writer
// and the readers cannot part. Only `const NAME = number;` lines here.

// A record starts with its head: head mod RECORD_KINDS is its kind, the
// rest its argument.
const RECORD_KINDS = 8;
const REC_FILE = 0;
const REC_LINK = 1;
const REC_OPEN = 2;
const REC_CLOSE = 3;
const REC_TYPE = 4;
const REC_LISTING = 5;
const REC_TOTALS = 6;
const REC_COMPARISON = 7;

// A number's digits: any from 'P'..'~' carry more of it (base 47), then one
// from '!'..'O' without '<' ends it (base 46). '<' could start a tag.
const MORE_BASE = 47;
const LAST_BASE = 46;
const FIRST_MORE_DIGIT = 0x50;
const FIRST_LAST_DIGIT = 0x21;
const NOT_A_DIGIT = 0x3c;

// A digest: its bytes four at a time in base 85, in the digits that end a
// number; this character stands for a file whose content was not read.
const HASH_BASE = 85;
const NO_HASH = 0x7e;

// A comparison page's changes element: this many tallies first, then each
// marked entry's mark, one of these.
const CHANGE_TALLY_COUNT = 16;
const CHANGE_SAME = 0;
const CHANGE_ADDED = 1;
const CHANGE_REMOVED = 2;
const CHANGE_CHANGED = 3;
const CHANGE_CONTENT = 4;
const CHANGE_MOVED_HERE = 5;
const CHANGE_MOVED_AWAY = 6;
const CHANGE_NOT_READ = 7;
const CHANGE_NOT_COMPARED = 8;

if (typeof module !== 'undefined') {
  module.exports = {
    RECORD_KINDS, REC_FILE, REC_LINK, REC_OPEN, REC_CLOSE, REC_TYPE, REC_LISTING, REC_TOTALS, REC_COMPARISON,
    MORE_BASE, LAST_BASE, FIRST_MORE_DIGIT, FIRST_LAST_DIGIT, NOT_A_DIGIT, HASH_BASE, NO_HASH, CHANGE_TALLY_COUNT,
    CHANGE_SAME, CHANGE_ADDED, CHANGE_REMOVED, CHANGE_CHANGED, CHANGE_CONTENT, CHANGE_MOVED_HERE, CHANGE_MOVED_AWAY,
    CHANGE_NOT_READ, CHANGE_NOT_COMPARED,
  };
}
