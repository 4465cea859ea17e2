// The installer's script reading, expansion lookups and WININIT.INI hand-over against the real
// profile functions, registry and environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_state.h"
#include "win32_test_support.h"

namespace {

std::string TempFile(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    return std::string(folder) + name;
}

std::vector<std::string> Lines(SectionReader reader) {
    std::vector<std::string> lines;
    while (const char* line = NextSectionLine(reader)) {
        lines.push_back(line);
    }
    return lines;
}

class SetupScriptTest : public ::testing::Test {
  protected:
    std::string script = TempFile("vt-setup-script.dat");
    std::vector<char> list = std::vector<char>(ListSectionCapacity);

    void Use(const std::string& content) {
        WriteFileText(script, content);
        lstrcpynA(setupState.scriptPath, script.c_str(), sizeof(setupState.scriptPath));
        setupState.installFolder[0] = '\0';
    }
    void TearDown() override {
        DeleteFileA(script.c_str());
    }
};

TEST_F(SetupScriptTest, KeysReadExpandedOrAsWritten) {
    SetEnvironmentVariableA("VT_SCRIPT_NAME", "ソフト表示");
    Use("[Info]\r\nTitle=%vt_script_name%\\tv1\r\n"
        "[Install]\r\nRebootAfterSetup=7\r\nRunAfterCopy=%WINSYS%\\\\regsvr32.exe /s\r\n"
        "[Uninstall]\r\nPrompt=Close %winsys% \\\\ "
        "now\r\nReadyUninstall=%setup%\\\\vt.dll,Ready\r\n");
    char text[3088];
    ASSERT_TRUE(ReadScriptValue(KeyTitle, text, sizeof(text)));
    EXPECT_STREQ(text, "ソフト表示\tv1");

    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    ASSERT_TRUE(ReadScriptValue(KeyRunAfterCopy, text, sizeof(text)));
    EXPECT_EQ(std::string(text), std::string(system) + "\\regsvr32.exe /s");
    // The prompt and the readiness DLL are used as written.
    ASSERT_TRUE(ReadScriptValue(KeyPrompt, text, sizeof(text)));
    EXPECT_STREQ(text, "Close %winsys% \\\\ now");
    ASSERT_TRUE(ReadScriptValue(KeyReadyUninstall, text, sizeof(text)));
    EXPECT_STREQ(text, "%setup%\\\\vt.dll,Ready");
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 7u);

    // A missing key or script reads as empty and 0.
    ASSERT_TRUE(ReadScriptValue(KeyRunBeforeDelete, text, sizeof(text)));
    EXPECT_STREQ(text, "");
    DeleteFileA(script.c_str());
    ASSERT_TRUE(ReadScriptValue(KeyTitle, text, sizeof(text)));
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ReadScriptNumber("Install", "RebootAfterSetup"), 0u);
    EXPECT_TRUE(Lines(ReadListSection("Install.files", list.data())).empty());
}

TEST_F(SetupScriptTest, ExpansionFailureLeavesNoUnterminatedText) {
    Use("[Info]\r\nTitle=" + std::string(300, 't') + "\r\n");
    char title[PathCapacity];
    memset(title, 'x', sizeof(title));
    EXPECT_FALSE(ReadScriptValue(KeyTitle, title, sizeof(title)));
    EXPECT_STREQ(title, "");
}

TEST_F(SetupScriptTest, KeywordLookupsOfThePlatform) {
    const char* const versionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, versionKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char programFiles[] = "C:\\プログラム";
    RegSetValueExA(key, "ProgramFilesPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(programFiles),
                   sizeof(programFiles));
    char text[PathCapacity];
    lstrcpynA(setupState.installFolder, "D:\\Veltrim", sizeof(setupState.installFolder));
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "%Program%|%SETUP%"));
    EXPECT_STREQ(text, "C:\\プログラム|D:\\Veltrim");
    // As NT-family Windows keeps it: expanded, never a folder named "%ProgramFiles%".
    const char expandable[] = "%VT_DRIVE%\\Program Files";
    SetEnvironmentVariableA("VT_DRIVE", "E:");
    RegSetValueExA(key, "ProgramFilesPath", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(expandable), sizeof(expandable));
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "%program%"));
    EXPECT_STREQ(text, "E:\\Program Files");
    SetEnvironmentVariableA("VT_DRIVE", nullptr);

    // Without the value the keyword falls back to an environment variable of that name.
    RegDeleteValueA(key, "ProgramFilesPath");
    RegCloseKey(key);
    SetEnvironmentVariableA("program", "from-environment");
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "%program%"));
    EXPECT_STREQ(text, "from-environment");
    SetEnvironmentVariableA("program", nullptr);
    EXPECT_TRUE(ExpandScriptText(text, sizeof(text), "[%program%]"));
    EXPECT_STREQ(text, "[]");
    setupState.installFolder[0] = '\0';
}

