/*
 * The shell's DLL search under Wine: a DLL planted beside a packaged shell
 * under the name of one that the system's user library loads by name
 * (uxtheme.dll) must not be loaded into the shell's process. Wine prefers
 * its own built-in DLLs; a per-program DllOverrides of "native,builtin"
 * makes it take the first file found along the search path, as Windows
 * does. The product, a windowed program in the same folder that does not
 * narrow its search, is the control: the plant reaches it, so the folder,
 * the override and the plant all work, and only the shell keeps it out.
 */
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "rig_util.h"

namespace {

const char kWork[] = "dll_search_work";
const char kShell[] = "dll_search_shell.exe";
const char kProduct[] = "dll_search_product.exe";

std::string Work(const std::string &name)
{
    return std::string(kWork) + "\\" + name;
}

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

/* HKCU\Software\Wine\AppDefaults\<exeName>\DllOverrides: uxtheme loaded
 * native first, or (on false) the program's key removed. */
bool SetNativeFirst(const char *exeName, bool on)
{
    std::string app = std::string("Software\\Wine\\AppDefaults\\") + exeName;
    std::string overrides = app + "\\DllOverrides";
    if (!on) {
        RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
        LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, app.c_str());
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return false;
    const char value[] = "native,builtin";
    LONG result = RegSetValueExA(key, "uxtheme", 0, REG_SZ, (const BYTE *)value, sizeof value);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

TEST(DllSearchWine, APlantedDllNeverReachesTheShell)
{
    CreateDirectoryA(kWork, NULL);
    for (const char *name : {"dll_search_shell.exe.loaded", "dll_search_product.exe.loaded", "product.txt"})
        DeleteFileA(Work(name).c_str());
    ASSERT_TRUE(RigCopyFile("probe_gui.exe", Work(kProduct)));
    ASSERT_TRUE(RigCopyFile("plant_dll.dll", Work("uxtheme.dll")));
    DWORD code = 0xDEADBEEF;
    ASSERT_TRUE(RigRunAndWait((std::string("ormpack.exe build ORMGEN32.EXE -o ") + Work(kShell) +
                               " --program $SHELLDIR\\" + kProduct + " --wait")
                                  .c_str(),
                              60000, &code));
    ASSERT_EQ(code, 0u);
    ASSERT_TRUE(SetNativeFirst(kShell, true));
    ASSERT_TRUE(SetNativeFirst(kProduct, true));

    SetEnvironmentVariableA("PLANT_DIR", RigFullPath(kWork).c_str());
    SetEnvironmentVariableA("PROBE_OUT", RigFullPath(Work("product.txt")).c_str());
    code = 0xDEADBEEF;
    bool ran = RigRunAndWait(("\"" + RigFullPath(Work(kShell)) + "\" dll search").c_str(), 60000, &code);
    SetEnvironmentVariableA("PLANT_DIR", NULL);
    SetEnvironmentVariableA("PROBE_OUT", NULL);
    SetNativeFirst(kShell, false);
    SetNativeFirst(kProduct, false);

    ASSERT_TRUE(ran);
    EXPECT_EQ(code, 0u);
    /* The shell waited for its product, so both have run to the end. */
    EXPECT_NE(RigReadFile(Work("product.txt")).find("dll search"), std::string::npos)
        << "the product was started";
    EXPECT_TRUE(Exists(Work("dll_search_product.exe.loaded")))
        << "control: the plant is loaded by a program that searches its own folder";
    EXPECT_FALSE(Exists(Work("dll_search_shell.exe.loaded")))
        << "the shell loaded " << RigReadFile(Work("dll_search_shell.exe.loaded"));
}

}  // namespace
