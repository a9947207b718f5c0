// Reads an Inventor file with the toolkit alone (no recursion classes known)
// and prints the type names of its nodes, sorted, one a line. Fails (status
// 1) when the file does not read or its graph has a cycle.
//
// Usage: read_standard_scene FILE
#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cstdio>
#include <set>
#include <string>
#include <unordered_map>

// Depth-first; a node met again while it is on the path closes a cycle.
static bool collect(SoNode *node, std::set<std::string> &types,
                    std::unordered_map<SoNode *, int> &state) {
    int &s = state[node];
    if (s == 1)
        return false;
    if (s == 2)
        return true;
    s = 1;
    types.insert(node->getTypeId().getName().getString());
    if (SoChildList *children = node->getChildren())
        for (int i = 0; i < children->getLength(); i++)
            if (!collect((*children)[i], types, state))
                return false;
    state[node] = 2;
    return true;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "Usage: read_standard_scene FILE\n");
        return 2;
    }
    SoDB::init();
    SoInput in;
    if (!in.openFile(argv[1]))
        return 1;
    SoSeparator *root = SoDB::readAll(&in);
    if (root == NULL)
        return 1;
    root->ref();
    std::set<std::string> types;
    std::unordered_map<SoNode *, int> state;
    if (!collect(root, types, state)) {
        fprintf(stderr, "read_standard_scene: %s: the graph has a cycle\n", argv[1]);
        return 1;
    }
    for (const std::string &type : types)
        printf("%s\n", type.c_str());
    return 0;
}
