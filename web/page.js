// The page's own script: the author's inputs, the live previews, the build in
// a worker, and the downloads. Everything that makes installer bytes is the
// builder core inside the worker; this script only gathers inputs and writes
// the project file that both the worker and `ssbuild build` read.
'use strict';

const $ = (id) => document.getElementById(id);
const PICTURE_TYPES = /\.(png|jpe?g|gif|bmp)$/i;
const state = { pictures: [], preview: null, flash: null, nextId: 1, result: null };
// Read by the browser tests and the benchmark.
window.ssbuildPage = state;
state.project = () => projectText();
state.carried = async (name) => (await ask({ type: 'carried', name })).bytes;

// ---- the builder in a worker, made from the scripts carried in this page
let worker = null;
const pending = new Map();
let requestId = 0;
function startWorker() {
  const source = $('ssbuild-module').textContent + '\n' + $('ssbuild-worker').textContent;
  worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  worker.onmessage = (e) => {
    const m = e.data;
    if (m.type === 'progress') return showProgress(m);
    const done = pending.get(m.id);
    if (done) { pending.delete(m.id); done(m); }
  };
  worker.onerror = (e) => {
    $('progress-label').textContent = 'The builder could not start: ' + e.message;
    document.body.dataset.state = 'broken';
  };
}
function ask(message, transfer = []) {
  return new Promise((resolve) => {
    message.id = ++requestId;
    pending.set(message.id, resolve);
    worker.postMessage(message, transfer);
  });
}

