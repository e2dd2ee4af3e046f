#!/usr/bin/env python3
"""Puts a built brindle.exe and the user's texts into the release zip, byte for byte the same
whoever makes it and wherever: fixed entry order, no extra fields, DOS attributes only, and every
entry dated on the release day of the newest version in the history (noon), not on the build time.

usage: make-package.py BRINDLE_EXE OUT.zip VERSION
"""
import os
import re
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def windows_text(text):
    """CR LF line ends, UTF-8 without a byte-order mark (the texts are ASCII)."""
    return text.replace('\r\n', '\n').replace('\n', '\r\n').encode('utf-8')


def release_day(history):
    """(year, month, day) of the first "released DD.MM.YYYY" line, the newest version."""
    found = re.search(r'released (\d{1,2})\.(\d{1,2})\.(\d{4})', history)
    if not found:
        sys.exit('make-package: no release date in the version history')
    day, month, year = (int(part) for part in found.groups())
    return year, month, day


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    exe, out, version = sys.argv[1:]
    with open(os.path.join(ROOT, 'resources', 'history.txt'), 'rb') as f:
        history = f.read().decode('utf-16')          # the resource is UTF-16 with a byte-order mark
    with open(os.path.join(ROOT, 'docs', 'README.txt'), encoding='utf-8') as f:
        readme = f.read().replace('@VERSION@', version)
    with open(os.path.join(ROOT, 'LICENSE'), encoding='utf-8') as f:
        licence = f.read()
    with open(exe, 'rb') as f:
        program = f.read()

    stamp = release_day(history) + (12, 0, 0)
    entries = [
        ('brindle.exe', program),
        ('README.txt', windows_text(readme)),
        ('history.txt', windows_text(history.lstrip('\ufeff'))),
        ('LICENSE.txt', windows_text(licence)),
    ]
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    partial = out + '.part'
    with zipfile.ZipFile(partial, 'w') as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 0              # MS-DOS: no Unix owner or mode bits
            info.external_attr = 0x20           # FILE_ATTRIBUTE_ARCHIVE, as Windows' own zips have
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, out)


if __name__ == '__main__':
    main()
