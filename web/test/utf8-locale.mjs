// Imported first by every script here that starts Chromium (or, through the
// Wine scripts, Wine): Chromium names a download from the locale and, under C
// or POSIX, saves "Ωmega-project.zip" as "download". A locale that is not
// UTF-8 is replaced with C.UTF-8 (every Debian 12 has it) for this process and
// all it starts; one that is UTF-8 already is kept.
import { execFileSync } from 'node:child_process';

function charmap() {
  try {
    return execFileSync('locale', ['charmap'], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] }).trim();
  } catch {
    return '';
  }
}

if (charmap() !== 'UTF-8') process.env.LC_ALL = 'C.UTF-8';
