// The worker: runs the builder core (SsbuildModule, defined by the script
// before this one) away from the page, so that the page stays responsive.
'use strict';
let core = null;
function loadCore() {
  core = core || SsbuildModule({
    onProgress: (stage, done, total) => postMessage({ type: 'progress', stage, done, total }),
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
  if (request.type === 'ready') return postMessage({ id: request.id });
  if (request.type === 'carried') {
    const bytes = carried(M, request.name);
    return postMessage({ id: request.id, bytes: bytes.buffer }, [bytes.buffer]);
  }
  if (request.type !== 'build') return;
  const started = performance.now();
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
  const at = M._ssb_installer();
  const installer = M.HEAPU8.slice(at, at + M._ssb_installer_size());
  postMessage({ id: request.id, ok, messages, installer: installer.buffer,
                outputName: M.UTF8ToString(M._ssb_output_name()),
                ms: performance.now() - started, wasmBytes: M.HEAPU8.length },
              [installer.buffer]);
}
