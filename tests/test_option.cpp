// Command-line option parsing. Options register once per process and parse
// is meant to run once, so every case parses in a forked child and reports
// what it saw back to the test.

#include "option.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The program's own options ...
OptionString optFile("file", "f");
OptionFlag optPrint("print", "p");
OptionFlag optNoView("noview", "nv");
OptionString optOffscreen("offscreen", "os");
OptionLong optWidth("width", "w");
OptionLong optHeight("height", "h");
OptionString optCamera("camera", "cam");
// ... and some that cover the rest of the classes: defaults, doubles, and a
// long name equal to another option's short name (the name spaces are apart).
OptionString optMode("mode", "m", "fast");
OptionLong optCount("count", "n", 3);
OptionDouble optScale("scale", "s");
OptionDouble optGain("gain", "g", 1.5);
OptionFlag optLongW("w", "ww");

// An option class that forgets to override setParameter.
class BareParameter : public OptionParameter {
public:
    BareParameter() : OptionParameter("bare", "b", 0) {}
};
BareParameter optBare;

std::string str(const char *s) {
    return s ? s : "(null)";
}

// One entry per option that reads as specified, plus a "!" entry for any
// unspecified option whose value moved away from its constructor's value.
std::string optionState() {
    struct Entry {
        const char *name;
        const Option &option;
        std::string value, initial;
    };
    const Entry entries[] = {
        {"file", optFile, str(optFile.getValue()), "(null)"},
        {"print", optPrint, "", ""},
        {"noview", optNoView, "", ""},
        {"offscreen", optOffscreen, str(optOffscreen.getValue()), "(null)"},
        {"width", optWidth, std::to_string(optWidth.getValue()), "0"},
        {"height", optHeight, std::to_string(optHeight.getValue()), "0"},
        {"camera", optCamera, str(optCamera.getValue()), "(null)"},
        {"mode", optMode, str(optMode.getValue()), "fast"},
        {"count", optCount, std::to_string(optCount.getValue()), "3"},
        {"scale", optScale, testing::PrintToString(optScale.getValue()), "0"},
        {"gain", optGain, testing::PrintToString(optGain.getValue()), "1.5"},
        {"w", optLongW, "", ""},
        {"bare", optBare, "", ""},
    };
    std::string state;
    for (const Entry &e : entries) {
        std::string item;
        if (e.option.isSpecified())
            item = e.value.empty() ? e.name : std::string(e.name) + "=" + e.value;
        else if (e.value != e.initial)
            item = std::string("!") + e.name + "=" + e.value;
        if (!item.empty())
            state += (state.empty() ? "" : " ") + item;
    }
    return state;
}

struct ParseResult {
    std::string errors; // everything parse wrote to stderr
    int argc;
    std::vector<std::string> argv; // all original slots after argv[0]
    std::string state;
};

std::string readAll(int fd) {
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    return text;
}

// Runs Option::parse on "prog" followed by `args` in a child process. The
// child reports argc, the whole argument vector and the option state on one
// pipe, its stderr arrives on another.
ParseResult parseInChild(const std::vector<std::string> &args) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        ADD_FAILURE() << "pipe failed";
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        close(err[0]);
        dup2(err[1], 2);
        std::vector<std::string> words = args;
        std::vector<char *> argv{const_cast<char *>("prog")};
        for (std::string &w : words)
            argv.push_back(&w[0]);
        int argc = argv.size();
        Option::parse(argc, argv.data());
        fflush(stderr);
        std::string report = std::to_string(argc) + "\n" + optionState() + "\n";
        for (size_t i = 1; i < argv.size(); i++)
            report += std::string(argv[i]) + "\n";
        if (write(out[1], report.data(), report.size()) != (ssize_t)report.size())
            _exit(2);
        _exit(0);
    }
    close(out[1]);
    close(err[1]);
    std::string report = readAll(out[0]);
    ParseResult result;
    result.errors = readAll(err[0]);
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;

    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = report.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(report.substr(start, end - start));
    if (lines.size() < 2) {
        ADD_FAILURE() << "child report incomplete: " << report;
        return result;
    }
    result.argc = std::stoi(lines[0]);
    result.state = lines[1];
    result.argv.assign(lines.begin() + 2, lines.end());
    return result;
}

struct ParseCase {
    std::vector<std::string> args;
    std::string errors;
    int argc;
    std::vector<std::string> argv; // argv[1] .. of the original length
    std::string state;
};

