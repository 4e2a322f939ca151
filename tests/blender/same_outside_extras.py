# Checks that a save changed a glTF file only inside node extras: both files with every
# "extras" member cut out must be the same bytes.
#   python3 same_outside_extras.py BEFORE.gltf AFTER.gltf
import json
import re
import sys


def without_extras(text):
    decoder = json.JSONDecoder()
    out = []
    at = 0
    for key in re.finditer(r'\s*,?\s*"extras"\s*:\s*', text):
        if key.start() < at:
            continue
        _, end = decoder.raw_decode(text, key.end())
        out.append(text[at:key.start()])
        at = end
    out.append(text[at:])
    return "".join(out)


before, after = (open(path, encoding="utf-8").read() for path in sys.argv[1:3])
if before == after:
    raise SystemExit("the save changed nothing")
if without_extras(before) != without_extras(after):
    raise SystemExit("the save changed the file outside node extras")
print("only node extras changed")
