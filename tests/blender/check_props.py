# Run by Blender: imports the fixed glTF and checks every object's custom properties.
#   blender -b --factory-startup --python-exit-code 1 --python check_props.py -- IN.gltf
import sys

import bpy
import numpy

# The importer still uses numpy.bool, which newer numpy releases dropped.
if not hasattr(numpy, "bool"):
    numpy.bool = bool

path = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=path)

# LOD= lines removed, export lines replaced, Lamp's two new lines (a string and a number);
# everything else as exported, types included.
expected = {
    "Crane": {"lodBias": 2.5, "export": "baked", "code": "007"},
    "Boom": {"collision": "box"},
    "Hook": {"mass": 12.5, "export": "baked"},
    "Lamp": {"export": "baked", "note": "keep me", "owner": "ops", "priority": 3},
}
got = {obj.name: {key: obj[key] for key in obj.keys()} for obj in bpy.data.objects}
failures = []
for name, props in expected.items():
    if name not in got:
        failures.append("no object %s (objects: %s)" % (name, sorted(got)))
        continue
    typed = lambda d: {k: (type(v).__name__, v) for k, v in d.items()}
    if typed(got[name]) != typed(props):
        failures.append("%s: expected %s, got %s" % (name, typed(props), typed(got[name])))
if failures:
    raise SystemExit("custom properties differ:\n" + "\n".join(failures))
print("custom properties as intended on %d objects" % len(expected))
