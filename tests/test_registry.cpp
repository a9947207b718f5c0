// The variable registry and its snapshots.
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/SoDB.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/sensors/SoFieldSensor.h>
#include <gtest/gtest.h>

// Gives the tests the private snapshot dump.
class RecursionElementInspector {
public:
    static void print(RecursionElement *el) { RecursionElement::print(el); }
};

namespace {

SoSFFloat *scalar(const char *name) {
    return static_cast<SoSFFloat *>(SoDB::createGlobalField(name, SoSFFloat::getClassTypeId()));
}
SoSFVec3f *vector3(const char *name) {
    return static_cast<SoSFVec3f *>(SoDB::createGlobalField(name, SoSFVec3f::getClassTypeId()));
}

// Every test starts and ends with an empty registry.
class Registry : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RecursionElement::getCount(), 0); }
    void TearDown() override {
        while (RecursionElement::getCount() > 0)
            RecursionElement::unregisterField(RecursionElement::getField(0));
    }
};

TEST_F(Registry, SameFieldSharesOneSlotAndLeavesWithItsLastRegistration) {
    SoSFFloat *depth = scalar("regDepth");
    RecursionElement::registerField("regDepth", depth);
    RecursionElement::registerField("anotherName", depth);
    ASSERT_EQ(RecursionElement::getCount(), 1);
    EXPECT_EQ(RecursionElement::getRefCount(0), 2);
    EXPECT_STREQ(RecursionElement::getName(0).getString(), "regDepth");

    RecursionElement::unregisterField(depth);
    EXPECT_EQ(RecursionElement::getCount(), 1);
    EXPECT_EQ(RecursionElement::getRefCount(0), 1);
    RecursionElement::unregisterField(depth);
    EXPECT_EQ(RecursionElement::getCount(), 0);
}

TEST_F(Registry, RemovalMovesTheLastSlotIntoTheHole) {
    SoSFFloat *a = scalar("regA");
    SoSFFloat *b = scalar("regB");
    SoSFVec3f *c = vector3("regC3");
    RecursionElement::registerField("regA", a);
    RecursionElement::registerField("regB", b);
    RecursionElement::registerField("regC3", c);
    RecursionElement::registerField("regC3", c);

    RecursionElement::unregisterField(a);
    ASSERT_EQ(RecursionElement::getCount(), 2);
    EXPECT_EQ(RecursionElement::getField(0), c);
    EXPECT_TRUE(RecursionElement::isVectorSlot(0));
    EXPECT_EQ(RecursionElement::getRefCount(0), 2);
    EXPECT_STREQ(RecursionElement::getName(0).getString(), "regC3");
    EXPECT_EQ(RecursionElement::getField(1), b);
    EXPECT_FALSE(RecursionElement::isVectorSlot(1));

    // The last live slot only lowers the count.
    RecursionElement::unregisterField(b);
    EXPECT_EQ(RecursionElement::getCount(), 1);
    EXPECT_EQ(RecursionElement::getField(0), c);
}

TEST_F(Registry, UnheldFieldsLeaveTheRegistryUnchanged) {
    RecursionElement::unregisterField(NULL);
    RecursionElement::unregisterField(scalar("regNeverHeld"));
    EXPECT_EQ(RecursionElement::getCount(), 0);
    SoSFFloat *held = scalar("regHeld");
    RecursionElement::registerField("regHeld", held);
    RecursionElement::unregisterField(NULL);
    RecursionElement::unregisterField(scalar("regNeverHeld"));
    EXPECT_EQ(RecursionElement::getCount(), 1);
    EXPECT_EQ(RecursionElement::getRefCount(0), 1);
}