// ---- pictures
// A file's name goes into project.ini as the rest of a line, and into the zip
// as an entry: a line break there would start a key or a section of its own
// (a signing command, say), `${` would be read as a variable, blanks at either
// end are trimmed off, and a separator would reach into another folder.
function nameProblem(name) {
  if (/[\x00-\x1f\x7f]/.test(name)) return 'its name holds a line break or another control character: rename the file';
  if (/[\\/]/.test(name) || name === '.' || name === '..') return 'its name holds a folder separator: rename the file';
  if (name.includes('${')) return 'its name holds ${, which the project file reads as a variable: rename the file';
  if (name !== name.trim()) return 'its name starts or ends with a blank, which the project file drops: rename the file';
  return '';
}
function nameProblems() {
  const found = [];
  for (const p of state.pictures)
    if (nameProblem(p.name)) found.push({ kind: 'error', field: 'picture:' + p.name, text: p.name + ': ' + nameProblem(p.name) });
  if (state.preview && nameProblem(state.preview.name))
    found.push({ kind: 'error', field: 'preview', text: state.preview.name + ': ' + nameProblem(state.preview.name) });
  if (state.flash && $('display').value === 'silent' && nameProblem(state.flash.name))
    found.push({ kind: 'error', field: 'flash-installer', text: state.flash.name + ': ' + nameProblem(state.flash.name) });
  return found;
}
function uniqueName(name) {
  const taken = new Set(state.pictures.map((p) => p.name.toLowerCase()));
  if (!taken.has(name.toLowerCase())) return name;
  const dot = name.lastIndexOf('.');
  const stem = dot > 0 ? name.slice(0, dot) : name, ext = dot > 0 ? name.slice(dot) : '';
  for (let n = 2; ; n++) if (!taken.has((stem + '-' + n + ext).toLowerCase())) return stem + '-' + n + ext;
}
function addPictures(files) {
  const sorted = [...files].filter((f) => PICTURE_TYPES.test(f.name))
    .sort((a, b) => (a.webkitRelativePath || a.name).localeCompare(b.webkitRelativePath || b.name));
  for (const file of sorted)
    state.pictures.push({ id: state.nextId++, name: uniqueName(file.name), file,
                          url: URL.createObjectURL(file), seconds: 6 });
  renderPictures();
  changed();
}
async function filesFromEntry(entry, out) {
  if (entry.isFile) {
    out.push(await new Promise((res, rej) => entry.file(res, rej)));
  } else if (entry.isDirectory) {
    const reader = entry.createReader();
    for (;;) {
      const batch = await new Promise((res, rej) => reader.readEntries(res, rej));
      if (!batch.length) break;
      for (const child of batch) await filesFromEntry(child, out);
    }
  }
}
function move(from, to) {
  if (to < 0 || to >= state.pictures.length || from === to) return;
  const [p] = state.pictures.splice(from, 1);
  state.pictures.splice(to, 0, p);
  renderPictures();
  changed();
}
function renderPictures() {
  const list = $('pictures');
  list.textContent = '';
  state.pictures.forEach((p, index) => {
    const li = document.createElement('li');
    li.draggable = true;
    li.dataset.id = p.id;
    li.dataset.field = 'picture:' + p.name;
    const img = document.createElement('img');
    img.src = p.url;
    img.alt = '';
    const name = document.createElement('span');
    name.className = 'pic-name';
    name.textContent = (index + 1) + '. ' + p.name;
    const secondsId = 'seconds-' + p.id;
    const label = document.createElement('label');
    label.htmlFor = secondsId;
    label.textContent = 'Seconds';
    label.className = 'inline';
    const seconds = document.createElement('input');
    seconds.type = 'number'; seconds.min = '1'; seconds.max = '3600'; seconds.id = secondsId;
    seconds.value = p.seconds;
    seconds.setAttribute('aria-label', 'Seconds for ' + p.name);
    seconds.addEventListener('change', () => { p.seconds = Math.max(1, Math.round(+seconds.value || 6)); changed(); });
    const button = (text, what, action, disabled) => {
      const b = document.createElement('button');
      b.type = 'button'; b.textContent = text; b.disabled = disabled;
      b.setAttribute('aria-label', what + ' ' + p.name);
      b.addEventListener('click', action);
      return b;
    };
    const up = button('Up', 'Move up', () => { move(index, index - 1); focusRow(p.id, 'Up'); }, index === 0);
    const down = button('Down', 'Move down', () => { move(index, index + 1); focusRow(p.id, 'Down'); },
                        index === state.pictures.length - 1);
    const remove = button('Remove', 'Remove', () => {
      URL.revokeObjectURL(p.url);
      state.pictures.splice(state.pictures.indexOf(p), 1);
      renderPictures(); changed();
    }, false);
    const problems = document.createElement('div');
    problems.className = 'problems';
    problems.setAttribute('aria-live', 'polite');
    if (nameProblem(p.name)) {
      const problem = document.createElement('p');
      problem.className = 'problem error';
      const strong = document.createElement('strong');
      strong.textContent = 'Error:';
      problem.append(strong, document.createTextNode(p.name + ': ' + nameProblem(p.name)));
      problems.append(problem);
    }
    li.append(img, name, label, seconds, up, down, remove, problems);
    li.addEventListener('dragstart', (e) => { li.classList.add('dragging'); e.dataTransfer.setData('text/x-picture', String(p.id)); e.dataTransfer.effectAllowed = 'move'; });
    li.addEventListener('dragend', () => li.classList.remove('dragging'));
    li.addEventListener('dragover', (e) => {
      if (!e.dataTransfer.types.includes('text/x-picture')) return;
      e.preventDefault(); li.classList.add('drop-before');
    });
    li.addEventListener('dragleave', () => li.classList.remove('drop-before'));
    li.addEventListener('drop', (e) => {
      const id = +e.dataTransfer.getData('text/x-picture');
      if (!id) return;
      e.preventDefault(); e.stopPropagation();
      li.classList.remove('drop-before');
      const from = state.pictures.findIndex((q) => q.id === id);
      let to = state.pictures.indexOf(p);
      if (from < to) to -= 1;
      move(from, to);
    });
    list.append(li);
  });
}
function focusRow(id, text) {
  const li = document.querySelector(`#pictures li[data-id="${id}"]`);
  const b = li && [...li.querySelectorAll('button')].find((x) => x.textContent === text && !x.disabled);
  (b || (li && li.querySelector('input')))?.focus();
}

