// The worker: runs the builder core (SsbuildModule, defined by the script
// before this one) away from the page, so that the page stays responsive.
'use strict';
let core = null;
let loaded = null;  // the module, once it is ready
// The most the build's own files (the data file, the installer) held at once
// in the in-memory file system, which lives outside the WebAssembly memory.
let scratchPeak = 0;
function scratchBytes(M) {
  let sum = 0;
  for (const name of M.FS.readdir('/tmp')) {
    const node = M.FS.lookupPath('/tmp/' + name).node;
    if (node.contents && node.contents.buffer) sum += node.contents.buffer.byteLength;
  }
  return sum;
}
// Sets `most` bytes aside for the file at `path`, which the writer is about
// to create: an in-memory file otherwise grows by copies into ever larger
// buffers (the old and the new one held side by side), and its final
// truncation copies it once more. Writes and truncations that fit in the
// room stay in it; the rest goes the ordinary way.
function reserveFile(M, path, most) {
  let room;
  try {
    room = new Uint8Array(most);
  } catch (error) {
    return;  // no room that large at once: the file grows as it is written
  }
  M.FS.writeFile(path, new Uint8Array(0));
  const node = M.FS.lookupPath(path).node;
  node.contents = room;
  node.usedBytes = 0;
  const ops = node.node_ops, stream = node.stream_ops;
  const fits = (n, end) => n.contents && n.contents.length >= end && n.contents.subarray;
  node.node_ops = Object.assign({}, ops, {
    setattr(n, attr) {
      if (attr.size === undefined || !fits(n, attr.size)) return ops.setattr(n, attr);
      if (attr.size > n.usedBytes) n.contents.fill(0, n.usedBytes, attr.size);
      n.usedBytes = attr.size;
      const rest = Object.assign({}, attr);
      delete rest.size;
      return ops.setattr(n, rest);
    },
  });
  node.stream_ops = Object.assign({}, stream, {
    write(s, buffer, offset, length, position, canOwn) {
      const n = s.node;
      if (!length || !fits(n, position + length)) return stream.write(s, buffer, offset, length, position, canOwn);
      n.contents.set(buffer.subarray(offset, offset + length), position);
      n.usedBytes = Math.max(n.usedBytes, position + length);
      n.timestamp = Date.now();
      return length;
    },
  });
}
function loadCore() {
  core = core || SsbuildModule({
    reserveFile: (path, most) => reserveFile(loaded, path, most),
    onProgress: (stage, done, total) => {
      if (loaded) scratchPeak = Math.max(scratchPeak, scratchBytes(loaded));
      postMessage({ type: 'progress', stage, done, total });
    },
  });
  return core;
}
function carried(M, name) {
  const ptr = M.ccall('ssb_carried', 'number', ['string'], [name]);
  return M.HEAPU8.slice(ptr, ptr + M._ssb_carried_size());
}
onmessage = async (e) => {
  try {
    await handle(e.data);
  } catch (error) {
    // Out of memory, say: the page hears of it rather than waiting for ever.
    postMessage({ id: e.data.id, ok: false, installer: null, wasmBytes: 0, ms: 0,
                  messages: [{ kind: 'error', field: '', text: 'the builder stopped: ' + error }] });
  }
};
async function handle(request) {
  const M = await loadCore();
  loaded = M;
  if (request.type === 'ready') return postMessage({ id: request.id });
  if (request.type === 'carried') {
    const bytes = carried(M, request.name);
    return postMessage({ id: request.id, bytes: bytes.buffer }, [bytes.buffer]);
  }
  if (request.type !== 'build') return;
  const started = performance.now();
  scratchPeak = 0;
  M.ccall('ssb_reset', null, ['string'], [request.project]);
  // The screen saver program that ssbuild carries, as the project names it.
  const files = [{ name: 'sample.scr', bytes: carried(M, 'sample.scr') }, ...request.files];
  for (const f of files) {
    const size = f.bytes.byteLength;
    const at = M.ccall('ssb_add_file', 'number', ['string', 'number'], [f.name, size]);
    if (size) M.HEAPU8.set(new Uint8Array(f.bytes), at);
    f.bytes = null;  // the core holds the only copy now
  }
  const ok = M._ssb_build() === 1;
  const messages = JSON.parse(M.UTF8ToString(M._ssb_messages()));
  // The installer's file is handed over as it lies in the in-memory file
  // system (its buffer may be longer than the file): no copy of it is made.
  let installer = new ArrayBuffer(0), size = 0, fileBytes = 0;
  const path = M.UTF8ToString(M._ssb_installer_path());
  if (ok) {
    const node = M.FS.lookupPath(path).node;
    size = node.usedBytes;
    installer = node.contents.byteOffset === 0 ? node.contents.buffer : node.contents.slice(0, size).buffer;
    fileBytes = installer.byteLength;
    M.FS.unlink(path);
  }
  postMessage({ id: request.id, ok, messages, installer, size,
                outputName: M.UTF8ToString(M._ssb_output_name()),
                ms: performance.now() - started, wasmBytes: M.HEAPU8.length,
                scratchBytes: Math.max(fileBytes, scratchPeak) },
              [installer]);
}