const ParseCase parseCases[] = {
    // Both names of an option
    {{"-f", "scene.iv"}, "", 1, {"scene.iv", "scene.iv"}, "file=scene.iv"},
    {{"--file", "scene.iv"}, "", 1, {"scene.iv", "scene.iv"}, "file=scene.iv"},
    // A single dash always introduces a short name, two a long one
    {{"-file", "x"}, "unknown option '-file'\n", 3, {"-file", "x"}, ""},
    {{"--f", "x"}, "unknown option '--f'\n", 3, {"--f", "x"}, ""},
    {{"-"}, "unknown option '-'\n", 2, {"-"}, ""},
    {{"--"}, "unknown option '--'\n", 2, {"--"}, ""},
    {{"--w"}, "", 1, {"--w"}, "w"},
    {{"-ww"}, "", 1, {"-ww"}, "w"},
    // Ordinary arguments are kept, in order, ahead of the consumed slots
    {{"a", "-nv", "b"}, "", 3, {"a", "b", "b"}, "noview"},
    {{"-w", "5", "6"}, "", 2, {"6", "5", "6"}, "width=5"},
    {{"-f", "a", "b"}, "", 2, {"b", "a", "b"}, "file=a"},
    {{"-w", "5", "-nv", "7"}, "", 2, {"7", "5", "-nv", "7"}, "noview width=5"},
    // The argument after an option waiting for its parameter is taken as is
    {{"-f", "-nv"}, "", 1, {"-nv", "-nv"}, "file=-nv"},
    {{"-nv", "-f", "s.iv"}, "", 1, {"s.iv", "-f", "s.iv"}, "file=s.iv noview"},
    // Conversions are unchecked
    {{"-w", "-5"}, "", 1, {"-5", "-5"}, "width=-5"},
    {{"-w", "7x"}, "", 1, {"7x", "7x"}, "width=7"},
    {{"-w", "x"}, "", 1, {"x", "x"}, "width=0"},
    {{"-s", "2.5"}, "", 1, {"2.5", "2.5"}, "scale=2.5"},
    {{"-s", "1e3x"}, "", 1, {"1e3x", "1e3x"}, "scale=1000"},
    {{"--gain", "abc"}, "", 1, {"abc", "abc"}, "gain=0"},
    // Naming an option with a default asks for a new parameter
    {{"-m", "slow"}, "", 1, {"slow", "slow"}, "mode=slow"},
    {{"--count", "8"}, "", 1, {"8", "8"}, "count=8"},
    {{"-m"}, "missing option parameter\n", 2, {"-m"}, "mode=fast"},
    // Problems stop the parse and leave argc alone; argv may be compacted
    {{"-f", "a", "-f", "b"}, "option '-f' specified twice\n", 5, {"-f", "a", "-f", "b"}, "file=a"},
    {{"-f", "a", "--file", "b"},
     "option '--file' specified twice\n",
     5,
     {"--file", "a", "--file", "b"},
     "file=a"},
    {{"-nv", "--noview"},
     "option '--noview' specified twice\n",
     3,
     {"--noview", "--noview"},
     "noview"},
    {{"a", "-nv", "b", "-zz", "c"},
     "unknown option '-zz'\n",
     6,
     {"a", "b", "-zz", "-zz", "c"},
     "noview"},
    {{"-display", ":0", "-f", "x.iv"},
     "unknown option '-display'\n",
     5,
     {"-display", ":0", "-f", "x.iv"},
     ""},
    {{"-f"}, "missing option parameter\n", 2, {"-f"}, "file=(null)"},
    {{"-f", "x", "-w"}, "missing option parameter\n", 4, {"-w", "x", "-w"}, "file=x width=0"},
    // A flag needs no parameter, also when named last
    {{"-f", "x", "-p"}, "", 1, {"-p", "x", "-p"}, "file=x print"},
    {{}, "", 1, {}, ""},
    // The base class only reports that it cannot store a parameter
    {{"-b", "x"}, "should be pure virtual\n", 1, {"x", "x"}, "bare"},
};

TEST(OptionParse, Cases) {
    for (const ParseCase &c : parseCases) {
        std::string line;
        for (const std::string &a : c.args)
            line += " " + a;
        SCOPED_TRACE("prog" + line);
        ParseResult r = parseInChild(c.args);
        EXPECT_EQ(c.errors, r.errors);
        EXPECT_EQ(c.argc, r.argc);
        EXPECT_EQ(c.argv, r.argv);
        EXPECT_EQ(c.state, r.state);
    }
}

// Runs a helper program that defines two options sharing a name.
TEST(OptionRegistration, DuplicateNameEndsProcess) {
    struct Case {
        const char *program;
        const char *message;
    } cases[] = {
        {DUPLICATE_LONG_PROGRAM, "Option with long name: 'file' already exists\n"},
        {DUPLICATE_SHORT_PROGRAM, "Option with short name: 'f' already exists\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program);
        int err[2];
        ASSERT_EQ(0, pipe(err));
        pid_t pid = fork();
        if (pid == 0) {
            dup2(err[1], 2);
            close(err[0]);
            execl(c.program, c.program, (char *)nullptr);
            _exit(127);
        }
        close(err[1]);
        std::string errors = readAll(err[0]);
        close(err[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(c.message, errors);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(255, WEXITSTATUS(status));
    }
}

} // namespace
