// The runtime's node types: written forms, assignment, switch selection and
// notification.
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/SoDB.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>
#include <Inventor/sensors/SoNodeSensor.h>
#include <gtest/gtest.h>

namespace {

struct WrittenForm {
    const char *read;    // a node as a scene file gives it
    const char *written; // what writing it produces
};

// Fields that the set-up connects are never written, nor is whichChild; the
// switch writes its children after its expression.
const WrittenForm writtenForms[] = {
    {"RecursionCalculator { value 3 value3 1 2 3 expression \"x=x+1\" }",
     "RecursionCalculator {\n    expression \"x=x+1\"\n}\n"},
    {"RecursionCalculator {}", "RecursionCalculator {\n    expression \"\"\n}\n"},
    {"RecursionSwitch { whichChild 1 expression \"d>0\" Cube {} Group { Sphere {} } }",
     "RecursionSwitch {\n    expression \"d>0\"\n    Cube {\n    }\n    Group {\n"
     "\tSphere {\n\t}\n    }\n}\n"},
    {"RecursionSwitch { whichChild 0 }", "RecursionSwitch {\n    expression \"\"\n}\n"},
    {"RecursionTranslation { translation 1 2 3 expression \"pos3\" }",
     "RecursionTranslation {\n    expression \"pos3\"\n}\n"},
    {"RecursionScale { scaleFactor 2 2 2 expression \" size3\" }",
     "RecursionScale {\n    expression \" size3\"\n}\n"},
    {"RecursionRotationXYZ { axis Z angle 1 expression \"turn\" }",
     "RecursionRotationXYZ {\n    axis Z\n    expression \"turn\"\n}\n"},
    {"RecursionRotationXYZ {}", "RecursionRotationXYZ {\n    axis X\n    expression \"\"\n}\n"},
    {"RecursionCoordinate3 { point [ 0 0 0, 1 0 0 ] }",
     "RecursionCoordinate3 {\n    fields [ MFVec3f point ]\n    point\t[ 0 0 0,\n\t\t      1 0 0 ]\n}\n"},
    {"RecursionRandom { expression \"r\" seed 5 }",
     "RecursionRandom {\n    fields [ SFString expression, SFFloat seed ]\n"
     "    expression\t\"r\"\n    seed\t5\n}\n"},
};

TEST(WrittenForm, WritesOnlyWhatTheSceneAuthorGaveAndReadsBackTheSame) {
    for (const WrittenForm &c : writtenForms) {
        SoSeparator *read = readSceneText(std::string("Info {} ") + c.read);
        ASSERT_NE(read, nullptr) << c.read;
        std::string written = writeScene(read->getChild(1));
        EXPECT_EQ(written, c.written) << c.read;
        SoSeparator *again = readSceneText("Info {} " + written);
        ASSERT_NE(again, nullptr) << written;
        EXPECT_EQ(writeScene(again->getChild(1)), written);
        read->unref();
        again->unref();
    }
}

TEST(WrittenForm, AWiredSceneWritesNoEngines) {
    SoSeparator *root = loadRecursionFile(dataFile("five_levels.iv").c_str());
    ASSERT_NE(root, nullptr);
    std::string written = writeScene(root);
    EXPECT_EQ(written.find("Calculator {\n\tfields"), std::string::npos);
    EXPECT_EQ(written.find("oa"), std::string::npos);
    EXPECT_NE(written.find("expression \"depth=depth-1\""), std::string::npos);
    releaseRecursionScene(root);
}

// A calculator bound by hand: `value` or `value3` follows a source variable.
template <class Field> Field *global(const char *name) {
    return static_cast<Field *>(SoDB::createGlobalField(name, Field::getClassTypeId()));
}

TEST(CalculatorAssignment, CopiesTheResultFieldThatMatchesItsTarget) {
    RecursionCalculator *rc = new RecursionCalculator;
    rc->ref();
    SoCallbackAction ca;
    ca.apply(rc); // unbound: nothing to assign, nothing happens

    auto *source = global<SoSFFloat>("handSource");
    auto *target = global<SoSFFloat>("handTarget");
    rc->value.connectFrom(source);
    rc->field = target;
    source->setValue(4);
    ca.apply(rc);
    EXPECT_FLOAT_EQ(target->getValue(), 4);

    auto *source3 = global<SoSFVec3f>("handSource3");
    auto *target3 = global<SoSFVec3f>("handTarget3");
    rc->value3.connectFrom(source3);
    rc->field = target3;
    source3->setValue(1, 2, 3);
    source->setValue(9);
    ca.apply(rc);
    EXPECT_EQ(target3->getValue(), SbVec3f(1, 2, 3));
    EXPECT_FLOAT_EQ(target->getValue(), 4); // the scalar target is no longer the node's
    rc->unref();
}

TEST(CalculatorAssignment, EveryVisitAssignsFromTheValuesOfThatMoment) {
    SoSeparator *root = loadSceneText("RecursionCalculator { expression \"visits=10\" }\n"
                                      "DEF Inc RecursionCalculator { expression "
                                      "\"visits=visits+1\" }\n"
                                      "Separator { USE Inc }\n");
    ASSERT_NE(root, nullptr);
    SoCallbackAction ca;
    ca.apply(root);
    EXPECT_FLOAT_EQ(scalarVariable("visits"), 12);

    // A search never reports a calculator, but each visit still assigns.
    SoSearchAction sa;
    sa.setType(RecursionCalculator::getClassTypeId());
    sa.setInterest(SoSearchAction::ALL);
    sa.apply(root);
    EXPECT_EQ(sa.getPaths().getLength(), 0);
    EXPECT_FLOAT_EQ(scalarVariable("visits"), 12);
    releaseRecursionScene(root);
}

TEST(CalculatorTearDown, EachCalculatorGivesBackItsOwnRegistration) {
    SoSeparator *root = loadSceneText("DEF First RecursionCalculator { expression \"shared=1\" }\n"
                                      "DEF Second RecursionCalculator { expression \"shared=2\" }\n"
                                      "DEF Unbound RecursionCalculator { expression \"no target\" }\n");
    ASSERT_NE(root, nullptr);
    SoField *shared = SoDB::getGlobalField("shared");
    ASSERT_GE(RecursionElement::findSlot(shared), 0);
    EXPECT_EQ(RecursionElement::getRefCount(RecursionElement::findSlot(shared)), 2);
    int count = RecursionElement::getCount();

    RecursionDoneAction rda;
    rda.apply(SoNode::getByName("Unbound"));
    EXPECT_EQ(RecursionElement::getCount(), count);
    rda.apply(SoNode::getByName("First"));
    EXPECT_EQ(RecursionElement::getRefCount(RecursionElement::findSlot(shared)), 1);
    rda.apply(SoNode::getByName("Second"));
    EXPECT_EQ(RecursionElement::findSlot(shared), -1);
    EXPECT_EQ(RecursionElement::getCount(), count - 1);
    rda.apply(SoNode::getByName("Second")); // nothing left to give back
    EXPECT_EQ(RecursionElement::getCount(), count - 1);
    root->unref();
}

TEST(SwitchSelection, OrdinaryActionsTraverseOnlyTheSelectedChild) {
    SoSeparator *root = loadSceneText("RecursionSwitch { whichChild 1 Cube {} Sphere {} Cone {} }");
    ASSERT_NE(root, nullptr);
    std::vector<SbName> seen;
    SoCallbackAction ca;
    ca.addPreCallback(
        SoShape::getClassTypeId(),
        [](void *data, SoCallbackAction *, const SoNode *node) {
            static_cast<std::vector<SbName> *>(data)->push_back(node->getTypeId().getName());
            return SoCallbackAction::CONTINUE;
        },
        &seen);
    ca.apply(root);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], SbName("Sphere"));
    releaseRecursionScene(root);
}

