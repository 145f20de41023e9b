// Shared by the page's browser test and its benchmark: the system's Chromium
// (never a downloaded one) in a fresh profile, the page from disk or from a
// server on 127.0.0.1, downloads caught into a folder.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ssbuild-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--enable-precise-memory-info', `--user-data-dir=${profile}`],
  });
  return { browser, close: async () => { await browser.close(); fs.rmSync(profile, { recursive: true, force: true }); } };
}

// Serves one file at / on 127.0.0.1, on a free port.
export function serve(file) {
  return new Promise((resolve) => {
    const server = http.createServer((req, res) => {
      if (req.url !== '/' && req.url !== '/ssbuild.html') { res.writeHead(404); return res.end(); }
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
      fs.createReadStream(file).pipe(res);
    });
    server.listen(0, '127.0.0.1', () =>
      resolve({ url: `http://127.0.0.1:${server.address().port}/ssbuild.html`, close: () => server.close() }));
  });
}

// A page whose downloads land in `folder`.
export async function openPage(browser, url, folder) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  const cdp = await browser.target().createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder, eventsEnabled: true });
  const downloads = new Map();
  cdp.on('Browser.downloadWillBegin', (e) => downloads.set(e.guid, { name: e.suggestedFilename }));
  cdp.on('Browser.downloadProgress', (e) => {
    const d = downloads.get(e.guid);
    if (d) d.state = e.state;
  });
  await page.goto(url);
  await page.waitForSelector('body[data-state="ready"]', { timeout: 60000 });
  // The download of `name` once complete: its bytes (the file is removed).
  page.waitForDownload = async (name, timeout = 120000) => {
    const until = Date.now() + timeout;
    while (Date.now() < until) {
      const found = [...downloads].find(([, x]) => x.name === name && x.state === 'completed');
      if (found) {
        // Taken away, so that the next download of the same name is told apart.
        downloads.delete(found[0]);
        const file = path.join(folder, name);
        const bytes = fs.readFileSync(file);
        fs.rmSync(file);
        return bytes;
      }
      await new Promise((r) => setTimeout(r, 100));
    }
    throw new Error(`no download of ${name}: saw ${JSON.stringify([...downloads.values()])}`);
  };
  page.errors = errors;
  return page;
}

export async function setText(page, selector, text) {
  await page.$eval(selector, (el, value) => {
    el.value = value;
    el.dispatchEvent(new Event('input', { bubbles: true }));
    el.dispatchEvent(new Event('change', { bubbles: true }));
  }, text);
}

// Builds and waits for the outcome; returns the page's record of it.
export async function build(page) {
  await page.click('#build');
  await page.waitForFunction(() => ['built', 'failed'].includes(document.body.dataset.state), { timeout: 600000 });
  return page.evaluate(() => window.ssbuildPage.result);
}
