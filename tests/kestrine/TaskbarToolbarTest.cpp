// ToolbarEnabler through Kestrine.dll's export against a taskbar of this test
// process: Wine has none, so a second thread plays the shell with a
// "Shell_TrayWnd" window, its "ReBarWindow32" child, and a real popup menu
// opened on WM_CONTEXTMENU whose first submenu lists the toolbars. Picking a
// toolbar's item toggles its tick, as the shell does.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PluginCalls.h"

using kestrine::test::PluginModule;
using kestrine::test::callWithPushed;
using qln::test::ImportPatch;

namespace {

const wchar_t kTitle[] = L"Tavrel Quennix Toolbox";
const UINT kFirstToolbarCommand = 100;

struct ToolbarItem {
    std::wstring text;
    bool checked;
};

// What the fake shell shows.
struct TaskbarLayout {
    bool rebar = true;
    bool opensMenu = true;
    // False: the context menu's first item is a command, not the toolbar list.
    bool toolbarListFirst = true;
    std::vector<ToolbarItem> toolbars;
};

class FakeTaskbar {
public:
    explicit FakeTaskbar(const TaskbarLayout& layout) : layout_(layout) {
        std::promise<bool> ready;
        std::future<bool> created = ready.get_future();
        thread_ = std::thread([this, &ready] { run(ready); });
        ok_ = created.get();
    }

    ~FakeTaskbar() {
        if (tray_ != nullptr)
            PostMessageW(tray_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    bool ok() const { return ok_; }

    // Waits until every menu the shell opened is closed again; false when
    // one stays open.
    bool waitForClosedMenus() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5),
                                 [this] { return menusClosed_ == menusOpened_; });
    }
    int menusOpened() {
        std::lock_guard<std::mutex> lock(mutex_);
        return menusOpened_;
    }
    // Positions of the toolbar items picked, in order.
    std::vector<int> picked() {
        std::lock_guard<std::mutex> lock(mutex_);
        return picked_;
    }
    bool checked(std::size_t position) {
        std::lock_guard<std::mutex> lock(mutex_);
        return layout_.toolbars[position].checked;
    }

private:
    static LRESULT CALLBACK trayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static LRESULT CALLBACK rebarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        FakeTaskbar* self =
            reinterpret_cast<FakeTaskbar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_CONTEXTMENU && self != nullptr) {
            self->openMenu();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    // The classes live only as long as this taskbar. "ReBarWindow32" is also
    // comctl32's class, and comctl32 comes and goes with the plug-in's imports
    // (msi.dll) in each test; as it unloads it unregisters its rebar class by
    // name alone, which under Wine takes this process's own class of that name
    // with it. A registration kept from an earlier test would then leave the
    // next taskbar with comctl32's rebar, which opens no menu.
    static bool registerClasses() {
        WNDCLASSW tray = {};
        tray.lpfnWndProc = &trayProc;
        tray.hInstance = GetModuleHandleW(nullptr);
        tray.lpszClassName = L"Shell_TrayWnd";
        WNDCLASSW rebar = tray;
        rebar.lpfnWndProc = &rebarProc;
        rebar.lpszClassName = L"ReBarWindow32";
        if (RegisterClassW(&tray) == 0)
            return false;
        if (RegisterClassW(&rebar) == 0) {
            UnregisterClassW(L"Shell_TrayWnd", GetModuleHandleW(nullptr));
            return false;
        }
        return true;
    }

    static void unregisterClasses() {
        UnregisterClassW(L"ReBarWindow32", GetModuleHandleW(nullptr));
        UnregisterClassW(L"Shell_TrayWnd", GetModuleHandleW(nullptr));
    }

    void run(std::promise<bool>& ready) {
        if (!registerClasses()) {
            ready.set_value(false);
            return;
        }
        tray_ = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 800, 40, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        if (tray_ != nullptr && layout_.rebar) {
            rebar_ = CreateWindowExW(0, L"ReBarWindow32", L"", WS_CHILD, 0, 0, 800, 40, tray_,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
            if (rebar_ != nullptr)
                SetWindowLongPtrW(rebar_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
        // A rebar of another class would swallow the context menu request.
        bool ownRebar = rebar_ != nullptr && GetWindowLongPtrW(rebar_, GWLP_WNDPROC) ==
                                                 reinterpret_cast<LONG_PTR>(&rebarProc);
        bool ok = tray_ != nullptr && (ownRebar || !layout_.rebar);
        ready.set_value(ok);
        if (ok) {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        } else if (tray_ != nullptr) {
            DestroyWindow(tray_);
        }
        unregisterClasses();
    }

    void openMenu() {
        if (!layout_.opensMenu)
            return;
        HMENU menu = CreatePopupMenu();
        HMENU toolbars = CreatePopupMenu();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (std::size_t i = 0; i < layout_.toolbars.size(); ++i)
                AppendMenuW(toolbars, MF_STRING | (layout_.toolbars[i].checked ? MF_CHECKED : 0),
                            kFirstToolbarCommand + i, layout_.toolbars[i].text.c_str());
            ++menusOpened_;
        }
        if (layout_.toolbarListFirst) {
            AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(toolbars), L"Toolbars");
            AppendMenuW(menu, MF_STRING, 1, L"Lock the taskbar");
        } else {
            AppendMenuW(menu, MF_STRING, 1, L"Lock the taskbar");
            AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(toolbars), L"Toolbars");
        }
        AppendMenuW(menu, MF_STRING, 2, L"Properties");
        UINT command = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 10, 10, 0, tray_,
                                           nullptr));
        DestroyMenu(menu);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (command >= kFirstToolbarCommand &&
                command < kFirstToolbarCommand + layout_.toolbars.size()) {
                std::size_t position = command - kFirstToolbarCommand;
                picked_.push_back(int(position));
                layout_.toolbars[position].checked = !layout_.toolbars[position].checked;
            }
            ++menusClosed_;
        }
        changed_.notify_all();
    }

    TaskbarLayout layout_;
    std::thread thread_;
    HWND tray_ = nullptr;
    HWND rebar_ = nullptr;
    bool ok_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    int menusOpened_ = 0;
    int menusClosed_ = 0;
    std::vector<int> picked_;
};

