// The page in a real browser: loaded from disk and from a local server, given
// pictures and fields, it builds an installer that must be byte for byte the
// one `ssbuild build` makes from the project and pictures the page offers as
// a zip (unpacked by Debian's unzip); problems land next to their fields in
// ssbuild's own words; a screenshot with pictures is not blank; and, given
// the Wine harness, the page's installer installs through its window.
//   SSI_PAGE=ssbuild.html SSI_SSBUILD=ssbuild [SSI_SSDRIVER=ssdriver.exe SSI_WINE_STATE=DIR]
//   node page-test.mjs [SCREENSHOT.png]
import './utf8-locale.mjs';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const pageFile = path.resolve(process.env.SSI_PAGE || 'build/web/ssbuild.html');
const ssbuild = path.resolve(process.env.SSI_SSBUILD || 'build/release/tools/ssbuild/ssbuild');
const screenshot = process.argv[2];
let failures = 0;
function check(what, ok, detail = '') {
  console.log((ok ? 'ok: ' : 'FAILED: ') + what + (ok || !detail ? '' : '\n  ' + detail));
  if (!ok) failures++;
}
// Exit code 77 (skipped, for ctest) when the page or the builder is not built.
for (const f of [pageFile, ssbuild])
  if (!fs.existsSync(f)) { console.error(`page-test: ${f} is missing (scripts/build-web.sh builds the page)`); process.exit(77); }
if (!fs.existsSync(path.join(here, 'node_modules/puppeteer-core'))) {
  console.error('page-test: puppeteer-core is missing (npm ci in web/test; scripts/install-deps.sh does it)');
  process.exit(77);
}
const { build, launch, openPage, serve, setText } = await import('./browser.mjs');

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'ssbuild-page-test-'));
const inputs = path.join(work, 'in');
fs.mkdirSync(inputs);
const magick = (...args) => execFileSync('convert', args, { cwd: inputs });
// One picture of each kind, and a BMP preview the installer window can show.
magick('-size', '320x240', 'gradient:orange-purple', 'dawn.png');
magick('-size', '320x240', 'plasma:fractal', '-seed', '7', 'meadow.jpg');
magick('-size', '200x150', 'xc:teal', '-fill', 'yellow', '-draw', 'circle 100,75 100,30', 'sun.gif');
// Larger than the builder's picture check reads at first, so that the check
// and the packing both read it.
magick('-size', '640x480', 'gradient:navy-white', 'BMP3:dusk.bmp');
magick('-size', '350x150', 'gradient:skyblue-green', 'BMP3:preview.bmp');
fs.writeFileSync(path.join(inputs, 'corrupt.bmp'), Buffer.from('BM this is not a bitmap at all'));
const pictures = ['dawn.png', 'meadow.jpg', 'sun.gif', 'dusk.bmp'].map((n) => path.join(inputs, n));

// Builds from the page's zip with `ssbuild build`: its installer and its messages.
function nativeBuild(zipBytes, name) {
  const dir = path.join(work, name);
  fs.mkdirSync(dir);
  fs.writeFileSync(path.join(dir, 'project.zip'), zipBytes);
  const test = spawnSync('unzip', ['-tq', 'project.zip'], { cwd: dir, encoding: 'utf8' });
  check(`${name}: unzip finds the page's zip sound`, test.status === 0, test.stdout + test.stderr);
  execFileSync('unzip', ['-q', 'project.zip'], { cwd: dir });
  const run = spawnSync(ssbuild, ['build', 'project.ini', '-o', 'native.exe'], { cwd: dir, encoding: 'utf8' });
  const exe = path.join(dir, 'native.exe');
  return { status: run.status, stderr: run.stderr, installer: fs.existsSync(exe) ? fs.readFileSync(exe) : null, dir };
}

