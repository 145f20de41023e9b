// Runs node-pkware (an independent DCL implementation, used only as a black
// box) over a batch of files, so that a test pays for one Node start-up.
// Usage: node pkware.mjs JOBS
// Each line of JOBS is one job:
//   explode IN OUT
//   implode binary|ascii 1024|2048|4096 IN OUT
// A job that fails writes OUT.err with the error instead of OUT. The exit
// code is 0 once every job ran, whatever their outcome.
// The stream interface is used because the one-buffer interface of 5.1.0
// ("node-pkware/simple") leaves the end of some binary streams out.
import {readFileSync, writeFileSync, rmSync} from 'node:fs';
import {Readable} from 'node:stream';
import {pipeline} from 'node:stream/promises';
import {explode, implode, stream, Compression, DictionarySize} from 'node-pkware';

const modes = {binary: Compression.Binary, ascii: Compression.Ascii};
const dictionaries = {1024: DictionarySize.Small, 2048: DictionarySize.Medium, 4096: DictionarySize.Large};

async function through(handler, input) {
  const pieces = [];
  await pipeline(Readable.from([input]), stream.through(handler), async function* (source) {
    for await (const piece of source) pieces.push(piece);
  });
  return Buffer.concat(pieces);
}

function run(fields) {
  if (fields[0] === 'explode') {
    const [, input, output] = fields;
    return [output, () => through(explode(), readFileSync(input))];
  }
  const [, mode, dict, input, output] = fields;
  return [output, () => through(implode(modes[mode], dictionaries[dict]), readFileSync(input))];
}

for (const line of readFileSync(process.argv[2], 'latin1').split('\n')) {
  const fields = line.trim().split(' ');
  if (fields.length < 3) continue;
  const [output, job] = run(fields);
  rmSync(output + '.err', {force: true});
  try {
    writeFileSync(output, await job());
  } catch (error) {
    rmSync(output, {force: true});
    writeFileSync(output + '.err', String(error && error.stack ? error.stack : error));
  }
}
