// What the built files say about themselves, read back as the system reads them: the version
// resource of every file we ship, the program's manifest and icon, and where the process
// loads code from.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "hostutil.h"
#include "plugins.h"
#include "test_host.h"
#include "utilities.h"

namespace {

struct ShippedFile {
    const char* name;
    DWORD type;  // VFT_APP or VFT_DLL
    const char* product;
    const char* description;
};

void PrintTo(const ShippedFile& file, std::ostream* out) { *out << file.name; }

const ShippedFile kShippedFiles[] = {
    {"scenehost.exe", VFT_APP, "Scene Host", "Scene Host"},
    {"core.dll", VFT_DLL, "Scene Host", "Scene Host core library"},
    {"hostutil.dll", VFT_DLL, "Scene Host", "Scene Host utility library"},
    {"tarnwick.dlu", VFT_DLL, "Find/Replace Properties", "Find/Replace Properties utility"},
    {"belvost.dlu", VFT_DLL, "User Properties Editor", "User Properties Editor utility"},
};

std::string ProgramFile(const char* name) { return ModuleFolder() + name; }

class VersionResource : public testing::TestWithParam<ShippedFile> {
protected:
    void SetUp() override
    {
        const std::string path = ProgramFile(GetParam().name);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << path << " has no version resource";
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    }
    std::string Value(const char* name)
    {
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
        char* text = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&text), &length))
            return "(none)";
        return std::string(text, length && !text[length - 1] ? length - 1 : length);
    }
    std::vector<char> data;
};

TEST_P(VersionResource, NamesTheFileAndTheBuildsVersion)
{
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(VERSION_MINOR, VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, GetParam().type);

    EXPECT_EQ(Value("FileVersion"), VERSION_TEXT);
    EXPECT_EQ(Value("ProductVersion"), VERSION_TEXT);
    EXPECT_EQ(Value("OriginalFilename"), GetParam().name);
    EXPECT_EQ(Value("ProductName"), GetParam().product);
    EXPECT_EQ(Value("FileDescription"), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(EveryShippedFile, VersionResource, testing::ValuesIn(kShippedFiles));

// The program's manifest as the system's activation context makes of it.
class ProgramManifest : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = ProgramFile("scenehost.exe");
        ACTCTXA manifest = {};
        manifest.cbSize = sizeof manifest;
        manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        manifest.lpSource = path.c_str();
        manifest.lpResourceName = MAKEINTRESOURCEA(1);
        context = CreateActCtxA(&manifest);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    }
    void TearDown() override
    {
        if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
    }
    std::wstring Setting(const wchar_t* space, const wchar_t* name)
    {
        wchar_t value[200] = L"";
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, context, space, name, value, 200, &written)) return L"(none)";
        return value;
    }
    // What QueryActCtxW tells of the context, in a buffer of the size it asks for.
    std::vector<char> Query(ULONG what, DWORD* index = nullptr)
    {
        SIZE_T size = 0;
        QueryActCtxW(0, context, index, what, nullptr, 0, &size);
        std::vector<char> buffer(size);
        if (size && !QueryActCtxW(0, context, index, what, buffer.data(), size, nullptr))
            buffer.clear();
        return buffer;
    }
    HANDLE context = INVALID_HANDLE_VALUE;
};

const wchar_t kSettings2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
const wchar_t kSettings2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
const wchar_t kSettings2019[] = L"http://schemas.microsoft.com/SMI/2019/WindowsSettings";

TEST_F(ProgramManifest, DeclaresDpiAwarenessLongPathsAndUtf8)
{
    const struct {
        const wchar_t* space;
        const wchar_t* name;
        const wchar_t* value;
    } cases[] = {
        {kSettings2016, L"dpiAwareness", L"PerMonitorV2, System"},
        {kSettings2005, L"dpiAware", L"true"},
        {kSettings2016, L"longPathAware", L"true"},
        {kSettings2019, L"activeCodePage", L"UTF-8"},
    };
    for (const auto& c : cases) EXPECT_EQ(Setting(c.space, c.name), c.value) << c.name;
}

TEST_F(ProgramManifest, DependsOnTheCommonControlsOfVersion6)
{
    const std::vector<char> context = Query(ActivationContextDetailedInformation);
    ASSERT_GE(context.size(), sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION));
    const DWORD count =
        reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(context.data())->ulAssemblyCount;
    std::vector<std::wstring> assemblies;
    for (DWORD index = 1; index <= count; ++index) {
        const std::vector<char> buffer = Query(AssemblyDetailedInformationInActivationContext, &index);
        ASSERT_GE(buffer.size(), sizeof(ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION));
        const auto* assembly =
            reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
        assemblies.push_back(assembly->lpAssemblyEncodedAssemblyIdentity);
    }
    bool found = false;
    for (const std::wstring& identity : assemblies)
        found = found || (identity.find(L"Microsoft.Windows.Common-Controls") != std::wstring::npos &&
                          identity.find(L"version=\"6.") != std::wstring::npos);
    EXPECT_TRUE(found) << assemblies.size() << " assemblies, none is Common-Controls 6";
}

TEST_F(ProgramManifest, SupportsWindows10And11)
{
    // The layout of current systems, newer than the MinGW headers': each element ends with
    // the highest version tested.
    struct Element {
        GUID id;
        DWORD type;
        ULONGLONG maxVersionTested;
    };
    struct Compatibility {
        DWORD count;
        Element elements[1];
    };
    const std::vector<char> buffer = Query(CompatibilityInformationInActivationContext);
    ASSERT_GE(buffer.size(), sizeof(Compatibility));
    const auto* compatibility = reinterpret_cast<const Compatibility*>(buffer.data());
    ASSERT_EQ(compatibility->count, 1u);
    const GUID windows10 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    EXPECT_TRUE(IsEqualGUID(compatibility->elements[0].id, windows10));
    EXPECT_EQ(compatibility->elements[0].type, static_cast<DWORD>(ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS));
}

