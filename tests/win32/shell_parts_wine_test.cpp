/*
 * The launcher's building blocks in-process under Wine: path macro expansion
 * against the real Windows directory and module name, the launcher's request
 * check and the operating-system kind of the running (emulated) Windows.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "shell.h"

namespace {

std::string WindowsDir()
{
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, sizeof path);
    std::string dir(path, length);
    if (dir.empty() || dir.back() != '\\')
        dir += '\\';
    return dir;
}

std::string ModuleDir()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string name(path, length);
    return name.substr(0, name.rfind('\\') + 1);
}

TEST(ExpandPathMacros, Table)
{
    std::string long300(300, 'p');
    const struct {
        std::string source;
        std::string expected;
    } cases[] = {
        {"$WINDIR\\prod.exe", WindowsDir() + "prod.exe"},
        {"$SHELLDIR\\bin\\prod.exe", ModuleDir() + "bin\\prod.exe"},
        {"$windir\\prod.exe", "$windir\\prod.exe"},
        {"$shelldir\\prod.exe", "$shelldir\\prod.exe"},
        {"C:\\$WINDIR\\prod.exe", "C:\\$WINDIR\\prod.exe"},
        {"$WINDIR", "$WINDIR"},
        {"$SHELLDIR\\$WINDIR\\x.exe", ModuleDir() + "$WINDIR\\x.exe"},
        {long300, long300.substr(0, 255)},
        {"$WINDIR\\" + long300, (WindowsDir() + long300).substr(0, 255)},
    };
    for (const auto &c : cases) {
        char destination[256];
        memset(destination, 0x55, sizeof destination);
        char *result = ExpandPathMacros(GetModuleHandleA(NULL), c.source.c_str(), destination, sizeof destination);
        EXPECT_EQ(result, destination);
        EXPECT_EQ(std::string(destination), c.expected) << c.source;
        /* The rest of the buffer is NUL-filled. */
        size_t used = strlen(destination);
        for (size_t i = used; i < sizeof destination; i++)
            ASSERT_EQ(destination[i], '\0') << c.source << " at " << i;
    }
}

TEST(ExpandPathMacros, SmallBufferAlwaysTerminates)
{
    char destination[8];
    ExpandPathMacros(GetModuleHandleA(NULL), "abcdefghijkl", destination, sizeof destination);
    EXPECT_STREQ(destination, "abcdefg");
    /* A Windows directory that does not fit leaves an empty path, never a
     * half-written one. */
    ExpandPathMacros(GetModuleHandleA(NULL), "$WINDIR\\x.exe", destination, sizeof destination);
    EXPECT_STREQ(destination, "");
}

TEST(LaunchProduct, RefusesRequestOfWrongSize)
{
    LaunchRequest request = {};
    LaunchOutcome outcome = {0};
    request.size = sizeof request + 1;
    request.programPath = "C:\\windows\\system32\\cmd.exe";
    request.arguments = "";
    UINT before = SetErrorMode(0);
    EXPECT_EQ(LaunchProduct(&request, &outcome), LAUNCH_BAD_REQUEST);
    EXPECT_EQ(outcome.processId, 0u);
    /* The error mode is restored on every return. */
    EXPECT_EQ(SetErrorMode(before), 0u);
}

}  // namespace
