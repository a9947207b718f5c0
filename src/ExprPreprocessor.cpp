#include "ExprPreprocessor.h"

#include "ConsistencyCheck.h"
#include "RecursionCalculator.h"
#include "RecursionElement.h"
#include "RecursionSwitch.h"

#include <Inventor/SoDB.h>
#include <Inventor/engines/SoCalculator.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <cstdio>
#include <cstring>
#include <string>

SbString ExpressionPreprocessor::idTable[maxId];
char ExpressionPreprocessor::substIdTable[maxId];
SbBool ExpressionPreprocessor::isVector[maxId];
int ExpressionPreprocessor::idCount;
int ExpressionPreprocessor::idCountScalar;
int ExpressionPreprocessor::idCountVector;
SbString ExpressionPreprocessor::newExpr;
SbString ExpressionPreprocessor::lhs;
SbBool ExpressionPreprocessor::overflow;

const char *const ExpressionPreprocessor::reserved[35] = {
    "MAXFLOAT", "MINFLOAT", "M_E",   "M_LOG2E", "M_LOG10E", "M_LN2",  "M_LN10",
    "M_PI",     "M_SQRT2",  "M_SQRT1_2", "cos", "sin",      "tan",    "acos",
    "asin",     "atan",     "atan2", "cosh",    "sinh",     "tanh",   "sqrt",
    "pow",      "exp",      "log",   "log10",   "ceil",     "floor",  "fabs",
    "fmod",     "rand",     "cross", "dot",     "length",   "normalize", "vec3f"};

// ASCII only, whatever the locale says.
static bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
static bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

int ExpressionPreprocessor::findRightHandSide(SbString s) {
    const char *text = s.getString();
    const char *eq = strchr(text, '=');
    if (eq == NULL)
        return -1;
    // Only the first "=" counts; as part of "==" or "!=" it is a comparison.
    if (eq[1] == '=' || (eq > text && eq[-1] == '!'))
        return -1;
    int index = static_cast<int>(eq - text);
    lhs = index > 0 ? s.getSubString(0, index - 1) : SbString("");
    return index + 1;
}

// The expression being rewritten, for the reports.
static SbString currentExpression;

void ExpressionPreprocessor::parse(SbString s, int rhsStart) {
    idCount = idCountScalar = idCountVector = 0;
    overflow = FALSE;
    currentExpression = s;
    s += ";"; // end marker: closes an identifier standing at the very end
    const char *text = s.getString();
    int length = s.getLength();
    std::string out = newExpr.getString();
    bool inId = false;
    int idStart = 0;
    for (int i = rhsStart; i < length; i++) {
        char c = text[i];
        if (inId) {
            if (isAsciiLetter(c) || isAsciiDigit(c) || c == '_')
                continue;
            SbString id = s.getSubString(idStart, i - 1);
            if (isReserved(id)) {
                out += id.getString();
            } else {
                newExpr = out.c_str();
                enterId(id);
                out = newExpr.getString();
            }
            inId = false;
        } else if (isAsciiLetter(c)) {
            inId = true;
            idStart = i;
            continue;
        }
        out += c;
    }
    out.pop_back(); // the end marker
    newExpr = out.c_str();
}

void ExpressionPreprocessor::enterId(SbString newId) {
    for (int i = 0; i < idCount; i++) {
        if (idTable[i] == newId) {
            char letter[2] = {substIdTable[i], 0};
            newExpr += letter;
            return;
        }
    }
    SbBool vector = isVectorId(newId);
    // The engine has eight inputs of each kind; a name beyond them is not
    // entered, and the expression is not wired (reported once).
    std::string detail = std::string("name \"") + newId.getString() + "\" is one more than the engine's eight " +
                      (vector ? "vector" : "scalar") + " inputs in expression \"" +
                      currentExpression.getString() + "\"; it is left unwired";
    if (vector && !(idCountVector < maxIdVector)) {
        if (!overflow)
            RECURSION_REPORT(idCountVector < maxIdVector, detail);
        overflow = TRUE;
        return;
    }
    if (!vector && !(idCountScalar < maxIdScalar)) {
        if (!overflow)
            RECURSION_REPORT(idCountScalar < maxIdScalar, detail);
        overflow = TRUE;
        return;
    }
    char letter = vector ? static_cast<char>('A' + idCountVector++)
                         : static_cast<char>('a' + idCountScalar++);
    substIdTable[idCount] = letter;
    isVector[idCount] = vector;
    idTable[idCount] = newId;
    idCount++;
    char text[2] = {letter, 0};
    newExpr += text;
}

