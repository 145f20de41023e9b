#!/usr/bin/env python3
"""The movie corpus through `ssbuild render`, judged by the corpus's own
compare-frames.py: prints one line per case and the matches per tier, and
fails when a tier matches fewer cases than its floor. Raise the floors as the
player gets better; never lower them.

    player_corpus_test.py CORPUS_DIR SSBUILD timeline=N actions=N
"""
import os
import re
import subprocess
import sys

SKIP = 77  # ctest's SKIP_RETURN_CODE for this test


def main():
    corpus, ssbuild, *floors = sys.argv[1:]
    script = os.path.join(corpus, 'compare-frames.py')
    if not os.path.isfile(script):
        print(f'skipped: no movie corpus at {corpus} (compare-frames.py is missing)')
        return SKIP
    wanted = dict(f.split('=') for f in floors)
    run = subprocess.run([sys.executable, script, '--corpus', corpus, ssbuild, 'render', '{movie}',
                          '--frames', '{frames}', '-o', '{out}'], capture_output=True, text=True)
    sys.stdout.write(run.stdout)
    sys.stderr.write(run.stderr)
    found = dict((tier, int(n)) for tier, n in re.findall(r'(\w+): (\d+)/\d+', run.stdout.splitlines()[-1]
                                                           if run.stdout else ''))
    status = 0
    for tier, floor in wanted.items():
        got = found.get(tier)
        if got is None or got < int(floor):
            print(f'FAIL: {tier} matches {got} cases, below the floor of {floor}')
            status = 1
    return status


if __name__ == '__main__':
    sys.exit(main())
