'use strict';
// Runs before the listing data. A page copied while it was still being
// written, or cut short, ends before the page's own script, which then never
// starts: say so on the first screen instead of "Reading the listing…".
document.addEventListener('DOMContentLoaded', () => {
  if (document.body.dataset.started) return;
  document.body.dataset.incomplete = '1';
  const summary = document.getElementById('summary');
  summary.classList.add('cut');
  summary.textContent = 'This page is incomplete: it ends before its listing does, so nothing of it can be shown. ' +
    'It was probably copied while it was still being written, or cut short. List the folder again, ' +
    'or copy the whole file once the listing is done.';
  for (const id of ['search-form', 'main']) {
    const e = document.getElementById(id);
    if (e) e.hidden = true;
  }
});
