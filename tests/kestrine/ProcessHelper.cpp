// A child program for the process-action scenarios.
//
//   kestrine_process_helper exit CODE       ends at once with CODE (decimal or 0x...)
//   kestrine_process_helper run             runs until it is ended from outside
//   kestrine_process_helper window closes   a top-level window that ends the
//                                           program on WM_CLOSE
//   kestrine_process_helper window ignores  a top-level window that stays on WM_CLOSE
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

bool gIgnoreClose = false;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        if (!gIgnoreClose)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int runWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KestrineProcessHelper";
    if (RegisterClassW(&windowClass) == 0)
        return 10;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Kestrine process helper",
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 11;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2)
        return 2;
    int result = 2;
    if (std::wcscmp(arguments[1], L"exit") == 0 && count == 3) {
        UINT code = UINT(std::wcstoul(arguments[2], nullptr, 0));
        LocalFree(arguments);
        ExitProcess(code);
    } else if (std::wcscmp(arguments[1], L"run") == 0) {
        for (;;)
            Sleep(1000);
    } else if (std::wcscmp(arguments[1], L"window") == 0 && count == 3) {
        gIgnoreClose = std::wcscmp(arguments[2], L"ignores") == 0;
        if (gIgnoreClose || std::wcscmp(arguments[2], L"closes") == 0)
            result = runWindow();
    }
    LocalFree(arguments);
    return result;
}
