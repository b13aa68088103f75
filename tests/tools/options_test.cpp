// Command line of qxrun: the forms of --var, which script runs, and the combinations and values
// that are refused before anything is compiled.
#include "options.h"

#include <gtest/gtest.h>

namespace {

bool parse(std::vector<std::string> args, sRunOptions& opts, std::string& error,
           bool terminal = false) {
    return parseOptions(args, terminal, opts, error);
}

std::string refusal(std::vector<std::string> args, bool terminal = false) {
    sRunOptions opts;
    std::string error;
    EXPECT_FALSE(parse(args, opts, error, terminal));
    return error;
}

}  // namespace

TEST(QxrunOptionsTest, VarSpecificationsGiveTypeAndShape) {
    sVarSpec item;
    std::string error;
    ASSERT_TRUE(parseVarSpec("m=byte[2][3]", item, error)) << error;
    EXPECT_EQ(item.name, "m");
    EXPECT_EQ(item.type, edtBYTE);
    EXPECT_EQ(item.rows, 2);
    EXPECT_EQ(item.cols, 3);
    EXPECT_FALSE(item.resizable);
    ASSERT_TRUE(parseVarSpec("r=float[]", item, error)) << error;
    EXPECT_EQ(item.type, edtFLOAT);
    EXPECT_TRUE(item.resizable);
    item = sVarSpec();
    ASSERT_TRUE(parseVarSpec("s=short", item, error)) << error;
    EXPECT_EQ(item.type, edtSHORT);
    EXPECT_EQ(item.rows, 1);
    EXPECT_EQ(item.cols, 1);
    ASSERT_TRUE(parseVarSpec("big=int[8192][8192]", item, error)) << error;
}

TEST(QxrunOptionsTest, MalformedVarSpecificationsAreRefused) {
    sVarSpec item;
    std::string error;
    const char* const bad[] = {"m",
                               "=double",
                               "2m=double",
                               "m=long",
                               "m=double[2]",
                               "m=double[0][1]",
                               "m=double[1][-1]",
                               "m=double[a][1]",
                               "m=double[1][1]x",
                               "m=double[ 1][1]",
                               "m=double[99999999999999999999][1]",
                               "m=double[8193][8192]",
                               "for=double"};
    for (const char* text : bad) EXPECT_FALSE(parseVarSpec(text, item, error)) << text;
    parseVarSpec("m=long[2][2]", item, error);
    EXPECT_EQ(error, "unknown type 'long' (byte, short, int, float or double)");
}

TEST(QxrunOptionsTest, TheScriptComesFromAFileATextStandardInputOrTheSession) {
    sRunOptions opts;
    std::string error;
    ASSERT_TRUE(parse({"a.qx"}, opts, error));
    EXPECT_EQ(opts.mode, rmFILE);
    EXPECT_EQ(opts.script, "a.qx");
    ASSERT_TRUE(parse({"-e", "x = 1;"}, opts, error));
    EXPECT_EQ(opts.mode, rmTEXT);
    EXPECT_EQ(opts.script, "x = 1;");
    ASSERT_TRUE(parse({"-"}, opts, error));
    EXPECT_EQ(opts.mode, rmSTDIN);
    ASSERT_TRUE(parse({"--", "-odd.qx"}, opts, error));
    EXPECT_EQ(opts.mode, rmFILE);
    EXPECT_EQ(opts.script, "-odd.qx");
    // Without a script: the session on a terminal, standard input as the script otherwise.
    ASSERT_TRUE(parse({}, opts, error, true));
    EXPECT_EQ(opts.mode, rmREPL);
    ASSERT_TRUE(parse({}, opts, error, false));
    EXPECT_EQ(opts.mode, rmSTDIN);
    ASSERT_TRUE(parse({"-i", "--var", "x=int"}, opts, error, false));
    EXPECT_EQ(opts.mode, rmREPL);
    EXPECT_FALSE(parse({"--bogus-after-help", "--help"}, opts, error));
    ASSERT_TRUE(parse({"--help", "--bogus"}, opts, error));
    EXPECT_EQ(opts.mode, rmHELP);
}

TEST(QxrunOptionsTest, ValuesComeAfterTheOptionOrAfterAnEqualsSign) {
    sRunOptions opts;
    std::string error;
    ASSERT_TRUE(parse({"--print", "a", "--print=b", "--var=x=int[2][2]", "--load", "m=f.csv",
                       "--save=m=g.csv", "--quiet", "--no-clipping", "--no-smart-error", "s.qx"},
                      opts, error))
        << error;
    EXPECT_EQ(opts.prints, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(opts.vars.size(), 1u);
    EXPECT_EQ(opts.vars[0].name, "x");
    ASSERT_EQ(opts.loads.size(), 1u);
    EXPECT_EQ(opts.loads[0].path, "f.csv");
    ASSERT_EQ(opts.saves.size(), 1u);
    EXPECT_EQ(opts.saves[0].name, "m");
    EXPECT_EQ(opts.saves[0].path, "g.csv");
    EXPECT_TRUE(opts.quiet);
    EXPECT_FALSE(opts.clipping);
    EXPECT_FALSE(opts.smartError);
}

TEST(QxrunOptionsTest, UsageErrorsAreNamed) {
    EXPECT_EQ(refusal({"--frobnicate"}), "unknown option '--frobnicate'");
    EXPECT_EQ(refusal({"-x"}), "unknown option '-x'");
    EXPECT_EQ(refusal({"--print"}), "--print needs a value");
    EXPECT_EQ(refusal({"-e"}), "-e needs a value");
    EXPECT_EQ(refusal({"--print", "1x"}), "--print: '1x' is not a variable name");
    EXPECT_EQ(refusal({"--load", "m"}), "--load: expected NAME=..., got 'm'");
    EXPECT_EQ(refusal({"--save", "m="}), "--save: no file name for 'm'");
    EXPECT_EQ(refusal({"a.qx", "b.qx"}), "only one script may be given");
    EXPECT_EQ(refusal({"-e", "x;", "-"}), "only one script may be given");
    EXPECT_EQ(refusal({"-i", "a.qx"}), "-i cannot be combined with a script");
    EXPECT_EQ(refusal({"-i", "--quiet"}),
              "--print, --save and --quiet apply to a script, not to the interactive session");
    EXPECT_EQ(refusal({"--save", "m=x.csv"}, true),
              "--print, --save and --quiet apply to a script, not to the interactive session");
}