// Keys posted to a null window land in the caller's own queue; none may.
bool keysInOwnQueue() {
    MSG message;
    bool found = false;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        found = true;
    return found;
}

class ToolbarEnabler : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr)
            << "a taskbar of the system is running";
        keysInOwnQueue();
    }

    std::vector<std::wstring> enable(const std::wstring& word) {
        return callWithPushed(plugin_, "ToolbarEnabler", {word});
    }

    PluginModule plugin_;
};

std::vector<ToolbarItem> toolbarsWithTitle(bool checked) {
    return {{L"Address", false}, {L"Links", true}, {kTitle, checked}, {L"Desktop", false}};
}

}  // namespace

// "hide" picks the ticked item by its position and the shell unticks it; on
// an unticked item nothing is picked and the menu is closed again. "show"
// first runs that pass, then picks the item when it is unticked: a shown
// toolbar is hidden and shown again, a hidden one is shown after a first pass
// that leaves its own text below the result.
TEST_F(ToolbarEnabler, PassesOverTickedAndUntickedItems) {
    struct Case {
        const wchar_t* word;
        bool checked;
        std::vector<std::wstring> pushed;
        int menus;
        std::vector<int> picked;
        bool checkedAfter;
    } const cases[] = {
        {L"hide", true, {L"Toolbar operation successful", L"below"}, 1, {2}, false},
        {L"hide", false, {L"Menu item already unselected", L"below"}, 1, {}, false},
        {L"show", true, {L"Toolbar operation successful", L"below"}, 2, {2, 2}, true},
        {L"show",
         false,
         {L"Toolbar operation successful", L"Menu item already unselected", L"below"},
         2,
         {2},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.word)) +
                     (c.checked ? " ticked" : " unticked"));
        TaskbarLayout layout;
        layout.toolbars = toolbarsWithTitle(c.checked);
        FakeTaskbar taskbar(layout);
        ASSERT_TRUE(taskbar.ok());
        EXPECT_EQ(enable(c.word), c.pushed);
        EXPECT_TRUE(taskbar.waitForClosedMenus()) << "a menu stays open";
        EXPECT_EQ(taskbar.menusOpened(), c.menus);
        EXPECT_EQ(taskbar.picked(), c.picked);
        EXPECT_EQ(taskbar.checked(2), c.checkedAfter);
        EXPECT_FALSE(keysInOwnQueue());
    }
}

