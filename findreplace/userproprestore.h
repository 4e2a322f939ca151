// The undo record of one node's user-property text, as Find/Replace names it.
#pragma once

#include "nodetextrestore.h"

class UserPropRestore : public NodeTextRestore {
public:
    using NodeTextRestore::NodeTextRestore;
    CStr Describe() override { return CStr("UserPropRestore"); }
};
