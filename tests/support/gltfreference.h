// The whole-document way to save edited glTF texts, for comparison with the splice: the file
// read into one JSON document, each changed node's extras put in, everything printed anew.
#pragma once

#include <string>
#include <vector>

#include "gltfextras.h"
#include "scene.h"

// The file's default-scene nodes in hierarchy order, for a file the glTF reader accepted.
inline std::vector<size_t> ReferenceOrder(const Json& gltf)
{
    std::vector<size_t> order;
    const auto scenes = gltf.find("scenes");
    if (scenes == gltf.end() || scenes->empty()) return order;
    const Json& scene = (*scenes)[gltf.value("scene", size_t(0))];
    std::vector<size_t> pending;
    const auto push = [&](const Json& owner) {
        const auto list = owner.find(&owner == &scene ? "nodes" : "children");
        if (list == owner.end()) return;
        for (size_t i = list->size(); i-- > 0;) pending.push_back((*list)[i].get<size_t>());
    };
    push(scene);
    while (!pending.empty()) {
        const size_t index = pending.back();
        pending.pop_back();
        order.push_back(index);
        push(gltf["nodes"][index]);
    }
    return order;
}

// The document the whole-document writer saves for the scene's texts; false with the node's
// problem where it refuses.
inline bool ReferenceSave(const std::string& json, const Scene& scene, Json& saved,
                          std::string& problem)
{
    saved = Json::parse(json);
    const std::vector<size_t> order = ReferenceOrder(saved);
    NodeTab nodes;
    scene.CollectNodes(nodes);
    for (int i = 0; i < nodes.Count(); ++i) {
        Json& node = saved["nodes"][order[i]];
        const auto found = node.find("extras");
        const ExtrasText asRead =
            TextOfExtras(found == node.end() ? nullptr : &*found, Utf8TextCodec());
        const std::string text = nodes[i]->UserPropText().data();
        if (text == asRead.text) continue;
        Json extras;
        if (!ExtrasOfText(text, asRead, Utf8TextCodec(), extras, problem)) return false;
        if (extras.empty() && !asRead.refusal.empty()) continue;
        if (extras.empty())
            node.erase("extras");
        else
            node["extras"] = std::move(extras);
    }
    return true;
}