// ---- the project file: what the worker builds from and the zip carries
function files() {
  const list = [];
  for (const p of state.pictures) if (!nameProblem(p.name)) list.push({ name: 'pictures/' + p.name, blob: p.file });
  if (state.preview && !nameProblem(state.preview.name)) list.push({ name: 'preview/' + state.preview.name, blob: state.preview });
  const licence = $('licence').value, readme = $('readme').value;
  if (licence) list.push({ name: 'licence.txt', blob: new Blob([licence]) });
  if (readme) list.push({ name: 'readme.txt', blob: new Blob([readme]) });
  if (state.flash && $('display').value === 'silent' && !nameProblem(state.flash.name)) list.push({ name: 'flash/' + state.flash.name, blob: state.flash });
  return list;
}
const oneLine = (text) => text.replace(/[\r\n]+/g, ' ').trim();
function projectText() {
  const name = oneLine($('name').value);
  const display = $('display').value;
  const lines = [
    '; Made by ssbuild.html. Build the same installer with',
    ';     ssbuild build project.ini',
    '', '[installer]',
    'output = ' + name + '-setup.exe',
    'name = ' + name,
    'display = ' + display,
    'accept-licence = ' + ($('licence').value ? 'yes' : 'no'),
    'open-readme = ' + ($('readme').value ? 'yes' : 'no'),
    '', '[files]', 'screen-saver = sample.scr'];
  const named = (file) => file && !nameProblem(file.name);
  if (named(state.preview)) lines.push('preview = preview/' + state.preview.name);
  if ($('licence').value) lines.push('licence = licence.txt');
  if ($('readme').value) lines.push('readme = readme.txt');
  if (named(state.flash) && display === 'silent') lines.push('flash-installer = flash/' + state.flash.name);
  const pictures = state.pictures.filter(named);
  for (const p of pictures) lines.push('', '[chunk]', 'file = pictures/' + p.name);
  lines.push('', '[show]');
  for (const p of pictures) lines.push('picture = ' + p.name + ':' + p.seconds);
  lines.push('transition = ' + $('transition').value, 'order = ' + $('order').value);
  const publisher = oneLine($('publisher').value), version = oneLine($('version').value);
  if (publisher) lines.push('publisher = ' + publisher);
  if (version) lines.push('version = ' + version);
  return lines.join('\n') + '\n';
}

// ---- problems next to their fields, in the builder's words
function clearProblems() {
  document.querySelectorAll('.problems').forEach((p) => { p.textContent = ''; });
  $('notes').textContent = '';
  $('notes-box').hidden = true;
}
function placeFor(field) {
  if (field.startsWith('picture:')) {
    const li = [...document.querySelectorAll('#pictures li')].find((x) => x.dataset.field === field);
    if (li) return li.querySelector('.problems');
    field = 'pictures';
  }
  if (field === 'screen-saver' || field === 'flash-installer' && $('flash-field').hidden) field = '';
  return document.querySelector(`[data-field="${CSS.escape(field)}"] .problems, .problems[data-field="${CSS.escape(field)}"]`)
      || document.querySelector('.problems[data-field=""]');
}
function showMessages(messages) {
  clearProblems();
  for (const m of messages) {
    if (m.kind === 'note') {
      const li = document.createElement('li');
      li.textContent = m.text;
      $('notes').append(li);
      $('notes-box').hidden = false;
      continue;
    }
    const p = document.createElement('p');
    p.className = 'problem ' + m.kind;
    const strong = document.createElement('strong');
    strong.textContent = m.kind === 'error' ? 'Error:' : 'Warning:';
    p.append(strong, document.createTextNode(m.text));
    placeFor(m.field).append(p);
  }
}

