#!/usr/bin/python3
"""Writes a cloud metadata answer for a folder of N entries, in the form
the service wrote it, for `access-bench cloudscan`:

    bench/cloud_listing.py 100000 > listing.json
"""

import json
import sys


def entry(i):
    is_dir = i % 10 == 0
    size = 0 if is_dir else i * 37
    return {"revision": i, "rev": "%x" % i, "thumb_exists": False, "bytes": size,
            "modified": "Tue, 01 Jan 2013 10:%02d:%02d +0000" % (i // 60 % 60, i % 60),
            "path": "/Bench/file \u00e4 %06d%s" % (i, "" if is_dir else ".txt"),
            "is_dir": is_dir, "icon": "folder" if is_dir else "page_white",
            "root": "dropbox", "size": "%d bytes" % size}


def main():
    count = int(sys.argv[1])
    folder = {"hash": "0", "revision": 1, "rev": "1", "thumb_exists": False, "bytes": 0,
              "modified": "Tue, 01 Jan 2013 10:00:00 +0000", "path": "/Bench",
              "is_dir": True, "icon": "folder", "root": "dropbox", "size": "0 bytes",
              "contents": [entry(i) for i in range(count)]}
    sys.stdout.write(json.dumps(folder, separators=(", ", ": ")))


if __name__ == "__main__":
    main()
