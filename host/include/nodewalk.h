// Walks a node and everything below it depth-first, a node before its children, without
// recursion: scene files may nest deeper than a thread's stack allows.
#pragma once

#include "scene.h"
#include "tab.h"

class NodeWalk {
public:
    explicit NodeWalk(SceneNode* first) : first_(first) {}
    NodeWalk(const NodeWalk&) = delete;
    NodeWalk& operator=(const NodeWalk&) = delete;

    // The next node, or null once the walk is over. Children are asked for again at every
    // step, so the walk stays on live nodes while the caller changes them. Should the path
    // fail to grow (memory ran out), the subtree it could not enter is left out.
    SceneNode* Next()
    {
        if (SceneNode* first = first_) {
            first_ = nullptr;
            return Enter(first, 0);
        }
        while (path_.Count() > 0) {
            const int top = path_.Count() - 1;
            const Step step = path_[top];
            if (step.nextChild >= step.node->ChildCount()) {
                path_.Delete(top, 1);
                continue;
            }
            path_.Set(top, Step{step.node, step.nextChild + 1});
            if (SceneNode* child = step.node->Child(step.nextChild)) return Enter(child, top + 1);
        }
        return nullptr;
    }

    // Levels between the first node and the one Next returned last.
    int Depth() const { return depth_; }

private:
    struct Step {
        SceneNode* node;
        int nextChild;
    };

    // Room in proportion to the depth, so that a deep chain grows in few steps.
    SceneNode* Enter(SceneNode* node, int depth)
    {
        depth_ = depth;
        path_.Append(Step{node, 0}, path_.Count() + 10);
        return node;
    }

    SceneNode* first_;
    Tab<Step> path_;
    int depth_ = 0;
};