// Changes that traversal itself causes must not reach the scene's auditors.
TEST(Notification, TheRuntimesNodesPassOnNoChange) {
    SoSeparator *root = loadSceneText(
        "RecursionCalculator { expression \"quiet3=vec3f(1,1,1)\" }\n"
        "DEF Calc RecursionCalculator { expression \"quiet=1\" }\n"
        "DEF Sw RecursionSwitch { expression \"quiet\" Group {} DEF Below Cube {} }\n"
        "DEF Move RecursionTranslation { expression \"quiet3\" }\n"
        "DEF Size RecursionScale { expression \"quiet3\" }\n"
        "DEF Turn RecursionRotationXYZ { expression \"quiet\" }\n"
        "DEF Points RecursionCoordinate3 { point [ 0 0 0 ] }\n");
    ASSERT_NE(root, nullptr);
    int notified = 0;
    SoNodeSensor sensor([](void *n, SoSensor *) { ++*static_cast<int *>(n); }, &notified);
    sensor.setPriority(0);
    sensor.attach(root);

    auto node = [](const char *name) { return SoNode::getByName(name); };
    static_cast<RecursionCalculator *>(node("Calc"))->expression = "quiet=2";
    static_cast<RecursionCalculator *>(node("Calc"))->value3 = SbVec3f(1, 2, 3);
    static_cast<RecursionSwitch *>(node("Sw"))->expression = "1";
    static_cast<SoCube *>(node("Below"))->width = 5;
    static_cast<RecursionTranslation *>(node("Move"))->translation = SbVec3f(1, 0, 0);
    static_cast<RecursionScale *>(node("Size"))->expression = "other3";
    static_cast<RecursionRotationXYZ *>(node("Turn"))->axis = SoRotationXYZ::Y;
    static_cast<RecursionCoordinate3 *>(node("Points"))->point.set1Value(1, SbVec3f(1, 1, 1));
    SoCallbackAction ca;
    ca.apply(root); // assigns variables that engines and bound fields follow
    EXPECT_EQ(notified, 0);

    // The sensor itself works: an ordinary node does notify.
    root->addChild(new SoCube);
    EXPECT_EQ(notified, 1);
    sensor.detach();
    releaseRecursionScene(root);
}

} // namespace
