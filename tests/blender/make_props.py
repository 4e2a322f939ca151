# Run by Blender: a small hierarchy with custom properties, exported as glTF with the
# properties as node extras.
#   blender -b --factory-startup --python-exit-code 1 --python make_props.py -- OUT.gltf
import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene


def add(name, parent=None, mesh=None, **props):
    obj = bpy.data.objects.new(name, mesh)
    scene.collection.objects.link(obj)
    obj.parent = parent
    for key, value in props.items():
        obj[key] = value
    return obj


plate = bpy.data.meshes.new("Plate")
plate.from_pydata([(0, 0, 0), (1, 0, 0), (1, 1, 0)], [], [(0, 1, 2)])
crane = add("Crane", mesh=plate, LOD=1, lodBias=2.5, export="static", code="007")
boom = add("Boom", crane, LOD=1, collision="box")
add("Hook", boom, LOD=2, mass=12.5, export="static")
add("Lamp", export="dynamic", note="keep me")
bpy.ops.export_scene.gltf(filepath=out, export_format="GLTF_SEPARATE", export_extras=True)
