#!/usr/bin/env python3
"""The benchmarks' generated product: about 100 MiB in 2,000 files below 20 folders, half of each
file incompressible and half text, with its install script. Written once into DATA/product and
DATA/material (a marker file DATA/generated says it is complete).

    make-bench-product.py DATA
"""
import hashlib, os, random, shutil, sys

data = sys.argv[1]
product = os.path.join(data, "product")
material = os.path.join(data, "material")
stamp = os.path.join(data, "generated")
FILES, FOLDERS, TOTAL = 2000, 20, 100 * 1024 * 1024
if os.path.exists(stamp):
    sys.exit(0)
shutil.rmtree(product, ignore_errors=True)
shutil.rmtree(material, ignore_errors=True)
os.makedirs(material)
rng = random.Random(2026)
# Sizes from 1 KiB up, scaled so that they add up to the total.
weights = [rng.uniform(0.02, 1.98) for _ in range(FILES)]
scale = TOTAL / sum(weights)
entries = []
for i, weight in enumerate(weights):
    folder = "Media%02d" % (i % FOLDERS)
    name = "%s\\track%04d.dat" % (folder, i)
    size = max(1024, int(weight * scale))
    path = os.path.join(product, folder, "track%04d.dat" % i)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # Half incompressible, half text, like real media-library data.
    noise = hashlib.shake_256(b"bench-%d" % i).digest(size // 2)
    text = (b"track=%08d|artist=Bench|title=Generated|rating=%d\r\n" % (i, i % 6)) * (size // 96 + 1)
    with open(path, "wb") as out:
        out.write((noise + text)[:size])
    entries.append(name)
with open(os.path.join(material, "Install.xml"), "w", encoding="utf-8", newline="\r\n") as out:
    out.write('<?xml version="1.0" encoding="utf-8"?>\n<installer>\n <setup/>\n <product>\n  <Settings>\n')
    for key, value in [("ProductName", "ZUVA Bench"), ("Publisher", "ZUVA Software"),
                       ("ProductVersion", "5.05"), ("ProductVersionId", "5050"),
                       ("ProductVersionNo", "5.05.0.1"), ("BuildDate", "2026.12.01")]:
        out.write('   <Setting name="%s" value="%s"/>\n' % (key, value))
    out.write("  </Settings>\n  <Components>\n")
    for name in entries:
        out.write('   <File name="$DEST\\%s">%s</File>\n' % (name, name))
    out.write("  </Components>\n </product>\n</installer>\n")
open(stamp, "w").close()
