#!/usr/bin/env python3
"""Writes a zip file that depends on nothing but its inputs: members in the order
given, every one stamped with one time (seconds since 1970, taken as UTC), no
owner, permission or extended time fields.

    make-zip.py OUTPUT.zip SECONDS NAME=FILE...
"""
import sys
import time
import zipfile


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    output, seconds = argv[1], int(argv[2])
    # The zip format cannot hold a time before 1980.
    stamp = time.gmtime(max(seconds, 315532800))[:6]
    with zipfile.ZipFile(output, "w") as archive:
        for member in argv[3:]:
            name, _, path = member.partition("=")
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix permissions
            info.external_attr = 0x20  # the MS-DOS archive bit, as Windows writes a file
            with open(path, "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
