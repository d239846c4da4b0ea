"""Makes a release package with CPack in a scratch folder, for the checks."""

import argparse
import glob
import os
import subprocess


def arguments(*extra):
    parser = argparse.ArgumentParser()
    for name in ("--cpack", "--config", "--source") + extra:
        parser.add_argument(name, required=True)
    return parser.parse_args()


def make_package(options, generator, folder):
    """Runs CPack for generator into folder; returns the one package made."""
    subprocess.run([options.cpack, "-G", generator, "--config", options.config, "-B", folder],
                   check=True, stdout=subprocess.DEVNULL)
    pattern = {"ZIP": "*.zip", "DEB": "*.deb"}[generator]
    made = glob.glob(os.path.join(folder, pattern))
    if len(made) != 1:
        raise SystemExit(f"CPack made {made!r} in {folder}")
    return made[0]


def source_bytes(options, name):
    with open(os.path.join(options.source, name), "rb") as f:
        return f.read()