SbBool ExpressionPreprocessor::isReserved(SbString token) {
    for (const char *word : reserved)
        if (token == word)
            return TRUE;
    return FALSE;
}

SbBool ExpressionPreprocessor::isVectorId(SbString s) {
    int length = s.getLength();
    return length > 0 && s.getString()[length - 1] == '3';
}

void ExpressionPreprocessor::print() {
    printf("---ExpressionPreprocessor report---\n");
    fflush(stdout);
    printf("lhs=%s\n", lhs.getString());
    fflush(stdout);
    printf("newExpr=%s\n", newExpr.getString());
    fflush(stdout);
    printf("id#=%d scal-id#=%d vec-id#=%d\n", idCount, idCountScalar, idCountVector);
    fflush(stdout);
    for (int i = 0; i < idCount; i++) {
        printf("#%d: %s, %c, isVec=%d\n", i, idTable[i].getString(), substIdTable[i],
               isVector[i] ? 1 : 0);
        fflush(stdout);
    }
}

// The engine's functions and the number of arguments each takes.
static int arity(const std::string &word) {
    static const char *const two[] = {"atan2", "pow", "fmod", "cross", "dot"};
    static const char *const one[] = {"cos",  "sin",  "tan",   "acos", "asin", "atan", "cosh",
                                      "sinh", "tanh", "sqrt",  "exp",  "log",  "log10",
                                      "ceil", "floor", "fabs", "rand", "length", "normalize"};
    if (word == "vec3f")
        return 3;
    for (const char *w : two)
        if (word == w)
            return 2;
    for (const char *w : one)
        if (word == w)
            return 1;
    return 0; // not a function
}

static bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

static SbBool refuse(const char *condition, int line, const std::string &why) {
    reportFailedCheck(condition, __FILE__, line,
                      std::string("expression \"") + currentExpression.getString() + "\" " + why +
                          "; it is left unwired");
    return FALSE;
}

SbBool ExpressionPreprocessor::fitsEngine() {
    const std::string text = newExpr.getString();
    size_t n = text.size();
    for (size_t i = 0; i < n; i++) {
        if (text[i] == '%') // integer remainder: a divisor that truncates to 0 ends the process
            return refuse("no % operator", __LINE__,
                          "uses %, which the engine cannot take when the divisor truncates to 0; "
                          "write fmod(x,y) instead");
        if (text[i] == '[') {
            size_t k = i + 1;
            while (k < n && isBlank(text[k]))
                k++;
            bool digit = k < n && text[k] >= '0' && text[k] <= '2';
            k += digit ? 1 : 0;
            while (k < n && isBlank(text[k]))
                k++;
            if (!digit || k >= n || text[k] != ']')
                return refuse("index <= 2", __LINE__,
                              "takes a vector component other than [0], [1] or [2]");
            continue;
        }
        if (!isAsciiLetter(text[i]))
            continue;
        size_t end = i;
        while (end < n && (isAsciiLetter(text[end]) || isAsciiDigit(text[end]) || text[end] == '_'))
            end++;
        std::string word = text.substr(i, end - i);
        i = end - 1;
        int wanted = arity(word);
        size_t k = end;
        while (k < n && isBlank(text[k]))
            k++;
        if (wanted == 0 || k >= n || text[k] != '(')
            continue;
        // The arguments: top-level commas up to the matching parenthesis.
        int depth = 0, commas = 0;
        bool empty = true;
        for (k++; k < n && (depth > 0 || text[k] != ')'); k++) {
            char c = text[k];
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            commas += depth == 0 && c == ',' ? 1 : 0;
            empty = empty && isBlank(c);
        }
        int given = empty ? 0 : commas + 1;
        if (k >= n)
            return refuse("call closed", __LINE__, "leaves the call of " + word + " open");
        if (given != wanted)
            return refuse("given == wanted", __LINE__,
                          "calls " + word + " with " + std::to_string(given) + " argument" +
                              (given == 1 ? "" : "s") + "; it takes " + std::to_string(wanted));
    }
    return TRUE;
}

