'use strict';
// Numbers the page and its worker share; each gets this file first.

// An entry's kind, as the decoder keeps it per entry.
const KIND_FILE = 0;
const KIND_LINK = 1;
const KIND_FOLDER = 2;
// Times are seconds since 1601 (FILETIME / 10^7); this many come before 1970.
const FILETIME_UNIX_SECONDS = 11644473600;
// A search's filter, the values of the page's "Search in" choice.
const SEARCH_FILES_ONLY = 1;
const SEARCH_FOLDERS_ONLY = 2;

if (typeof module !== 'undefined') {
  module.exports = { KIND_FILE, KIND_LINK, KIND_FOLDER, FILETIME_UNIX_SECONDS, SEARCH_FILES_ONLY, SEARCH_FOLDERS_ONLY };
}