// The item is found by its whole text, in its letter case; a longer text is
// read cut and never taken for the title. Every pass that finds no item
// closes the menu it opened.
TEST_F(ToolbarEnabler, ItemIsFoundByItsExactTitle) {
    const std::wstring longTitle = std::wstring(kTitle) + std::wstring(200, L'x');
    struct Case {
        const char* what;
        std::vector<ToolbarItem> toolbars;
        bool toolbarListFirst;
        const wchar_t* pushed;
        std::vector<int> picked;
    } const cases[] = {
        {"the title after a longer text that begins with it",
         {{longTitle, true}, {L"Links", true}, {kTitle, true}},
         true,
         L"Toolbar operation successful",
         {2}},
        {"the title at the first position", {{kTitle, true}, {L"Links", true}}, true,
         L"Toolbar operation successful", {0}},
        {"only a longer text", {{longTitle, true}}, true, L"Didn't find toolbar: closing window",
         {}},
        {"the title in other letter case", {{L"Tavrel quennix toolbox", true}}, true,
         L"Didn't find toolbar: closing window", {}},
        {"the title with a trailing blank", {{std::wstring(kTitle) + L" ", true}}, true,
         L"Didn't find toolbar: closing window", {}},
        {"an empty toolbar list", {}, true, L"Didn't find toolbar: closing window", {}},
        {"the toolbar list not first", {{kTitle, true}}, false,
         L"Didn't find toolbar: closing window", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TaskbarLayout layout;
        layout.toolbars = c.toolbars;
        layout.toolbarListFirst = c.toolbarListFirst;
        FakeTaskbar taskbar(layout);
        ASSERT_TRUE(taskbar.ok());
        EXPECT_EQ(enable(L"hide"), (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_TRUE(taskbar.waitForClosedMenus()) << "the menu stays open";
        EXPECT_EQ(taskbar.menusOpened(), 1);
        EXPECT_EQ(taskbar.picked(), c.picked);
    }
}

// Without the shell's windows, or without its menu, nothing is posted to a
// window that is not there; "show" leaves the texts of both passes.
TEST_F(ToolbarEnabler, MissingShellWindows) {
    {
        SCOPED_TRACE("no taskbar");
        EXPECT_EQ(enable(L"hide"),
                  (std::vector<std::wstring>{L"Could not find the Shell_TrayWnd window.",
                                             L"below"}));
        EXPECT_EQ(enable(L"show"),
                  (std::vector<std::wstring>{L"Could not find the Shell_TrayWnd window.",
                                             L"Could not find the Shell_TrayWnd window.",
                                             L"below"}));
    }
    {
        SCOPED_TRACE("no rebar");
        TaskbarLayout layout;
        layout.rebar = false;
        FakeTaskbar taskbar(layout);
        ASSERT_TRUE(taskbar.ok());
        EXPECT_EQ(enable(L"hide"),
                  (std::vector<std::wstring>{L"Could not find the ReBarWindow32 window.",
                                             L"below"}));
    }
    {
        SCOPED_TRACE("no context menu");
        TaskbarLayout layout;
        layout.opensMenu = false;
        FakeTaskbar taskbar(layout);
        ASSERT_TRUE(taskbar.ok());
        EXPECT_EQ(enable(L"hide"),
                  (std::vector<std::wstring>{L"Didn't find toolbar: closing window", L"below"}));
        EXPECT_FALSE(keysInOwnQueue()) << "keys posted to no window";
    }
}

// The action word is compared exactly; another word opens no menu.
TEST_F(ToolbarEnabler, UnknownWordTouchesNoMenu) {
    TaskbarLayout layout;
    layout.toolbars = toolbarsWithTitle(true);
    FakeTaskbar taskbar(layout);
    ASSERT_TRUE(taskbar.ok());
    for (const wchar_t* word : {L"Show", L"HIDE", L"show ", L"", L"toggle"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(word)));
        EXPECT_EQ(enable(word),
                  (std::vector<std::wstring>{L"ToolbarEnabler failed, unknown action", L"below"}));
    }
    Sleep(100);
    EXPECT_EQ(taskbar.menusOpened(), 0);
}

namespace {
UINT WINAPI fakeInvalidMenuState(HMENU, UINT, UINT) { return UINT(-1); }
}  // namespace

// A state the menu cannot give ends the pass with its own text.
TEST_F(ToolbarEnabler, InvalidMenuStateClosesTheMenu) {
    ImportPatch patch(plugin_.handle(), "user32.dll", "GetMenuState",
                      reinterpret_cast<void*>(&fakeInvalidMenuState));
    ASSERT_TRUE(patch.applied());
    TaskbarLayout layout;
    layout.toolbars = toolbarsWithTitle(true);
    FakeTaskbar taskbar(layout);
    ASSERT_TRUE(taskbar.ok());
    EXPECT_EQ(enable(L"hide"), (std::vector<std::wstring>{L"Invalid menu state", L"below"}));
    EXPECT_TRUE(taskbar.waitForClosedMenus()) << "the menu stays open";
    EXPECT_TRUE(taskbar.picked().empty());
    EXPECT_TRUE(taskbar.checked(2));
}

namespace {
// The import that the fakes below spoil once and then pass on to.
void* g_unspoiled = nullptr;
int g_spoiledCalls = 0;

UINT WINAPI fakeStateUnreadableOnce(HMENU menu, UINT item, UINT flags) {
    if (g_spoiledCalls++ == 0)
        return UINT(-1);
    return reinterpret_cast<decltype(&GetMenuState)>(g_unspoiled)(menu, item, flags);
}

// The menu window is there but has no menu yet.
LRESULT WINAPI fakeNoMenuOnce(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MN_GETHMENU && g_spoiledCalls++ == 0)
        return 0;
    return reinterpret_cast<decltype(&SendMessageW)>(g_unspoiled)(window, message, wParam,
                                                                   lParam);
}
}  // namespace

// A first pass of "show" that picks nothing leaves the toolbar as it was; the
// second pass then picks the item only when it is unticked, and a ticked one,
// the toolbar shown already, it leaves alone and closes the menu.
TEST_F(ToolbarEnabler, ShowAfterAFailedFirstPassKeepsTheToolbarShown) {
    struct Case {
        const char* what;
        const char* import;
        void* fake;
        bool checked;
        std::vector<std::wstring> pushed;
        std::vector<int> picked;
    } const cases[] = {
        {"state unreadable, ticked", "GetMenuState",
         reinterpret_cast<void*>(&fakeStateUnreadableOnce), true,
         {L"Toolbar operation successful", L"Invalid menu state", L"below"}, {}},
        {"no menu yet, ticked", "SendMessageW", reinterpret_cast<void*>(&fakeNoMenuOnce), true,
         {L"Toolbar operation successful", L"Didn't find toolbar: closing window", L"below"},
         {}},
        {"state unreadable, unticked", "GetMenuState",
         reinterpret_cast<void*>(&fakeStateUnreadableOnce), false,
         {L"Toolbar operation successful", L"Invalid menu state", L"below"}, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImportPatch patch(plugin_.handle(), "user32.dll", c.import, c.fake);
        ASSERT_TRUE(patch.applied());
        g_unspoiled = patch.original();
        g_spoiledCalls = 0;
        TaskbarLayout layout;
        layout.toolbars = toolbarsWithTitle(c.checked);
        FakeTaskbar taskbar(layout);
        ASSERT_TRUE(taskbar.ok());
        EXPECT_EQ(enable(L"show"), c.pushed);
        EXPECT_TRUE(taskbar.waitForClosedMenus()) << "a menu stays open";
        EXPECT_EQ(taskbar.menusOpened(), 2);
        EXPECT_EQ(taskbar.picked(), c.picked);
        EXPECT_TRUE(taskbar.checked(2));
        EXPECT_FALSE(keysInOwnQueue());
    }
}