TEST_F(Registry, Exactly256VariablesFitAndThe257thIsReportedAndIgnored) {
    for (int i = 0; i < RecursionElement::maxRecursion; i++) {
        SbString name = ("regMany" + std::to_string(i)).c_str();
        RecursionElement::registerField(name, scalar(name.getString()));
    }
    EXPECT_EQ(RecursionElement::getCount(), 256);

    SoSFFloat *extra = scalar("regOneTooMany");
    testing::internal::CaptureStderr();
    RecursionElement::registerField("regOneTooMany", extra);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("count < maxRecursion"), std::string::npos) << err;
    EXPECT_NE(err.find("RecursionElement.cpp:"), std::string::npos) << err;
    EXPECT_NE(err.find("regOneTooMany"), std::string::npos) << err;
    EXPECT_EQ(RecursionElement::getCount(), 256);
    EXPECT_EQ(RecursionElement::findSlot(extra), -1);

    // A field already held still counts up when the registry is full.
    RecursionElement::registerField("regMany0", scalar("regMany0"));
    EXPECT_EQ(RecursionElement::getRefCount(0), 2);
    RecursionElement::unregisterField(scalar("regMany0"));
}

// A callback action on a recursion separator drives store and retrieve; the
// children change the variables in between.
TEST_F(Registry, StoreAndRetrieveRestoreEveryVariableAndNotify) {
    SoSFFloat *s = scalar("regSnapS");
    SoSFVec3f *v = vector3("regSnapV3");
    SoSFFloat *unregistered = scalar("regSnapFree");
    s->setValue(1.5f);
    v->setValue(1, 2, 3);
    unregistered->setValue(7);
    RecursionElement::registerField("regSnapS", s);
    RecursionElement::registerField("regSnapV3", v);

    SoSeparator *root = readSceneText("Separator { RecursionSeparator { "
                                      "  Callback {} } }");
    ASSERT_NE(root, nullptr);

    // The sensor shows the restore notifies even though nothing will differ
    // from the stored value at the moment of the restore.
    int notified = 0;
    SoFieldSensor sensor([](void *n, SoSensor *) { ++*static_cast<int *>(n); }, &notified);
    sensor.attach(s);
    sensor.setPriority(0); // immediate

    SoCallbackAction ca;
    ca.addPreCallback(
        SoNode::getClassTypeId(),
        [](void *, SoCallbackAction *, const SoNode *node) {
            if (node->getTypeId().getName() == "Callback") {
                static_cast<SoSFFloat *>(SoDB::getGlobalField("regSnapS"))->setValue(-4);
                static_cast<SoSFVec3f *>(SoDB::getGlobalField("regSnapV3"))->setValue(9, 9, 9);
                static_cast<SoSFFloat *>(SoDB::getGlobalField("regSnapFree"))->setValue(-1);
            }
            return SoCallbackAction::CONTINUE;
        },
        NULL);
    ca.apply(root);

    EXPECT_FLOAT_EQ(s->getValue(), 1.5f);
    EXPECT_EQ(v->getValue(), SbVec3f(1, 2, 3));
    EXPECT_FLOAT_EQ(unregistered->getValue(), -1); // not registered: not restored
    EXPECT_EQ(notified, 2);                          // the change, then the restore
    sensor.detach();
    root->unref();
}

TEST_F(Registry, PrintSeparatesVectorComponentsWithSingleBlanks) {
    SoSFFloat *s = scalar("regPrintS");
    SoSFVec3f *v = vector3("regPrintV3");
    s->setValue(2.5f);
    v->setValue(1, -2, 0.5f);
    RecursionElement::registerField("regPrintS", s);
    RecursionElement::registerField("regPrintV3", v);

    // Capture the snapshot of one separator pass through a callback.
    SoSeparator *root = readSceneText("Separator { RecursionSeparator { Callback {} } }");
    static std::string printed;
    SoCallbackAction ca;
    ca.addPreCallback(
        SoNode::getClassTypeId(),
        [](void *, SoCallbackAction *action, const SoNode *node) {
            if (node->getTypeId().getName() == "Callback") {
                SoState *state = action->getState();
                auto *el = const_cast<RecursionElement *>(static_cast<const RecursionElement *>(
                    state->getConstElement(RecursionElement::getClassStackIndex())));
                testing::internal::CaptureStdout();
                RecursionElementInspector::print(el);
                printed = testing::internal::GetCapturedStdout();
            }
            return SoCallbackAction::CONTINUE;
        },
        NULL);
    ca.apply(root);
    EXPECT_EQ(printed, "field regPrintS=2.5\nfield regPrintV3=1 -2 0.5\n");
    root->unref();
}

} // namespace
