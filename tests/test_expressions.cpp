// Expression rewriting and the wiring of calculator engines.
#include "ExprPreprocessor.h"
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/SoDB.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/engines/SoCalculator.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <gtest/gtest.h>

using EP = ExpressionPreprocessor;

namespace {

// The name table after a rewrite, as "name>letter" entries ("v" marks vectors).
std::string nameTable() {
    std::string table;
    for (int i = 0; i < EP::idCount; i++) {
        if (i)
            table += " ";
        table += std::string(EP::idTable[i].getString()) + ">" + EP::substIdTable[i];
        if (EP::isVector[i])
            table += "v";
    }
    return table;
}

// Rewrites a calculator expression as the wiring does; "" when it assigns nothing.
std::string rewriteCalculator(const char *expression) {
    int rhs = EP::findRightHandSide(expression);
    if (rhs < 0)
        return "";
    EP::newExpr = EP::isVectorId(EP::lhs) ? "oA=" : "oa=";
    EP::parse(expression, rhs);
    return EP::newExpr.getString();
}

struct Rewrite {
    const char *expression;
    const char *lhs;       // nullptr: no assignment
    const char *rewritten; // the engine's expression
    const char *names;
};

const Rewrite calculatorRewrites[] = {
    {"depth=depth-1", "depth", "oa=a-1", "depth>a"},
    {"x=x*x+y", "x", "oa=a*a+b", "x>a y>b"},
    {"pos3=pos3+vec3f(0,len,0)", "pos3", "oA=A+vec3f(0,a,0)", "pos3>Av len>a"},
    {"side3=normalize(cross(dir3,up3))", "side3", "oA=normalize(cross(A,B))", "dir3>Av up3>Bv"},
    {"angle=M_PI/depth", "angle", "oa=M_PI/a", "depth>a"},
    {"k=rand(0)", "k", "oa=rand(0)", ""},
    {"depth = depth - 1", "depth ", "oa= a - 1", "depth>a"},
    {"a==b", nullptr, "", ""},
    {"a!=b", nullptr, "", ""},
    {"a=!b", "a", "oa=!a", "b>a"},
    {"a=b==c", "a", "oa=a==b", "b>a c>b"},
    {"a<=b", "a<", "oa=a", "b>a"},
    {"x=", "x", "oa=", ""},
    {"s=2e3*t", "s", "oa=2A*a", "e3>Av t>a"},
    {"m=atan2(y,x)+log10(n)+M_SQRT1_2", "m", "oa=atan2(a,b)+log10(c)+M_SQRT1_2", "y>a x>b n>c"},
    {"r=Sin(t)+PI", "r", "oa=a(b)+c", "Sin>a t>b PI>c"},
    {"q=my_var+1", "q", "oa=a+1", "my_var>a"},
    {"v=ab\xc3\xa9" "c+ab", "v", "oa=a\xc3\xa9" "b+a", "ab>a c>b"},
    {"many=a+b+c+d+e+f+g+h+a3+b3+c3+d3+e3+f3+g3+h3", "many",
     "oa=a+b+c+d+e+f+g+h+A+B+C+D+E+F+G+H",
     "a>a b>b c>c d>d e>e f>f g>g h>h a3>Av b3>Bv c3>Cv d3>Dv e3>Ev f3>Fv g3>Gv h3>Hv"},
    {"", nullptr, "", ""},
};

TEST(ExpressionRewriting, CalculatorExpressions) {
    for (const Rewrite &c : calculatorRewrites) {
        EP::lhs = "previous";
        std::string rewritten = rewriteCalculator(c.expression);
        EXPECT_EQ(rewritten, c.rewritten) << c.expression;
        EXPECT_STREQ(EP::lhs.getString(), c.lhs ? c.lhs : "previous") << c.expression;
        if (c.lhs) {
            EXPECT_EQ(nameTable(), c.names) << c.expression;
        }
    }
}

TEST(ExpressionRewriting, SwitchExpressionsAreRewrittenWholeBehindTheScalarOutput) {
    const Rewrite cases[] = {{"depth>0", nullptr, "oa=a>0", "depth>a"},
                             {"depth<=0?0:1", nullptr, "oa=a<=0?0:1", "depth>a"},
                             {"n=fmod(i,3)", nullptr, "oa=a=fmod(b,3)", "n>a i>b"}};
    for (const Rewrite &c : cases) {
        EP::lhs = "kept";
        EP::newExpr = "oa=";
        EP::parse(c.expression, 0);
        EXPECT_STREQ(EP::newExpr.getString(), c.rewritten) << c.expression;
        EXPECT_EQ(nameTable(), c.names) << c.expression;
        EXPECT_STREQ(EP::lhs.getString(), "kept");
    }
}

TEST(ExpressionRewriting, ReservedWordsAreExactAndCaseSensitive) {
    for (const char *word : EP::reserved)
        EXPECT_TRUE(EP::isReserved(word)) << word;
    for (const char *word : {"Cos", "PI", "pi", "vec3", "m_pi", "rand0", ""})
        EXPECT_FALSE(EP::isReserved(word)) << word;
    EXPECT_TRUE(EP::isVectorId("dir3"));
    EXPECT_FALSE(EP::isVectorId("dir3x"));
    EXPECT_FALSE(EP::isVectorId("p2"));
}

TEST(ExpressionRewriting, ANinthNameOfAKindIsReportedAndNotEntered) {
    struct {
        const char *expression;
        const char *condition;
    } cases[] = {{"t=a+b+c+d+e+f+g+h+i", "idCountScalar < maxIdScalar"},
                 {"t3=a3+b3+c3+d3+e3+f3+g3+h3+i3+j3", "idCountVector < maxIdVector"}};
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        rewriteCalculator(c.expression);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(EP::overflow) << c.expression;
        EXPECT_EQ(EP::idCount, 8) << c.expression;
        // One report, naming the check and the expression.
        EXPECT_NE(err.find(c.condition), std::string::npos) << err;
        EXPECT_NE(err.find(c.expression), std::string::npos) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

TEST(ExpressionRewriting, ReportAfterTheVectorExample) {
    rewriteCalculator("pos3=pos3+vec3f(0,len,0)");
    testing::internal::CaptureStdout();
    EP::print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "---ExpressionPreprocessor report---\n"
                                                      "lhs=pos3\n"
                                                      "newExpr=oA=A+vec3f(0,a,0)\n"
                                                      "id#=2 scal-id#=1 vec-id#=1\n"
                                                      "#0: pos3, A, isVec=1\n"
                                                      "#1: len, a, isVec=0\n");
}

TEST(ExpressionRewriting, CallsAndComponentsTheEngineCannotTakeAreRefused) {
    struct {
        const char *expression;
        const char *report; // nullptr: the engine takes it
    } cases[] = {
        {"x=pow(y,2)+atan2(y,x)+fmod(y,3)", nullptr},
        {"p3=vec3f(cos(t),sin(t),0)+cross(a3,b3)*dot(a3,b3)", nullptr},
        {"x=pow((y),(2))+vec3f(pow(1,2),2,3)[0]", nullptr},
        {"x=a3[0]+a3[ 1 ]+a3[2]", nullptr},
        {"x=powy(1)+cosh(y)+M_PI", nullptr},
        {"x=pow(y)", "calls pow with 1 argument; it takes 2"},
        {"x=atan2(y)", "calls atan2 with 1 argument; it takes 2"},
        {"x=fmod (y)", "calls fmod with 1 argument; it takes 2"},
        {"x=dot(a3)", "calls dot with 1 argument; it takes 2"},
        {"x3=cross(a3)", "calls cross with 1 argument; it takes 2"},
        {"x3=vec3f(1,2)", "calls vec3f with 2 arguments; it takes 3"},
        {"x3=vec3f(pow(1,2),3)", "calls vec3f with 2 arguments; it takes 3"},
        {"x3=vec3f(1,2,3,4)", "calls vec3f with 4 arguments; it takes 3"},
        {"x=cos()", "calls cos with 0 arguments; it takes 1"},
        {"x=sin(1,2)", "calls sin with 2 arguments; it takes 1"},
        {"x=pow(1)+(", "calls pow with 1 argument; it takes 2"},
        {"x=pow(1", "leaves the call of pow open"},
        {"x=vec3f(1,2", "leaves the call of vec3f open"},
        {"x=a3[3]", "other than [0], [1] or [2]"},
        {"x=a3[100000000]", "other than [0], [1] or [2]"},
        {"x=a3[-1]", "other than [0], [1] or [2]"},
        {"x=a3[i]", "other than [0], [1] or [2]"},
        {"x=a3[1+1]", "other than [0], [1] or [2]"},
        {"x=a3[01]", "other than [0], [1] or [2]"},
        {"x=a3[", "other than [0], [1] or [2]"},
        {"x=i%3", "uses %"},
        {"x=i%0.5", "uses %"},
        {"bend=-0%.5+0.03*level", "uses %"},
    };
    for (const auto &c : cases) {
        rewriteCalculator(c.expression);
        testing::internal::CaptureStderr();
        SbBool fits = EP::fitsEngine();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(fits, c.report == nullptr) << c.expression;
        if (c.report) {
            EXPECT_NE(err.find(c.report), std::string::npos) << c.expression << ": " << err;
            EXPECT_NE(err.find(c.expression), std::string::npos) << err;
        } else {
            EXPECT_EQ(err, "") << c.expression;
        }
    }
}

// The engine that feeds a node's field, and the variable an engine input follows.
SoCalculator *engineOf(SoField &field) {
    SoEngineOutput *output = nullptr;
    if (!field.getConnectedEngine(output))
        return nullptr;
    return static_cast<SoCalculator *>(output->getContainer());
}
SoField *inputSource(SoCalculator *calc, const char *input) {
    SoField *source = nullptr;
    calc->getField(input)->getConnectedField(source);
    return source;
}

TEST(ExpressionWiring, TheWorkedExample) {
    SoSFFloat *depth = static_cast<SoSFFloat *>(
        SoDB::createGlobalField("wDepth", SoSFFloat::getClassTypeId()));
    depth->setValue(7);
    SoSeparator *root = loadSceneText(
        "DEF Dec RecursionCalculator { expression \"wDepth=wDepth-1\" }\n"
        "DEF Sw RecursionSwitch { expression \"wDepth>0\" }\n"
        "DEF Pos RecursionCalculator { expression \"wPos3=wPos3+vec3f(0,wLen,0)\" }\n");
    ASSERT_NE(root, nullptr);
    auto *dec = static_cast<RecursionCalculator *>(SoNode::getByName("Dec"));
    auto *sw = static_cast<RecursionSwitch *>(SoNode::getByName("Sw"));
    auto *pos = static_cast<RecursionCalculator *>(SoNode::getByName("Pos"));

    SoCalculator *decEngine = engineOf(dec->value);
    ASSERT_NE(decEngine, nullptr);
    EXPECT_STREQ(decEngine->expression[0].getString(), "oa=a-1");
    EXPECT_EQ(inputSource(decEngine, "a"), depth);
    EXPECT_EQ(dec->field, depth);
    EXPECT_STREQ(dec->getExpressionField().getString(), "wDepth");
    EXPECT_FALSE(dec->value3.isConnected());

    SoCalculator *swEngine = engineOf(sw->whichChild);
    ASSERT_NE(swEngine, nullptr);
    EXPECT_STREQ(swEngine->expression[0].getString(), "oa=a>0");
    EXPECT_EQ(inputSource(swEngine, "a"), depth);

    SoCalculator *posEngine = engineOf(pos->value3);
    ASSERT_NE(posEngine, nullptr);
    EXPECT_STREQ(posEngine->expression[0].getString(), "oA=A+vec3f(0,a,0)");
    EXPECT_EQ(inputSource(posEngine, "A"), SoDB::getGlobalField("wPos3"));
    EXPECT_EQ(inputSource(posEngine, "a"), SoDB::getGlobalField("wLen"));
    EXPECT_FALSE(pos->value.isConnected());

    EXPECT_FLOAT_EQ(depth->getValue(), 0); // reset by the engines that read it
    EXPECT_EQ(vectorVariable("wPos3"), SbVec3f(0, 0, 0));
    EXPECT_FLOAT_EQ(scalarVariable("wLen"), 0);
    EXPECT_EQ(RecursionElement::getRefCount(RecursionElement::findSlot(depth)), 1);
    EXPECT_EQ(RecursionElement::findSlot(SoDB::getGlobalField("wLen")), -1); // only read
    EXPECT_GE(RecursionElement::findSlot(SoDB::getGlobalField("wPos3")), 0);

    // Evaluation follows the variables of the moment.
    SoCallbackAction ca;
    ca.apply(root);
    EXPECT_FLOAT_EQ(depth->getValue(), -1);
    EXPECT_EQ(vectorVariable("wPos3"), SbVec3f(0, 0, 0));
    releaseRecursionScene(root);
}

// The depth variable at every shape of a type, in traversal order.
std::vector<float> depthAt(SoNode *root, SoType type, const char *var) {
    std::vector<float> values;
    struct Ctx {
        const char *var;
        std::vector<float> *values;
    } ctx{var, &values};
    SoCallbackAction ca;
    ca.addPreCallback(
        type,
        [](void *data, SoCallbackAction *, const SoNode *) {
            auto *c = static_cast<Ctx *>(data);
            c->values->push_back(scalarVariable(c->var));
            return SoCallbackAction::CONTINUE;
        },
        &ctx);
    ca.apply(root);
    return values;
}

TEST(ExpressionWiring, TheFiveLevelSceneDrawsItsShapeFiveTimes) {
    SoSeparator *root = loadRecursionFile(dataFile("five_levels.iv").c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(depthAt(root, SoCube::getClassTypeId(), "depth"),
              (std::vector<float>{4, 3, 2, 1, 0}));
    releaseRecursionScene(root);
}

TEST(ExpressionWiring, EachLevelsRestoreHandsBackThatLevelsValue) {
    SoSeparator *root = loadSceneText("RecursionCalculator { expression \"lv=3\" }\n"
                                      "DEF Level Separator {\n"
                                      "  RecursionCalculator { expression \"lv=lv-1\" }\n"
                                      "  RecursionSwitch { expression \"lv>0\" Group {}\n"
                                      "    RecursionSeparator { USE Level } }\n"
                                      "  Sphere {}\n"
                                      "}\n");
    ASSERT_NE(root, nullptr);
    // The deepest level's sphere comes first; each level then sees its own value.
    EXPECT_EQ(depthAt(root, SoSphere::getClassTypeId(), "lv"), (std::vector<float>{0, 1, 2}));
    releaseRecursionScene(root);
}

TEST(ExpressionWiring, AReloadLeavesOnlyTheNewScenesRegistrations) {
    int before = RecursionElement::getCount();
    SoSeparator *first = loadSceneText("RecursionCalculator { expression \"oldA=1\" }\n"
                                       "RecursionCalculator { expression \"oldB3=vec3f(1,2,3)\" }\n"
                                       "RecursionCalculator { expression \"kept=1\" }\n");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(RecursionElement::getCount(), before + 3);
    releaseRecursionScene(first);
    SoSeparator *second = loadSceneText("RecursionCalculator { expression \"kept=kept+1\" }\n"
                                        "RecursionCalculator { expression \"kept=2\" }\n");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(RecursionElement::getCount(), before + 1);
    SoField *kept = SoDB::getGlobalField("kept");
    EXPECT_EQ(RecursionElement::getRefCount(RecursionElement::findSlot(kept)), 2);
    EXPECT_EQ(RecursionElement::findSlot(SoDB::getGlobalField("oldA")), -1);
    releaseRecursionScene(second);
    EXPECT_EQ(RecursionElement::getCount(), before);
}

TEST(ExpressionWiring, FaultyExpressionsAreReportedAndTheSceneStillLoadsAndRenders) {
    SoDB::createGlobalField("clash3", SoSFFloat::getClassTypeId()); // as a random node makes it
    struct {
        const char *scene;
        std::vector<const char *> report;
    } cases[] = {
        {"RecursionCalculator { expression \"t=a+b+c+d+e+f+g+h+i\" } Cube {}",
         {"idCountScalar < maxIdScalar", "t=a+b+c+d+e+f+g+h+i"}},
        {"RecursionSwitch { expression \"a3+b3+c3+d3+e3+f3+g3+h3+i3\" whichChild 0 Cube {} }",
         {"idCountVector < maxIdVector", "a3+b3+c3+d3+e3+f3+g3+h3+i3"}},
        {"RecursionCalculator { expression \"=5\" } Cube {}", {"=5", "empty name"}},
        {"RecursionCalculator { expression \"clash3=vec3f(1,2,3)\" } Cube {}",
         {"field != NULL", "\"clash3\""}},
        {"RecursionCalculator { expression \"x=clash3+1\" } Cube {}",
         {"field != NULL", "\"clash3\"", "x=clash3+1"}},
        {"RecursionCalculator { expression \"v3=vec3f(1,2)\" } Cube {}",
         {"given == wanted", "v3=vec3f(1,2)"}},
        {"RecursionSwitch { expression \"i3[7]\" whichChild 0 Cube {} }",
         {"index <= 2", "i3[7]"}},
    };
    for (const auto &c : cases) {
        int before = RecursionElement::getCount();
        testing::internal::CaptureStderr();
        SoSeparator *root = loadSceneText(c.scene);
        std::string err = testing::internal::GetCapturedStderr();
        ASSERT_NE(root, nullptr) << c.scene;
        for (const char *part : c.report)
            EXPECT_NE(err.find(part), std::string::npos) << c.scene << ": " << err;
        EXPECT_EQ(RecursionElement::getCount(), before) << c.scene; // nothing registered
        EXPECT_EQ(shapeMatrices(root, SoCube::getClassTypeId()).size(), 1u) << c.scene;
        releaseRecursionScene(root);
    }
    // A clash leaves the other kind's variable as it was.
    EXPECT_EQ(SoDB::getGlobalField("clash3")->getTypeId(), SoSFFloat::getClassTypeId());
}

} // namespace