async function fillIn(page) {
  const input = await page.$('#add-pictures');
  await input.uploadFile(...pictures);
  await page.waitForFunction(() => document.querySelectorAll('#pictures li').length === 4);
  await (await page.$('#preview')).uploadFile(path.join(inputs, 'preview.bmp'));
  await setText(page, '#name', 'Seasons of the Meadow');
  await setText(page, '#publisher', 'Meadow Makers');
  await setText(page, '#version', '1.2');
  await setText(page, '#licence', 'You may copy this screen saver.\nIt comes without any warranty.\nÜmlauts welcome.');
  await setText(page, '#readme', 'Seasons of the Meadow\nPictures by the Meadow Makers.');
  await page.select('#transition', 'wipe');
  // Reordering with the keyboard: the JPEG (third, sorted by name) one up.
  const up = await page.$('#pictures li:nth-child(3) button[aria-label^="Move up"]');
  await up.focus();
  await page.keyboard.press('Enter');
  // And by dragging: the first picture dropped onto the last.
  await page.evaluate(() => {
    const items = document.querySelectorAll('#pictures li');
    const data = new DataTransfer();
    const fire = (el, type) => el.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: data }));
    fire(items[0], 'dragstart');
    fire(items[3], 'dragover');
    fire(items[3], 'drop');
    fire(items[0], 'dragend');
  });
  await setText(page, '#seconds-' + await page.$eval('#pictures li:nth-child(2)', (li) => li.dataset.id), '9');
}

async function byteIdentity(browser, url, label) {
  const downloads = fs.mkdtempSync(path.join(work, 'dl-'));
  const page = await openPage(browser, url, downloads);
  await fillIn(page);
  const order = await page.$$eval('#pictures .pic-name', (xs) => xs.map((x) => x.textContent));
  check(`${label}: reordered by keyboard and by dragging`,
        order.join('|') === '1. meadow.jpg|2. dusk.bmp|3. dawn.png|4. sun.gif', order.join('|'));
  const result = await build(page);
  check(`${label}: the page builds`, result.ok, JSON.stringify(result.messages));
  const installer = await page.waitForDownload('Seasons of the Meadow-setup.exe');
  await page.click('#zip');
  const zip = await page.waitForDownload('Seasons of the Meadow-project.zip');
  const native = nativeBuild(zip, label.replace(/\W+/g, '-'));
  check(`${label}: ssbuild build succeeds on the page's project`, native.status === 0, native.stderr);
  check(`${label}: the page's installer is byte for byte ssbuild's (${installer.length} bytes)`,
        native.installer && Buffer.compare(installer, native.installer) === 0);
  const project = fs.readFileSync(path.join(native.dir, 'project.ini'), 'utf8');
  check(`${label}: the project keeps the order and the seconds`,
        /picture = meadow.jpg:6\npicture = dusk.bmp:9\npicture = dawn.png:6\npicture = sun.gif:6/.test(project), project);
  check(`${label}: no script errors`, page.errors.length === 0, page.errors.join('\n'));
  return { page, installer, native, result };
}

// Bad inputs: the problem is shown next to its field, in the words ssbuild
// prints for the same project.
const badCases = [
  { what: 'a name with a character code page 1252 lacks', field: 'name', set: { '#name': 'Ωmega' } },
  { what: 'a name too long', field: 'name', set: { '#name': 'N'.repeat(70) } },
  { what: 'a corrupt preview picture', field: 'preview', preview: 'corrupt.bmp' },
  { what: 'a picture whose name the code page lacks', field: 'picture:ΩΩ.png', picture: 'ΩΩ.png' },
  { what: 'a silent install without the Flash installer', field: 'display', select: ['#display', 'silent'] },
];