// ---- build and downloads
function showProgress(m) {
  const bar = $('progress');
  if (m.stage === 'packing' && m.total > 0) {
    bar.max = m.total; bar.value = m.done;
    $('progress-label').textContent = 'Packing: ' + Math.round(100 * m.done / m.total) + ' %';
  } else {
    bar.removeAttribute('value');
    $('progress-label').textContent = m.stage === 'checking' ? 'Checking and packing the pictures…' : m.stage;
  }
}
function download(blob, name) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
}
// Files the page cannot name in the project: nothing is built or zipped.
function refusedForNames() {
  const problems = nameProblems();
  if (!problems.length) return false;
  showMessages(problems);
  $('progress-label').textContent = 'Nothing built';
  $('result').textContent = problems.length + ' file name' + (problems.length === 1 ? '' : 's') + ' to change: see the messages next to the fields.';
  state.result = { ok: false, messages: problems };
  document.body.dataset.state = 'failed';
  return true;
}
async function build() {
  if (refusedForNames()) return;
  const started = performance.now();
  document.body.dataset.state = 'building';
  $('build').disabled = true;
  $('result').textContent = '';
  clearProblems();
  showProgress({ stage: 'Reading the pictures…' });
  const list = files();
  const buffers = await Promise.all(list.map((f) => f.blob.arrayBuffer()));
  const project = projectText();
  const m = await ask({ type: 'build', project,
                        files: list.map((f, i) => ({ name: f.name, bytes: buffers[i] })) },
                      buffers);
  const ms = performance.now() - started;
  showMessages(m.messages);
  const bar = $('progress');
  bar.max = 1; bar.value = m.ok ? 1 : 0;
  state.result = { ok: m.ok, ms, buildMs: m.ms, size: m.size,
                   wasmBytes: m.wasmBytes, scratchBytes: m.scratchBytes, messages: m.messages,
                   jsHeap: performance.memory ? performance.memory.usedJSHeapSize : 0 };
  if (m.ok) {
    const name = m.outputName || oneLine($('name').value) + '-setup.exe';
    $('progress-label').textContent = 'Built in ' + (ms / 1000).toFixed(1) + ' s';
    $('result').textContent = name + ' (' + m.size.toLocaleString('en') + ' bytes) is downloading.';
    download(new Blob([new Uint8Array(m.installer, 0, m.size)], { type: 'application/octet-stream' }), name);
  } else {
    const errors = m.messages.filter((x) => x.kind === 'error').length;
    $('progress-label').textContent = 'Nothing built';
    $('result').textContent = errors + ' problem' + (errors === 1 ? '' : 's') + ' to fix: see the messages next to the fields.';
    const first = document.querySelector('.problem.error');
    const field = first && first.closest('[data-field], li');
    const control = field && field.querySelector('input, select, textarea');
    if (control) control.focus();
  }
  // A fresh worker for the next build: WebAssembly memory only grows, and a
  // build's peak should not stay with the page.
  worker.terminate();
  startWorker();
  await ask({ type: 'ready' });
  $('build').disabled = false;
  document.body.dataset.state = m.ok ? 'built' : 'failed';
}

// A zip of the project (stored, not compressed: pictures are compressed
// already), with UTF-8 names and a fixed date so the same inputs give the
// same zip.
const CRC_TABLE = (() => {
  const t = new Uint32Array(256);
  for (let n = 0; n < 256; n++) { let c = n; for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1; t[n] = c >>> 0; }
  return t;
})();
function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}
function zip(entries) {
  const enc = new TextEncoder(), parts = [], central = [];
  let offset = 0;
  for (const { name, bytes } of entries) {
    const n = enc.encode(name), crc = crc32(bytes);
    const head = new DataView(new ArrayBuffer(30));
    head.setUint32(0, 0x04034b50, true); head.setUint16(4, 20, true); head.setUint16(6, 0x0800, true);
    head.setUint16(10, 0, true); head.setUint16(12, 0x21, true);  // 1980-01-01 00:00
    head.setUint32(14, crc, true); head.setUint32(18, bytes.length, true); head.setUint32(22, bytes.length, true);
    head.setUint16(26, n.length, true);
    parts.push(head, n, bytes);
    const c = new DataView(new ArrayBuffer(46));
    c.setUint32(0, 0x02014b50, true); c.setUint16(4, 20, true); c.setUint16(6, 20, true); c.setUint16(8, 0x0800, true);
    c.setUint16(14, 0x21, true); c.setUint32(16, crc, true); c.setUint32(20, bytes.length, true);
    c.setUint32(24, bytes.length, true); c.setUint16(28, n.length, true); c.setUint32(42, offset, true);
    central.push(c, n);
    offset += 30 + n.length + bytes.length;
  }
  const size = central.reduce((s, x) => s + x.byteLength, 0);
  const end = new DataView(new ArrayBuffer(22));
  end.setUint32(0, 0x06054b50, true); end.setUint16(8, entries.length, true); end.setUint16(10, entries.length, true);
  end.setUint32(12, size, true); end.setUint32(16, offset, true);
  return new Blob([...parts, ...central, end], { type: 'application/zip' });
}
async function downloadZip() {
  if (refusedForNames()) return;
  const list = files();
  const entries = [{ name: 'project.ini', bytes: new TextEncoder().encode(projectText()) }];
  const saver = await ask({ type: 'carried', name: 'sample.scr' });
  entries.push({ name: 'sample.scr', bytes: new Uint8Array(saver.bytes) });
  for (const f of list) entries.push({ name: f.name, bytes: new Uint8Array(await f.blob.arrayBuffer()) });
  download(zip(entries), oneLine($('name').value) + '-project.zip');
}

