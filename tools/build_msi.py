#!/usr/bin/env python3
"""Builds one Tessary installer package, the same way for every build and release.

    build_msi.py --msi OUT.msi --wixl WIXL --epoch SECONDS <wix_source.py options, or @FILE>

@FILE holds wix_source.py's options, one word a line (the build writes one per
package beside it); options after it replace the ones in it, so a release
packs signed copies with `@FILE --dll signed/Tessary.dll ...`. The WiX source
is written beside the package (OUT.wxs).

Two builds of the same files give the same package: the files are packed
from copies dated EPOCH (the cabinet records each file's time), the summary's
dates are EPOCH, and the package code, which wixl draws at random, is derived
from the package's content instead: a package with other content gets
another code, as Windows Installer requires.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wix_source  # noqa: E402
import msi_summary  # noqa: E402

PLACEHOLDER_CODE = "{00000000-0000-0000-0000-000000000000}"


def main():
    parser = argparse.ArgumentParser(fromfile_prefix_chars="@")
    parser.add_argument("--msi", required=True)
    parser.add_argument("--wixl", default="wixl")
    parser.add_argument("--epoch", type=int, required=True)
    own, rest = parser.parse_known_args()
    msi = os.path.abspath(own.msi)
    os.makedirs(os.path.dirname(msi), exist_ok=True)
    base = os.path.splitext(msi)[0]
    args = wix_source.parse_args(rest + ["--out", base + ".wxs"])

    # One folder per option: the x64 package carries two files named Tessary.dll.
    copies = base + ".files"
    shutil.rmtree(copies, ignore_errors=True)
    for option in wix_source.PACKAGED_FILES:
        source = getattr(args, option)
        if not source:
            continue
        copy = os.path.join(copies, option, os.path.basename(source))
        os.makedirs(os.path.dirname(copy))
        shutil.copyfile(source, copy)
        os.utime(copy, (own.epoch, own.epoch))
        setattr(args, option, copy)
    wix_source.write_wxs(args)

    subprocess.run([own.wixl, "-a", args.arch, "-o", msi, args.out], cwd=os.path.dirname(msi), check=True)
    shutil.rmtree(copies)

    msi_summary.rewrite(msi, PLACEHOLDER_CODE, own.epoch)
    with open(msi, "rb") as f:
        content = hashlib.sha256(f.read()).hexdigest()
    msi_summary.rewrite(msi, wix_source.stable_guid("Tessary", "package", content), own.epoch)


if __name__ == "__main__":
    main()
