// Which nodes changed since the table last looked, as the scene tells them one by one, so
// that the table reads again only their texts. Plain C++.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "scene.h"

class NodeChanges : private SceneObserver {
public:
    NodeChanges() = default;
    ~NodeChanges();
    NodeChanges(const NodeChanges&) = delete;
    NodeChanges& operator=(const NodeChanges&) = delete;

    // Listens to scene (null: to none). textsChanging runs before a text changes or nodes go:
    // whatever reads texts on another thread stops there. It must not throw.
    void Watch(Scene* scene, std::function<void()> textsChanging = {});
    // Nodes are gathered only while on; turning off forgets them.
    void SetOn(bool on);
    void Add(SceneNode* node) noexcept;
    // The indexes in rows of the nodes changed since, in order, and forgets them. False when
    // so many changed, or so many could not be kept, that reading every row is as quick.
    bool TakeRows(const std::vector<SceneNode*>& rows, std::vector<size_t>& changed);
    void Forget();

private:
    void NodeChanged(SceneNode* node) noexcept override;
    void SceneRebuilt() noexcept override;
    void TextsChanging() noexcept override;

    Scene* scene_ = nullptr;
    std::function<void()> textsChanging_;
    std::vector<SceneNode*> nodes_;
    bool on_ = false;
    bool lost_ = false;  // memory ran out for one: every row is read
};
