#include "option.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

Option *Option::optionList = nullptr;

Option::Option(const char *newLongName, const char *newShortName, int newSpecified)
    : specified(newSpecified), shortName(newShortName), longName(newLongName), next(optionList) {
    // The list head is changed only after the checks, so the lookups do not
    // find this option itself. This runs during static initialisation, so
    // only stdio is used for the report.
    if (findByLongName(longName) != nullptr) {
        fprintf(stderr, "Option with long name: '%s' already exists\n", longName);
        exit(-1);
    }
    if (findByShortName(shortName) != nullptr) {
        fprintf(stderr, "Option with short name: '%s' already exists\n", shortName);
        exit(-1);
    }
    optionList = this;
}

void Option::setSpecified() {
    specified = 1;
}

int Option::isMissingParameter() {
    return 0;
}

int Option::takesParameter(const char *) {
    return 0;
}

Option *Option::findByLongName(const char *name) {
    for (Option *option = optionList; option != nullptr; option = option->next)
        if (strcmp(option->longName, name) == 0)
            return option;
    return nullptr;
}

Option *Option::findByShortName(const char *name) {
    for (Option *option = optionList; option != nullptr; option = option->next)
        if (strcmp(option->shortName, name) == 0)
            return option;
    return nullptr;
}

void Option::parse(int &argc, char **argv) {
    Option *optionPtr = nullptr; // the option named most recently
    int numberOfOptionsAndParameters = 0;

    for (int i = 1; i < argc; i++) {
        // Move every argument left over what has been consumed before it; a
        // consumed argument is overwritten by the next one kept.
        if (numberOfOptionsAndParameters > 0)
            argv[i - numberOfOptionsAndParameters] = argv[i];

        // An option still waiting for its parameter takes the next argument
        // whatever it looks like, so "-5" can be a value.
        const char *arg = argv[i];
        bool isValue = arg[0] != '-' || (optionPtr != nullptr && optionPtr->isMissingParameter());
        if (isValue) {
            if (optionPtr != nullptr && optionPtr->takesParameter(arg))
                numberOfOptionsAndParameters++;
            continue;
        }

        optionPtr = arg[1] == '-' ? findByLongName(arg + 2) : findByShortName(arg + 1);
        if (optionPtr == nullptr) {
            fprintf(stderr, "unknown option '%s'\n", arg);
            return;
        }
        if (optionPtr->specified) {
            fprintf(stderr, "option '%s' specified twice\n", arg);
            return;
        }
        optionPtr->setSpecified();
        numberOfOptionsAndParameters++;
    }

    if (optionPtr != nullptr && optionPtr->isMissingParameter()) {
        fprintf(stderr, "missing option parameter\n");
        return;
    }
    argc -= numberOfOptionsAndParameters;
}

OptionFlag::OptionFlag(const char *newLongName, const char *newShortName)
    : Option(newLongName, newShortName, 0) {}

OptionParameter::OptionParameter(const char *newLongName, const char *newShortName, int hasDefault)
    : Option(newLongName, newShortName, 0), parameter(hasDefault) {}

// Naming an option on the command line asks for a parameter from the command
// line, even when the option has a default.
void OptionParameter::setSpecified() {
    specified = 1;
    parameter = 0;
}

int OptionParameter::isMissingParameter() {
    return parameter == 0;
}

int OptionParameter::takesParameter(const char *par) {
    if (parameter)
        return 0;
    setParameter(par);
    parameter = 1;
    return 1;
}

void OptionParameter::setParameter(const char *) {
    fprintf(stderr, "should be pure virtual\n");
}

OptionString::OptionString(const char *newLongName, const char *newShortName)
    : OptionParameter(newLongName, newShortName, 0), value(nullptr) {}

OptionString::OptionString(const char *newLongName, const char *newShortName,
                           const char *defaultValue)
    : OptionParameter(newLongName, newShortName, 1), value(defaultValue) {}

void OptionString::setParameter(const char *par) {
    value = par;
}

OptionLong::OptionLong(const char *newLongName, const char *newShortName)
    : OptionParameter(newLongName, newShortName, 0), value(0) {}

OptionLong::OptionLong(const char *newLongName, const char *newShortName, int defaultValue)
    : OptionParameter(newLongName, newShortName, 1), value(defaultValue) {}

void OptionLong::setParameter(const char *par) {
    value = atol(par);
}

OptionDouble::OptionDouble(const char *newLongName, const char *newShortName)
    : OptionParameter(newLongName, newShortName, 0), value(0.0) {}

OptionDouble::OptionDouble(const char *newLongName, const char *newShortName, double defaultValue)
    : OptionParameter(newLongName, newShortName, 1), value(defaultValue) {}

void OptionDouble::setParameter(const char *par) {
    value = atof(par);
}
