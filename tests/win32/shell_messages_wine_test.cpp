/*
 * The shell's message functions under Wine: texts from the string table,
 * the numbered placeholders of missing strings, the 255-character cut, and
 * percent signs shown or formatted. Each box is shown on a worker thread and
 * read back from this thread, then dismissed.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "rig_util.h"
#include "shell.h"

namespace {

struct BoxCall {
    int kind;   /* 0: ShowMessageById, 1: ShowResourceMessage */
    const char *title;
    UINT messageId;
    UINT titleId;
    UINT style;
};

RigMessageBox ShowAndRead(const BoxCall &call)
{
    RigMessageBox box = {};
    EXPECT_TRUE(RigReadBoxOnWorker(
        [&] {
            if (call.kind == 0)
                ShowMessageById(NULL, call.title, call.messageId);
            else
                ShowResourceMessage(ShellInstance, NULL, call.messageId, call.titleId, call.style, 42,
                                    "text");
        },
        &box));
    return box;
}

std::string ModuleName()
{
    char name[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, name, sizeof name);
    return std::string(name, length);
}

class ShellMessages : public ::testing::Test {
protected:
    void SetUp() override { ShellInstance = GetModuleHandleA(NULL); }
};

TEST_F(ShellMessages, Table)
{
    std::string alphabet300;
    for (int i = 0; i < 300; i++)
        alphabet300 += i % 10 == 9 ? ' ' : (char)('A' + i % 26);
    const struct {
        const char *name;
        BoxCall call;
        std::string text;
        std::string title;
        RigIcon icon;
    } cases[] = {
        {"by id, present", {0, "Ormsted Shell", 1032, 0, 0},
         "The product will not run on the current operating system. Please check that your product "
         "supports this operating system.",
         "Ormsted Shell", RIG_ICON_INFORMATION},
        {"by id, missing", {0, "Caller title", 1500, 0, 0}, "Message 1500\n", "Caller title",
         RIG_ICON_INFORMATION},
        {"by id, 300 characters cut to 255", {0, "T", 20, 0, 0}, alphabet300.substr(0, 255), "T",
         RIG_ICON_INFORMATION},
        {"by id, percent shown as it stands", {0, "T", 21, 0, 0}, "100%d sure", "T", RIG_ICON_INFORMATION},
        {"resource, present, no icon", {1, NULL, 2, 1, MB_OK}, "Unable to read the embedded INI file.",
         "Ormsted Shell", RIG_ICON_NONE},
        {"resource, format directives", {1, NULL, 22, 1, MB_OK | MB_ICONEXCLAMATION}, "value 42 and text",
         "Ormsted Shell", RIG_ICON_EXCLAMATION},
        {"resource, message missing", {1, NULL, 3, 1, MB_OK}, ModuleName() + "\nMessage 3", "Ormsted Shell",
         RIG_ICON_NONE},
        {"resource, both missing", {1, NULL, 3, 4, MB_OK}, ModuleName() + "\nMessage 3", "Title 4",
         RIG_ICON_NONE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RigMessageBox box = ShowAndRead(c.call);
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.title, c.title);
        EXPECT_EQ(box.icon, c.icon);
    }
}

TEST(ShellFormattedMessage, FormatsArgumentsIntoText)
{
    RigMessageBox box = {};
    ASSERT_TRUE(RigReadBoxOnWorker([] { ShowFormattedMessage(NULL, "%s=%d", "Fmt", MB_OK, "n", 7); },
                                   &box));
    EXPECT_EQ(box.text, "n=7");
    EXPECT_EQ(box.title, "Fmt");
}

}  // namespace
