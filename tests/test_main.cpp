#include "Recursion.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodekits/SoNodeKit.h>
#include <Inventor/SoInteraction.h>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    SoDB::init();
    SoNodeKit::init();
    SoInteraction::init();
    initRecursionClasses();
    return RUN_ALL_TESTS();
}
