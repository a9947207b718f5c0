#ifndef TESSVANE_OPTION_H
#define TESSVANE_OPTION_H

// Self-registering command-line options. An application defines each option
// as a global object; its constructor links it into one list of all options.
// Option::parse then walks the command line once, marks the options named
// there, hands each parameter to the option before it and removes options and
// consumed parameters from argv. Every option has a long name, written after
// "--", and a short name, written after "-".
//
// Options live for the whole run and are never destroyed, so the classes
// have no virtual destructor.

class Option {
public:
    // Parses argv[1] .. argv[argc - 1]. Problems are reported on stderr and
    // end the parse early, leaving argc unchanged; otherwise argc is reduced
    // so that argv[1] .. argv[argc - 1] are the arguments left for the caller.
    static void parse(int &argc, char **argv);

    int isSpecified() const { return specified; }

protected:
    // Exits with status -1 when either name is already taken.
    Option(const char *newLongName, const char *newShortName, int newSpecified);

    virtual void setSpecified();
    virtual int isMissingParameter();
    virtual int takesParameter(const char *par);

    static Option *findByLongName(const char *name);
    static Option *findByShortName(const char *name);

    int specified;
    const char *shortName;
    const char *longName;
    Option *next;

    // Zero-initialised before any dynamic initialisation, so globals in any
    // source file may register in whatever order they are constructed.
    static Option *optionList;
};

// An option without parameter.
class OptionFlag : public Option {
public:
    OptionFlag(const char *newLongName, const char *newShortName);
};

// An option that takes exactly one parameter; only its subclasses are used.
class OptionParameter : public Option {
protected:
    OptionParameter(const char *newLongName, const char *newShortName, int hasDefault);

    virtual void setSpecified();
    virtual int isMissingParameter();
    virtual int takesParameter(const char *par);
    virtual void setParameter(const char *par);

    // A value is present: the default, or one taken from the command line.
    int parameter;
};

// Keeps a pointer to the argument itself; nothing is copied.
class OptionString : public OptionParameter {
public:
    OptionString(const char *newLongName, const char *newShortName);
    OptionString(const char *newLongName, const char *newShortName, const char *defaultValue);

    const char *getValue() const { return value; }

protected:
    virtual void setParameter(const char *par);

    const char *value;
};

// Converted with atol: no checking, text that is not a number reads as 0.
class OptionLong : public OptionParameter {
public:
    OptionLong(const char *newLongName, const char *newShortName);
    OptionLong(const char *newLongName, const char *newShortName, int defaultValue);

    long getValue() const { return value; }

protected:
    virtual void setParameter(const char *par);

    long value;
};

// Converted with atof: no checking, text that is not a number reads as 0.0.
class OptionDouble : public OptionParameter {
public:
    OptionDouble(const char *newLongName, const char *newShortName);
    OptionDouble(const char *newLongName, const char *newShortName, double defaultValue);

    double getValue() const { return value; }

protected:
    virtual void setParameter(const char *par);

    double value;
};

#endif
