// The demo's turn with the web page: opens ssbuild.html from disk in
// Chromium, gives it pictures, a licence and a read-me, builds, and saves the
// installer and screenshots of the page (as it is and at 200 % zoom).
//   node demo.mjs PAGE.html OUT-DIR
import './utf8-locale.mjs';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { build, launch, openPage, setText } from './browser.mjs';

const pageFile = path.resolve(process.argv[2]);
const out = path.resolve(process.argv[3]);
const pictures = path.join(out, 'pictures');
fs.mkdirSync(pictures, { recursive: true });
const magick = (...args) => execFileSync('convert', args, { cwd: pictures });
magick('-size', '640x480', 'gradient:#ffd27f-#4a7fbf', '-fill', '#ffef9f', '-draw', 'circle 320,300 320,250', 'sunrise.png');
magick('-size', '640x480', '-seed', '3', 'plasma:green-yellow', '-quality', '90', 'meadow.jpg');
magick('-size', '640x480', 'gradient:#1b2a4a-#f29e4c', 'BMP3:dusk.bmp');
magick('-size', '350x150', 'gradient:#87ceeb-#2e8b57', 'BMP3:preview.bmp');

const { browser, close } = await launch();
let status = 0;
try {
  const page = await openPage(browser, pathToFileURL(pageFile).href, out);
  await page.setViewport({ width: 1280, height: 900 });
  await (await page.$('#add-pictures')).uploadFile(...['sunrise.png', 'meadow.jpg', 'dusk.bmp'].map((n) => path.join(pictures, n)));
  await (await page.$('#preview')).uploadFile(path.join(pictures, 'preview.bmp'));
  await setText(page, '#name', 'meadow');
  await setText(page, '#publisher', 'Meadow Makers');
  await setText(page, '#licence', 'The meadow screen saver may be copied freely.\nIt comes without any warranty.');
  await setText(page, '#readme', 'meadow: three pictures of a meadow, shown one after the other.');
  const result = await build(page);
  if (!result.ok) throw new Error(`the page did not build: ${JSON.stringify(result.messages)}`);
  const installer = await page.waitForDownload('meadow-setup.exe');
  fs.writeFileSync(path.join(out, 'meadow-setup.exe'), installer);
  const shot = path.join(out, 'ssbuild-page.png');
  await page.screenshot({ path: shot, fullPage: true });
  await page.setViewport({ width: 640, height: 900, deviceScaleFactor: 2 });
  const zoomed = path.join(out, 'ssbuild-page-200.png');
  await page.screenshot({ path: zoomed, fullPage: true });
  const colours = +execFileSync('identify', ['-format', '%k', shot], { encoding: 'utf8' });
  console.log(`page: ${pageFile} (${fs.statSync(pageFile).size} bytes)`);
  console.log(`built in the page: ${result.ok ? 'yes' : 'no'}, ${(result.ms / 1000).toFixed(2)} s, ${installer.length} bytes: ${path.join(out, 'meadow-setup.exe')}`);
  console.log(`screenshot: ${shot} (${colours} colours), at 200 % zoom: ${zoomed}`);
  if (!result.ok || colours < 50 || page.errors.length) status = 1;
} finally {
  await close();
}
process.exit(status);