// The global field of a variable, created when absent; NULL when the name is
// taken by a variable of the other kind, which is reported.
static SoField *variableField(const SbString &name, SbBool vector, const SbString &expression) {
    SoType type = vector ? SoSFVec3f::getClassTypeId() : SoSFFloat::getClassTypeId();
    SbBool isNew = SoDB::getGlobalField(SbName(name)) == NULL;
    SoField *field = SoDB::createGlobalField(SbName(name), type);
    // The toolkit leaves a new field's value uninitialised: a variable starts at 0.
    if (field != NULL && isNew) {
        if (vector)
            static_cast<SoSFVec3f *>(field)->setValue(0, 0, 0);
        else
            static_cast<SoSFFloat *>(field)->setValue(0);
    }
    if (!(field != NULL))
        RECURSION_REPORT(field != NULL,
                         std::string("variable \"") + name.getString() + "\" already exists as a " +
                             (vector ? "scalar" : "vector") + "; expression \"" + expression.getString() +
                             "\" is left unwired");
    return field;
}

SoCalculator *ExpressionPreprocessor::buildCalculator() {
    // All variables first, so that a clash leaves nothing half connected.
    SoField *fields[maxId];
    for (int i = 0; i < idCount; i++) {
        fields[i] = variableField(idTable[i], isVector[i], currentExpression);
        if (fields[i] == NULL)
            return NULL;
    }
    SoCalculator *calc = new SoCalculator;
    for (int i = 0; i < idCount; i++) {
        if (isVector[i])
            static_cast<SoSFVec3f *>(fields[i])->setValue(0, 0, 0);
        else
            static_cast<SoSFFloat *>(fields[i])->setValue(0);
        char inputName[2] = {substIdTable[i], 0};
        calc->getField(inputName)->connectFrom(fields[i]);
    }
    calc->expression.setValue(newExpr);
    return calc;
}

// Rewrites `text` from `rhsStart` behind `prefix` and builds its engine; NULL
// (after a report) when the names do not fit the engine or a variable clashes.
static SoCalculator *rewriteAndBuild(const SbString &text, int rhsStart, const char *prefix) {
    ExpressionPreprocessor::newExpr = prefix;
    ExpressionPreprocessor::parse(text, rhsStart);
    if (ExpressionPreprocessor::overflow || !ExpressionPreprocessor::fitsEngine())
        return NULL;
    return ExpressionPreprocessor::buildCalculator();
}

void ExpressionPreprocessor::run(RecursionCalculator *rc) {
    SbString text = rc->expression.getValue();
    int rhsStart = findRightHandSide(text);
    if (rhsStart < 0)
        return;
    if (lhs.getLength() == 0) {
        RECURSION_REPORT(lhs.getLength() > 0, std::string("expression \"") + text.getString() +
                                                  "\" assigns to an empty name; it is left "
                                                  "unwired");
        return;
    }
    SbString target = lhs;
    SbBool vector = isVectorId(target);
    // The target is resolved first: a clash must not leave an engine behind.
    SoField *field = variableField(target, vector, text);
    if (field == NULL)
        return;
    SoCalculator *calc = rewriteAndBuild(text, rhsStart, vector ? "oA=" : "oa=");
    if (calc == NULL)
        return;
    rc->expressionField = target;
    if (vector)
        rc->value3.connectFrom(&calc->oA);
    else
        rc->value.connectFrom(&calc->oa);
    rc->field = field;
    RecursionElement::registerField(target, field);
}

void ExpressionPreprocessor::run(RecursionSwitch *rs) {
    SbString text = rs->expression.getValue();
    if (text.getLength() == 0)
        return;
    SoCalculator *calc = rewriteAndBuild(text, 0, "oa=");
    if (calc != NULL)
        rs->whichChild.connectFrom(&calc->oa);
}