// ---- live previews
function px(el, box) {
  Object.assign(el.style, { left: box[0] + 'px', top: box[1] + 'px', width: box[2] + 'px', height: box[3] + 'px' });
}
function renderWindow() {
  const L = LAYOUT.layout, T = LAYOUT.text;
  const silent = $('display').value === 'silent';
  $('window-frame').hidden = silent;
  $('silent-note').hidden = !silent;
  const licence = $('licence').value;
  const shown = licence !== '';
  // The window is arranged to this outer width; its frame is the classic
  // one: 3 pixels a side, 4 when sizeable (with a licence).
  const frame = shown ? 4 : 3;
  const width = L.arrangedWidth - 2 * frame;
  const contentBottom = L.contentPanel[1] + L.contentPanel[3];
  const height = contentBottom + L.buttonPanel[3] + (shown ? L.licenceHeight + L.licenceFitMargin : 0);
  $('window-frame').classList.toggle('sizeable', shown);
  Object.assign($('win-client').style, { width: width + 'px', height: height + 'px' });
  $('win-title').textContent = T.kApplicationTitle + ' ' + oneLine($('name').value);
  px($('w-content'), L.contentPanel);
  const bmp = L.bmpPanel;
  px($('w-bmp'), [bmp[0] - 1, bmp[1] - 1, bmp[2], bmp[3]]);  // inside the panel's 1-pixel bevel
  const previewUrl = state.previewUrl;
  $('w-bmp').style.backgroundImage = previewUrl ? `url("${previewUrl}")` : 'none';
  const panelTop = height - L.buttonPanel[3];
  px($('w-buttons'), [0, panelTop, width, L.buttonPanel[3]]);
  const grow = width - L.buttonPanel[2];
  px($('w-progress'), [L.progressBar[0], L.progressBar[1], Math.max(0, L.progressBar[2] + grow), L.progressBar[3]]);
  px($('w-install'), [L.installBtn[0] + grow, L.installBtn[1], L.installBtn[2], L.installBtn[3]]);
  px($('w-decline'), L.declineBtn);
  $('w-install').textContent = shown ? T.kAcceptAndInstallCaption : T.kInstallCaptionPlain;
  $('w-decline').textContent = T.kDeclineCaption.replace('&', '');
  $('w-decline').hidden = !shown;
  const licTop = contentBottom + L.licenceGapAbove;
  $('w-licence').hidden = !shown;
  px($('w-licence'), [0, licTop, width, Math.max(L.licenceMinHeight, panelTop - L.licenceGapBelow - licTop)]);
  $('w-licence').textContent = licence;
}