TEST_F(SetupScriptTest, ListSectionsWholeOrNotAtAll) {
    Use("[Install.files]\r\n%setup%\\\\=vt.dll\r\nC:\\\\ソフト\\\\=setup.exe\r\n"
        "C:\\\\ソフト\\\\=setup.exe\r\n[Uninstall.regs]\r\n*Software\\\\Veltrim\r\n");
    EXPECT_EQ(Lines(ReadListSection("Install.files", list.data())),
              (std::vector<std::string>{"%setup%\\\\=vt.dll", "C:\\\\ソフト\\\\=setup.exe",
                                        "C:\\\\ソフト\\\\=setup.exe"}));
    EXPECT_EQ(Lines(ReadListSection("Uninstall.regs", list.data())),
              (std::vector<std::string>{"*Software\\\\Veltrim"}));

    // A section larger than the buffer: the reader's cut-off signal, and nothing of it is used.
    std::string big = "[Install.files]\r\n";
    for (int i = 0; i < 1000; ++i) {
        big += "C:\\\\Veltrim\\\\=file" + std::to_string(i) + ".dat\r\n";
    }
    Use(big);
    const DWORD fetched = GetPrivateProfileSectionA("Install.files", list.data(),
                                                    ListSectionCapacity, script.c_str());
    EXPECT_EQ(fetched, ListSectionCutOff);
    EXPECT_TRUE(Lines(ReadListSection("Install.files", list.data())).empty());
}

class PendingRenamesTest : public ::testing::Test {
  protected:
    const char* const sessionKey = "System\\CurrentControlSet\\Control\\Session Manager";
    std::string wininit = TempFile("vt-wininit.ini");
    std::string fileA = TempFile("vt-pending-a.tmp");
    std::string fileB = TempFile("vt-pending-b.tmp");

    void SetUp() override {
        WriteFileText(fileA, "a");
        WriteFileText(fileB, "b");
        DeletePending();
    }
    void TearDown() override {
        DeletePending();
        DeleteFileA(wininit.c_str());
        DeleteFileA(fileA.c_str());
        DeleteFileA(fileB.c_str());
    }
    void DeletePending() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionKey, 0, KEY_ALL_ACCESS, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(key, "PendingFileRenameOperations");
            RegCloseKey(key);
        }
    }
    // The platform's pending operations as one text, entries separated by "|".
    std::string Pending() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionKey, 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS) {
            return "";
        }
        std::vector<char> data(8192);
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG status = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return "";
        }
        std::string text;
        for (DWORD i = 0; i + 1 < size; ++i) {
            text += data[i] ? data[i] : '|';
        }
        return text;
    }
};

TEST_F(PendingRenamesTest, RenameLinesAreHandedOverAndLeaveTheFile) {
    const std::string target = TempFile("vt-pending-target.dll");
    WriteFileText(wininit, "[boot]\r\nx=1\r\n[rename]\r\nNUL=" + fileA + "\r\n" + target + "=" +
                               fileB + "\r\n");
    EXPECT_TRUE(TransferPendingRenames(wininit.c_str()));
    const std::string pending = Pending();
    EXPECT_NE(pending.find(fileA + "||"), std::string::npos) << pending;
    EXPECT_NE(pending.find(fileB + "|!\\??\\" + target), std::string::npos) << pending;
    // Handed over once: the section is gone, the rest of the file stays.
    char section[256];
    EXPECT_EQ(GetPrivateProfileSectionA("rename", section, sizeof(section), wininit.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("boot", "x", 0, wininit.c_str()), 1u);
}

TEST_F(PendingRenamesTest, AMalformedLineKeepsTheSection) {
    WriteFileText(wininit, "[rename]\r\nNUL=" + fileA + "\r\nnonsense\r\n");
    EXPECT_FALSE(TransferPendingRenames(wininit.c_str()));
    char section[512];
    EXPECT_GT(GetPrivateProfileSectionA("rename", section, sizeof(section), wininit.c_str()), 0u);
    // No WININIT.INI at all: nothing to do.
    DeleteFileA(wininit.c_str());
    EXPECT_TRUE(TransferPendingRenames(wininit.c_str()));
}

} // namespace