// This test program carries the same manifest as the program: what it declares is in force.
TEST(ProgramManifestInForce, Utf8CodePageVisualStylesAndPerMonitorDpi)
{
    EXPECT_EQ(GetACP(), 65001u);

    HWND field = CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(SendMessageA(field, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(L"cue")))
        << "the field is not a control of Common-Controls 6";
    DestroyWindow(field);

    using GetThreadContext = HANDLE(WINAPI*)();
    using AwarenessOf = int(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto threadContext = reinterpret_cast<GetThreadContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto awarenessOf = reinterpret_cast<AwarenessOf>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    ASSERT_TRUE(threadContext && awarenessOf);
    const int kPerMonitorAware = 2;
    EXPECT_EQ(awarenessOf(threadContext()), kPerMonitorAware);
}

// The plug-ins' floaters are made of the same controls as the program's own windows.
TEST(ProgramManifestInForce, PluginFloatersGetTheSameVisualStyles)
{
    HWND own = CreateWindowExA(0, "BUTTON", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    const LONG_PTR styled = GetClassLongPtrA(own, GCLP_HMODULE);
    DestroyWindow(own);
    EXPECT_NE(styled, reinterpret_cast<LONG_PTR>(GetModuleHandleA("user32.dll")))
        << "the program's own button is not of Common-Controls 6";

    const struct {
        const char* file;
        const char* caption;
        int button;
    } floaters[] = {{"tarnwick.dlu", "Find/Replace Properties", 1002},
                    {"belvost.dlu", "User Properties", 1000}};
    TestHost& host = TestHost::Get();
    for (const auto& floater : floaters) {
        host.Load(floater.file);
        UtilityObject* utility = host.Utility(floater.file);
        utility->Activate(&host.Core(), &host.Panel());
        SendMessageA(GetDlgItem(host.Core().PanelPage(0), 1001), BM_CLICK, 0, 0);
        HWND window = FindTopWindow(floater.caption);
        ASSERT_NE(window, nullptr) << floater.caption;
        EXPECT_EQ(GetClassLongPtrA(GetDlgItem(window, floater.button), GCLP_HMODULE), styled)
            << floater.caption;
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        utility->Deactivate(&host.Core(), &host.Panel());
        PumpMessages();
    }
}

// The list controls of Common-Controls 6 take only UTF-16; their items read back whole and
// unchanged in the program's code page, however long.
TEST(ProgramManifestInForce, ListAndComboItemsReadBackWholeAtAnyLength)
{
    const std::string texts[] = {"", "Lamp", "Gr\xC3\xB6\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC",
                                 std::string(511, 'x'), std::string(100000, ' ') + "Deepest"};
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_HASSTRINGS, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (const std::string& text : texts) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    const int count = static_cast<int>(sizeof texts / sizeof texts[0]);
    for (int i = 0; i < count; ++i) {
        CStr item;
        EXPECT_TRUE(ListBoxItemText(list, i, item)) << i;
        EXPECT_TRUE(texts[i] == item.data()) << "list item " << i;
        EXPECT_TRUE(ComboBoxItemText(combo, i, item)) << i;
        EXPECT_TRUE(texts[i] == item.data()) << "combo item " << i;
    }
    CStr none("x");
    EXPECT_FALSE(ListBoxItemText(list, count, none));
    EXPECT_STREQ(none.data(), "");
    DestroyWindow(list);
    DestroyWindow(combo);
}

TEST(ProgramIcon, HasEverySizeTheSystemShowsFrom96To192Dpi)
{
    HMODULE program = LoadLibraryExA(ProgramFile("scenehost.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    const int kIconId = 102;
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(kIconId), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr) << "no icon " << kIconId;
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(program, found)));
    // The group's header (3 words), then 14 bytes per image: width first, 0 for 256.
    const int count = group[4] | group[5] << 8;
    std::set<int> sizes;
    for (int i = 0; i < count; ++i) sizes.insert(group[6 + 14 * i] ? group[6 + 14 * i] : 256);
    for (int size : {16, 20, 24, 32, 40, 48, 64, 256})
        EXPECT_EQ(sizes.count(size), 1u) << size << " pixels";
    FreeLibrary(program);
}

// A DLL in the current folder is never loaded in place of one the program means.
TEST(DllSearch, SkipsTheCurrentFolderAndLoadsPluginsByTheirFullPath)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "scenehost-dllsearch\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string probe = folder + "cwdprobe.dll";
    ASSERT_TRUE(CopyFileA((ModuleFolder() + "testmodules\\frametest.dlu").c_str(), probe.c_str(),
                          FALSE));
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    SetCurrentDirectoryA(folder.c_str());

    RestrictDllSearch();
    EXPECT_EQ(LoadLibraryA("cwdprobe.dll"), nullptr) << "loaded from the current folder";
    HMODULE byPath = LoadLibraryA(probe.c_str());
    EXPECT_NE(byPath, nullptr) << "the probe itself cannot be loaded";
    if (byPath) FreeLibrary(byPath);

    // A plug-in named relative to the current folder is loaded by its full path.
    SetCurrentDirectoryA(ModuleFolder().c_str());
    PluginModule plugin;
    CStr error;
    EXPECT_TRUE(LoadPluginModule("testmodules\\frametest.dlu", plugin, error)) << error.data();
    EXPECT_EQ(std::string(plugin.path.data()), ModuleFolder() + "testmodules\\frametest.dlu");

    SetCurrentDirectoryA(before);
    DeleteFileA(probe.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