const show = { index: -1, timer: 0, playing: !matchMedia('(prefers-reduced-motion: reduce)').matches, order: [], top: 'a' };
function showOrder() {
  const order = state.pictures.map((_, i) => i);
  if ($('order').value === 'shuffled')
    for (let i = order.length - 1; i > 0; i--) { const j = Math.floor(Math.random() * (i + 1)); [order[i], order[j]] = [order[j], order[i]]; }
  return order;
}
function showStep() {
  clearTimeout(show.timer);
  const n = state.pictures.length;
  $('show-empty').hidden = n > 0;
  if (!n) { $('show-a').removeAttribute('src'); $('show-b').removeAttribute('src'); return; }
  if (show.order.length !== n) show.order = showOrder();
  show.index = (show.index + 1) % n;
  const picture = state.pictures[show.order[show.index]] || state.pictures[0];
  const incoming = show.top === 'a' ? $('show-b') : $('show-a');
  const outgoing = show.top === 'a' ? $('show-a') : $('show-b');
  const transition = $('transition').value, ms = 700;
  incoming.style.transition = 'none';
  incoming.style.opacity = transition === 'fade' ? '0' : '1';
  incoming.style.clipPath = transition === 'wipe' ? 'inset(0 100% 0 0)' : 'none';
  incoming.style.zIndex = '2'; outgoing.style.zIndex = '1';
  incoming.src = picture.url;
  incoming.alt = picture.name;
  void incoming.offsetWidth;
  if (transition !== 'cut') {
    incoming.style.transition = `opacity ${ms}ms linear, clip-path ${ms}ms linear`;
    incoming.style.opacity = '1';
    incoming.style.clipPath = 'inset(0 0 0 0)';
  }
  show.top = show.top === 'a' ? 'b' : 'a';
  if (show.playing) show.timer = setTimeout(showStep, picture.seconds * 1000);
}

function setPreview(file) {
  if (state.previewUrl && !(state.preview && state.pictures.some((p) => p.file === state.preview))) URL.revokeObjectURL(state.previewUrl);
  state.preview = file;
  state.previewUrl = file ? URL.createObjectURL(file) : '';
  renderWindow();
}

let showChangeTimer = 0;
function changed() {
  renderWindow();
  $('zip').disabled = !worker || document.body.dataset.state === 'loading';
  clearTimeout(showChangeTimer);
  showChangeTimer = setTimeout(() => { show.order = showOrder(); show.index = -1; showStep(); }, 50);
}

// ---- wiring
function wire() {
  $('add-pictures').addEventListener('change', (e) => { addPictures(e.target.files); e.target.value = ''; });
  $('add-folder').addEventListener('change', (e) => { addPictures(e.target.files); e.target.value = ''; });
  const drop = $('drop');
  for (const target of [drop, $('pictures')]) {
    target.addEventListener('dragover', (e) => {
      if (!e.dataTransfer.types.includes('Files')) return;
      e.preventDefault(); drop.classList.add('over');
    });
    target.addEventListener('dragleave', () => drop.classList.remove('over'));
    target.addEventListener('drop', async (e) => {
      if (!e.dataTransfer.types.includes('Files')) return;
      e.preventDefault(); drop.classList.remove('over');
      const found = [];
      const entries = [...e.dataTransfer.items].map((i) => i.webkitGetAsEntry && i.webkitGetAsEntry()).filter(Boolean);
      if (entries.length) for (const entry of entries) await filesFromEntry(entry, found);
      else found.push(...e.dataTransfer.files);
      addPictures(found);
    });
  }
  $('preview').addEventListener('change', (e) => setPreview(e.target.files[0] || null));
  $('preview-first').addEventListener('click', () => { if (state.pictures[0]) setPreview(state.pictures[0].file); });
  $('flash').addEventListener('change', (e) => { state.flash = e.target.files[0] || null; });
  $('display').addEventListener('change', () => { $('flash-field').hidden = $('display').value !== 'silent'; changed(); });
  for (const id of ['name', 'licence', 'readme', 'transition', 'order', 'publisher', 'version'])
    $(id).addEventListener('input', changed);
  $('show-play').addEventListener('click', () => {
    show.playing = !show.playing;
    $('show-play').setAttribute('aria-pressed', String(show.playing));
    $('show-play').textContent = show.playing ? 'Pause the show' : 'Play the show';
    if (show.playing) showStep(); else clearTimeout(show.timer);
  });
  $('show-play').textContent = show.playing ? 'Pause the show' : 'Play the show';
  $('build').addEventListener('click', build);
  $('zip').addEventListener('click', downloadZip);
}

wire();
renderWindow();
startWorker();
ask({ type: 'ready' }).then(() => {
  document.body.dataset.state = 'ready';
  $('build').disabled = false;
  $('zip').disabled = false;
  $('progress-label').textContent = 'Ready';
});
