/*
 * The product's side, natively: EmbedLoadShellIni reads the file named by
 * ORMGEN32_SHELL and gives its configuration, or none when the variable is
 * unset or empty, or the file is missing, has no container, or a damaged
 * one. Then the example product itself, built by vendor_build.sh against
 * the installed package (find_package) and from a project that takes the
 * library with add_subdirectory, run with and without the variable; and a
 * product with its own FileExists and FileOpen, which the library must not
 * call in place of its own.
 */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <string>

#include "embed.h"
#include "ini_test_support.h"
#include "packaged_file.h"

namespace {

const char kText[] = "[Product]\r\nGreeting = \"Hello from the vendor\"\r\n";

/* Sets or (with NULL) removes the variable for the rest of a test. */
struct ShellVariable {
    explicit ShellVariable(const char *value)
    {
        if (value)
            setenv(EMBED_SHELL_VARIABLE, value, 1);
        else
            unsetenv(EMBED_SHELL_VARIABLE);
    }
    ~ShellVariable() { unsetenv(EMBED_SHELL_VARIABLE); }
};

struct NoneCase {
    const char *name;
    const char *file;     /* file name in the scratch folder, or NULL: no variable */
    std::string bytes;    /* written to the file unless empty */
};

TEST(EmbedShellIni, GivesNoneWithoutAShellsConfiguration)
{
    ScratchDir dir;
    std::string damaged = PackagedFileBytes(kText);
    damaged[damaged.size() - EMBED_HEADER_SIZE - 5] ^= 0x20;   /* a byte of the stored body */
    const NoneCase cases[] = {
        {"unset", NULL, ""},
        {"empty", "", ""},
        {"missing file", "missing.exe", ""},
        {"no container", "plain.exe", "MZ a program without configuration"},
        {"damaged container", "damaged.exe", damaged},
        {"malformed text", "malformed.exe", PackagedFileBytes("[Product]\r\nno equals sign\r\n")},
    };
    for (const NoneCase &c : cases) {
        std::string value;
        if (c.file && c.file[0]) {
            value = dir.File(c.file);
            if (!c.bytes.empty()) {
                ASSERT_TRUE(WriteWholeFile(value, c.bytes)) << c.name;
            }
        }
        ShellVariable variable(c.file ? value.c_str() : NULL);
        IniAllocReset(-1);
        EXPECT_EQ(nullptr, EmbedLoadShellIni()) << c.name;
        EXPECT_EQ(0, IniAllocGet().live) << c.name;
    }
}

TEST(EmbedShellIni, ReadsTheConfigurationOfTheNamedShell)
{
    ScratchDir dir;
    std::string shell = dir.File("MYPRODUCT.EXE");
    ASSERT_TRUE(WriteWholeFile(shell, PackagedFileBytes(kText)));
    ShellVariable variable(shell.c_str());
    IniAllocReset(-1);
    IniFile *ini = EmbedLoadShellIni();
    ASSERT_NE(nullptr, ini);
    EXPECT_STREQ("Hello from the vendor", IniGetValue(ini, "Product", "Greeting", NULL));
    IniClose(ini);
    EXPECT_EQ(0, IniAllocGet().live);
}

/* Runs a program with its output and error output together; the exit code
 * or -1. */
int RunProgram(const std::string &program, std::string *output)
{
    FILE *pipe = popen(("'" + program + "' 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char block[512];
    size_t got;
    output->clear();
    while ((got = fread(block, 1, sizeof block, pipe)) > 0)
        output->append(block, got);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/* The example product of both builds shows the vendor's greeting when the
 * variable names a packaged shell, and says that it found no configuration
 * when there is none. */
TEST(ExampleProduct, ReadsTheGreetingItsVendorPackaged)
{
    ScratchDir dir;
    std::string shell = dir.File("MYPRODUCT.EXE");
    ASSERT_TRUE(WriteWholeFile(shell, PackagedFileBytes(kText)));
    for (const char *product : {ORM_VENDOR_DIR "/product/product",
                                ORM_VENDOR_DIR "/subdirectory/product"}) {
        std::string output;
        {
            ShellVariable variable(shell.c_str());
            EXPECT_EQ(0, RunProgram(product, &output)) << product << ": " << output;
            EXPECT_EQ("Example product: Hello from the vendor\n", output) << product;
        }
        ShellVariable none(NULL);
        EXPECT_EQ(1, RunProgram(product, &output)) << product << ": " << output;
        EXPECT_EQ("Example product: No configuration: start this product through its shell.\n",
                  output) << product;
    }
}

/* The library's FileOpen and FileExists are its own, not the product's of
 * the same names: the product reads its greeting and its functions are
 * never called. */
TEST(OwnNamesProduct, KeepsItsFunctionsAndTheLibraryItsOwn)
{
    ScratchDir dir;
    std::string shell = dir.File("MYPRODUCT.EXE");
    ASSERT_TRUE(WriteWholeFile(shell, PackagedFileBytes(kText)));
    const std::string product = ORM_VENDOR_DIR "/own_names/own_names";
    std::string output;
    {
        ShellVariable variable(shell.c_str());
        EXPECT_EQ(0, RunProgram(product, &output)) << output;
        EXPECT_EQ("Hello from the vendor|0\n", output);
    }
    ShellVariable none(NULL);
    EXPECT_EQ(1, RunProgram(product, &output)) << output;
    EXPECT_EQ("(none)|0\n", output);
}

}  // namespace
