// The page's build time against the native ssbuild's, in the same run, on
// about 20 MB of pictures (JPEGs and PNGs as cameras and drawing programs
// write them, and BMPs, which implode squeezes), and the page's memory.
// Prints figures; checks only that both made the same bytes.
//   node bench.mjs PAGE.html SSBUILD [RUNS]
import './utf8-locale.mjs';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { build, launch, openPage, setText } from './browser.mjs';

const [pageFile, ssbuild] = [path.resolve(process.argv[2]), path.resolve(process.argv[3])];
const runs = +(process.argv[4] || 3);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'ssbuild-page-bench-'));
const pictures = path.join(work, 'pictures');
fs.mkdirSync(pictures);
const magick = (...args) => execFileSync('convert', args, { cwd: pictures });
for (let i = 0; i < 5; i++) magick('-size', '1400x1050', '-seed', String(i), 'plasma:fractal', '-quality', '97', `photo${i}.jpg`);
for (let i = 0; i < 6; i++) magick('-size', '700x500', '-seed', String(i), 'plasma:fractal', '-blur', '0x2', `drawing${i}.png`);
for (let i = 0; i < 6; i++) magick('-size', '800x600', `gradient:${['red', 'navy', 'gold'][i % 3]}-white`, `BMP3:scan${i}.bmp`);
const files = fs.readdirSync(pictures).sort().map((n) => path.join(pictures, n));
const inputBytes = files.reduce((s, f) => s + fs.statSync(f).size, 0);

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const { browser, close } = await launch();
try {
  const downloads = fs.mkdtempSync(path.join(work, 'dl-'));
  const page = await openPage(browser, pathToFileURL(pageFile).href, downloads);
  await (await page.$('#add-pictures')).uploadFile(...files);
  await setText(page, '#name', 'Bench');
  await page.click('#preview-first');
  const pageMs = [], coreMs = [], nativeMs = [], native1Ms = [];
  let result = null;
  let project = null;
  for (let run = 0; run < runs; run++) {
    result = await build(page);
    if (!result.ok) throw new Error(JSON.stringify(result.messages));
    pageMs.push(result.ms);
    coreMs.push(result.buildMs);
    const installer = await page.waitForDownload('Bench-setup.exe');
    if (!project) {
      // The same inputs for ssbuild: the page's project beside the pictures.
      project = path.join(work, 'project');
      fs.mkdirSync(project);
      fs.writeFileSync(path.join(project, 'project.ini'),
                       await page.evaluate(() => window.ssbuildPage.project()));
      fs.symlinkSync(pictures, path.join(project, 'pictures'));
      fs.symlinkSync(pictures, path.join(project, 'preview'));
      fs.writeFileSync(path.join(project, 'sample.scr'), Buffer.from(await page.evaluate(async () =>
        [...new Uint8Array(await window.ssbuildPage.carried('sample.scr'))])));
    }
    for (const [jobs, times] of [[[], nativeMs], [['-j', '1'], native1Ms]]) {
      const started = process.hrtime.bigint();
      const r = spawnSync(ssbuild, ['build', 'project.ini', '-o', 'native.exe', '-q', ...jobs], { cwd: project });
      times.push(Number(process.hrtime.bigint() - started) / 1e6);
      if (r.status !== 0) throw new Error('ssbuild failed: ' + r.stderr);
      if (Buffer.compare(installer, fs.readFileSync(path.join(project, 'native.exe'))) !== 0)
        throw new Error('the page and ssbuild made different installers');
    }
  }
  const mb = (n) => (n / 1048576).toFixed(1) + ' MiB';
  console.log(`pictures: ${files.length} files, ${mb(inputBytes)}; installer ${mb(result.size)}; the same bytes from both`);
  console.log(`page (click to download, median of ${runs}): ${(median(pageMs) / 1000).toFixed(2)} s; the core in the worker ${(median(coreMs) / 1000).toFixed(2)} s`);
  console.log(`native ssbuild build: ${(median(nativeMs) / 1000).toFixed(2)} s (default jobs), ${(median(native1Ms) / 1000).toFixed(2)} s (-j 1)`);
  console.log(`ratio page / native: ${(median(pageMs) / median(nativeMs)).toFixed(2)} (default jobs), ${(median(pageMs) / median(native1Ms)).toFixed(2)} (-j 1)`);
  // The page's memory against the input: the WebAssembly memory at its peak
  // (it never shrinks), with the page's JavaScript heap, and with the
  // worker's in-memory files too (the data file and the installer, outside
  // the WebAssembly memory); the goal is at most 4x.
  const x = (n) => (n / inputBytes).toFixed(2) + 'x';
  const { wasmBytes, jsHeap, scratchBytes } = result;
  console.log(`page memory: WebAssembly ${mb(wasmBytes)} (${x(wasmBytes)} the input); with the page's JavaScript heap (${mb(jsHeap)}) ${x(wasmBytes + jsHeap)}; with the worker's in-memory files (${mb(scratchBytes)}) ${x(wasmBytes + jsHeap + scratchBytes)}`);
  console.log(`page size: ${fs.statSync(pageFile).size} bytes`);
} finally {
  await close();
  fs.rmSync(work, { recursive: true, force: true });
}