async function badInputs(browser, url) {
  for (const c of badCases) {
    const page = await openPage(browser, url, fs.mkdtempSync(path.join(work, 'dl-')));
    const files = [pictures[0]];
    if (c.picture) { fs.copyFileSync(pictures[0], path.join(work, c.picture)); files.push(path.join(work, c.picture)); }
    await (await page.$('#add-pictures')).uploadFile(...files);
    await (await page.$('#preview')).uploadFile(path.join(inputs, c.preview || 'preview.bmp'));
    for (const [sel, value] of Object.entries(c.set || {})) await setText(page, sel, value);
    if (c.select) await page.select(...c.select);
    const result = await build(page);
    const kind = c.warning ? 'warning' : 'error';
    const shown = await page.evaluate((field, kind) => {
      const holder = [...document.querySelectorAll('[data-field]')].find((el) => el.dataset.field === field);
      const box = holder && (holder.classList.contains('problems') ? holder : holder.querySelector('.problems'));
      return box ? [...box.querySelectorAll('.problem.' + kind)].map((p) => p.lastChild.textContent) : null;
    }, c.field, kind);
    check(`bad input, ${c.what}: ${c.warning ? 'a warning' : 'nothing built, an error'} next to "${c.field}"`,
          shown && shown.length > 0 && result.ok === !!c.warning, JSON.stringify({ shown, messages: result.messages }));
    await page.click('#zip');
    const zip = await page.waitForDownload(`${await page.$eval('#name', (e) => e.value)}-project.zip`);
    const native = nativeBuild(zip, 'bad-' + badCases.indexOf(c));
    // ssbuild names files by their paths; the page by their names in the project.
    const words = (native.stderr || '').split(native.dir + '/').join('').split('\n')
      .map((l) => l.replace(/^ssbuild: (warning: )?/, ''));
    check(`bad input, ${c.what}: in ssbuild's words`, shown && shown.every((s) => words.includes(s)),
          JSON.stringify({ shown, stderr: native.stderr }));
    await page.close();
  }
}

// File names as Chromium hands them over, line breaks and all. Those that
// would write a line of their own into project.ini (a signing command that
// `ssbuild build` runs), be read as a variable, lose a blank or reach into
// another folder are refused next to the file, and nothing is built or
// zipped; those the project file can carry go through the page and through
// ssbuild alike.
// Each ends in a picture's extension, as the page takes only those.
const refusedNames = [
  'x.png\n[installer]\nsign = touch signed-by-a-name {out} ;.png',
  'cr\r[show].png',
  'tab\there.png',
  'back\\slash.png',
  ' lead.png',
  'home${HOME}.png',
];
// (Debian's unzip mangles names beyond ASCII, so none here.)
const carriedNames = ['[installer] sign = ;#x.png', 'a = b & c.png'];

