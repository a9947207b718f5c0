// Reload soak: one scene loaded, traversed, torn down and released a thousand
// times in one process. The variable registry must come back to where it was
// after every cycle, and the resident memory must stop growing.
#include "Recursion.h"

#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <unistd.h>

namespace {

// Resident set size of this process in bytes, from /proc/self/statm.
long residentBytes() {
    long size = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f == nullptr)
        return -1;
    if (fscanf(f, "%ld %ld", &size, &resident) != 2)
        resident = -1;
    fclose(f);
    return resident * sysconf(_SC_PAGESIZE);
}

SoCallbackAction::Response countShape(void *data, SoCallbackAction *, const SoNode *) {
    ++*static_cast<int *>(data);
    return SoCallbackAction::CONTINUE;
}

struct Soak {
    const char *scene;
    int shapes; // the shapes one traversal reaches
};

void PrintTo(const Soak &soak, std::ostream *out) {
    *out << soak.scene;
}

// TESSVANE_SOAK_CYCLES sets fewer cycles for a run under valgrind, whose own
// bookkeeping grows the resident memory; the memory is compared only after
// the full thousand.
int soakCycles() {
    const char *text = getenv("TESSVANE_SOAK_CYCLES");
    return text ? atoi(text) : 1000;
}

class ReloadSoak : public testing::TestWithParam<Soak> {};

TEST_P(ReloadSoak, RegistryAndMemoryAreTheSameAfterEveryCycle) {
    const std::string path = std::string(TESSVANE_EXAMPLES) + "/" + GetParam().scene;
    const int cycles = soakCycles(), settled = 50;
    const int before = RecursionElement::getCount();
    int loadedCount = -1;
    long residentAtSettled = 0;
    for (int cycle = 1; cycle <= cycles; cycle++) {
        SoSeparator *root = loadRecursionFile(path.c_str());
        ASSERT_NE(root, nullptr) << "cycle " << cycle;
        if (loadedCount < 0)
            loadedCount = RecursionElement::getCount();
        ASSERT_EQ(RecursionElement::getCount(), loadedCount) << "cycle " << cycle;

        int shapes = 0;
        SoCallbackAction traversal;
        traversal.addPreCallback(SoShape::getClassTypeId(), countShape, &shapes);
        traversal.apply(root);
        ASSERT_EQ(shapes, GetParam().shapes) << "cycle " << cycle;

        releaseRecursionScene(root);
        ASSERT_EQ(RecursionElement::getCount(), before) << "cycle " << cycle;
        if (cycle == settled)
            residentAtSettled = residentBytes();
    }
    EXPECT_GT(loadedCount, before); // the scene does assign variables
    if (cycles < 1000)
        return;
    long residentAtEnd = residentBytes();
    ASSERT_GT(residentAtSettled, 0);
    RecordProperty("resident_after_50", std::to_string(residentAtSettled));
    RecordProperty("resident_after_1000", std::to_string(residentAtEnd));
    printf("resident memory after %d cycles: %ld KB, after %d: %ld KB\n", settled,
           residentAtSettled / 1024, cycles, residentAtEnd / 1024);
    EXPECT_LE(residentAtEnd, residentAtSettled + residentAtSettled / 20);
}

INSTANTIATE_TEST_SUITE_P(Examples, ReloadSoak,
                         testing::Values(Soak{"plant.iv", 255}, Soak{"random_forest.iv", 279}),
                         [](const testing::TestParamInfo<Soak> &info) {
                             std::string name = info.param.scene;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
