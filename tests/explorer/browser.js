'use strict';
// Starts Debian's Chromium headless with a profile of its own, for the page
// tests and the benchmark.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tf-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--window-size=1280,860'],
    defaultViewport: { width: 1280, height: 860 },
  });
  const close = async () => {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { browser, close };
}

// Every row of a virtual grid, scrolled through.
async function gridRows(page, id) {
  return page.evaluate(async (gridId) => {
    const body = document.querySelector('#' + gridId + ' [role=rowgroup]');
    const rows = new Map();
    body.scrollTop = 0;
    for (;;) {
      await new Promise((r) => requestAnimationFrame(r));
      for (const row of body.querySelectorAll('[role=row]:not([hidden])')) {
        rows.set(Number(row.getAttribute('aria-rowindex')), [...row.children].map((c) => c.textContent));
      }
      if (body.scrollTop + body.clientHeight >= body.scrollHeight - 1) break;
      body.scrollTop += body.clientHeight - 22;
    }
    return [...rows.entries()].sort((a, b) => a[0] - b[0]).map((e) => e[1]);
  }, id);
}

// Opens a page file in a tab and waits until it is ready; alerts and
// requests are collected into the arrays given, downloads go to a folder.
async function openPage(tab, file, { alerts, requests, downloads } = {}) {
  if (alerts) {
    tab.on('dialog', async (d) => {
      alerts.push(d.message());
      await d.dismiss();
    });
  }
  if (requests) tab.on('request', (r) => requests.push(r.url()));
  if (downloads) {
    const cdp = await tab.createCDPSession();
    const begun = new Map();
    const waiting = [];
    cdp.on('Browser.downloadWillBegin', (e) => begun.set(e.guid, e.suggestedFilename));
    cdp.on('Browser.downloadProgress', (e) => {
      if (e.state !== 'completed' && e.state !== 'canceled') return;
      const name = begun.get(e.guid);
      const ready = e.state === 'completed' ? path.join(downloads, name) : null;
      waiting.splice(0).forEach((w) => w(ready));
    });
    tab.tallyfoldDownloads = waiting;
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads, eventsEnabled: true });
  }
  await tab.goto('file://' + file);
  await tab.waitForSelector('body[data-ready]', { timeout: 30000 });
}

// Runs an action that downloads one file and gives that file's path once
// Chromium has written all of it (a file seen on disk may still be empty).
async function download(tab, action) {
  const done = new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no download finished within 10 s')), 10000);
    tab.tallyfoldDownloads.push((file) => {
      clearTimeout(timer);
      if (file) resolve(file);
      else reject(new Error('the download was cancelled'));
    });
  });
  await action();
  return done;
}

module.exports = { launch, gridRows, openPage, download };