async function fileNames(browser, url) {
  for (const name of refusedNames) {
    const what = JSON.stringify(name);
    const downloads = fs.mkdtempSync(path.join(work, 'dl-'));
    const page = await openPage(browser, url, downloads);
    fs.copyFileSync(pictures[0], path.join(work, name));
    await (await page.$('#add-pictures')).uploadFile(pictures[1], path.join(work, name));
    await (await page.$('#preview')).uploadFile(path.join(inputs, 'preview.bmp'));
    const given = await page.evaluate(() => window.ssbuildPage.pictures.map((p) => p.name));
    check(`file name ${what}: the page is given it whole`, given.includes(name), JSON.stringify(given));
    const result = await build(page);
    const shown = await page.evaluate((field) => {
      const li = [...document.querySelectorAll('#pictures li')].find((x) => x.dataset.field === field);
      return li ? [...li.querySelectorAll('.problem.error')].map((p) => p.lastChild.textContent) : [];
    }, 'picture:' + name);
    check(`file name ${what}: nothing built, an error beside the picture`, !result.ok && shown.length > 0,
          JSON.stringify({ shown, messages: result.messages }));
    const project = await page.evaluate(() => window.ssbuildPage.project());
    check(`file name ${what}: the project names it nowhere`,
          !/\bsign\b|\[show\][^]*\[show\]|HOME|slash|lead|tab|\.png/.test(project) &&
          project.split('\n').filter((l) => l === '[installer]').length === 1, project);
    await page.click('#zip');
    await new Promise((r) => setTimeout(r, 1500));
    const zipped = fs.readdirSync(downloads).filter((f) => f.endsWith('.zip'));
    if (zipped.length) {
      const native = nativeBuild(fs.readFileSync(path.join(downloads, zipped[0])), 'names-' + refusedNames.indexOf(name));
      check(`file name ${what}: ssbuild runs no command from the page's zip`,
            !fs.existsSync(path.join(native.dir, 'signed-by-a-name')), native.stderr);
    }
    check(`file name ${what}: no zip`, zipped.length === 0, zipped.join(' '));
    await page.close();
  }
  for (const name of carriedNames) {
    const what = JSON.stringify(name);
    const downloads = fs.mkdtempSync(path.join(work, 'dl-'));
    const page = await openPage(browser, url, downloads);
    fs.copyFileSync(pictures[0], path.join(work, name));
    await (await page.$('#add-pictures')).uploadFile(pictures[1], path.join(work, name));
    await (await page.$('#preview')).uploadFile(path.join(inputs, 'preview.bmp'));
    await setText(page, '#name', 'Names');
    const result = await build(page);
    check(`file name ${what}: the page builds`, result.ok, JSON.stringify(result.messages));
    const installer = result.ok ? await page.waitForDownload('Names-setup.exe') : null;
    await page.click('#zip');
    const native = nativeBuild(await page.waitForDownload('Names-project.zip'), 'carried-' + carriedNames.indexOf(name));
    check(`file name ${what}: ssbuild builds the same installer`,
          native.status === 0 && installer && Buffer.compare(installer, native.installer) === 0, native.stderr);
    check(`file name ${what}: the zip holds it under pictures/`, fs.existsSync(path.join(native.dir, 'pictures', name)));
    await page.close();
  }
}

function notBlank(file) {
  const colours = +execFileSync('identify', ['-format', '%k', file], { encoding: 'utf8' });
  const deviation = +execFileSync('identify', ['-format', '%[fx:standard_deviation]', file], { encoding: 'utf8' });
  check(`the screenshot is not blank (${colours} colours, deviation ${deviation.toFixed(3)})`, colours > 50 && deviation > 0.05);
}

const { browser, close } = await launch();
const server = await serve(pageFile);
try {
  const fromDisk = await byteIdentity(browser, pathToFileURL(pageFile).href, 'from disk');
  const shot = screenshot || path.join(work, 'page.png');
  await fromDisk.page.screenshot({ path: shot, fullPage: true });
  notBlank(shot);
  const fromServer = await byteIdentity(browser, server.url, 'from a server');
  check('disk and server give the same installer', Buffer.compare(fromDisk.installer, fromServer.installer) === 0);
  await badInputs(browser, server.url);
  await fileNames(browser, server.url);
  if (process.env.SSI_SSDRIVER && process.env.SSI_WINE_STATE) {
    const exe = path.join(work, 'page-setup.exe');
    fs.writeFileSync(exe, fromDisk.installer);
    // The size the page's preview gives the window's client area (the licence shown).
    const client = await fromDisk.page.$eval('#win-client', (el) => `${el.offsetWidth} ${el.offsetHeight}`);
    const wine = spawnSync('bash', [path.join(here, 'wine-install.sh'), exe, process.env.SSI_SSDRIVER,
                                    'Seasons of the Meadow', inputs, client],
                           { stdio: 'inherit' });
    check('the page\'s installer installs under Wine through its window', wine.status === 0);
  } else {
    console.log('skipped: the install under Wine (give SSI_SSDRIVER and SSI_WINE_STATE)');
  }
} finally {
  server.close();
  await close();
  if (failures === 0) fs.rmSync(work, { recursive: true, force: true });
  else console.log('kept for a look: ' + work);
}
console.log(failures ? `${failures} check(s) failed` : 'all checks passed');
process.exit(failures ? 1 : 0);
