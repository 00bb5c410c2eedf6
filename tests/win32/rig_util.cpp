/*
 * Process, message-box and registry helpers of the Win32 test programs.
 * Message boxes are found by polling the process's top-level windows; their
 * icon is told by its pixels, read back from the screen and compared with the
 * system icons drawn on the same background (icon handles of another process
 * cannot be inspected from here).
 */
#include "rig_util.h"

#include <vector>

#define POLL_MS 20

bool RigStart(const char *commandLine, RigProcess *process, WORD showWindow, const char *application)
{
    STARTUPINFOW startup;
    PROCESS_INFORMATION info;
    std::wstring wideLine = RigWide(commandLine);
    std::vector<wchar_t> line(wideLine.c_str(), wideLine.c_str() + wideLine.size() + 1);
    std::wstring wideApplication = application ? RigWide(application) : std::wstring();

    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (showWindow != RIG_DEFAULT_SHOW) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showWindow;
    }
    process->process = NULL;
    process->pid = 0;
    if (!CreateProcessW(application ? wideApplication.c_str() : NULL, line.data(), NULL, NULL, FALSE, 0, NULL,
                        NULL, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process->process = info.hProcess;
    process->pid = info.dwProcessId;
    return true;
}

bool RigWaitExit(RigProcess *process, DWORD timeoutMs, DWORD *exitCode)
{
    if (process->process == NULL)
        return false;
    if (WaitForSingleObject(process->process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(process->process, exitCode);
    CloseHandle(process->process);
    process->process = NULL;
    return true;
}

void RigKill(RigProcess *process)
{
    if (process->process) {
        TerminateProcess(process->process, 0xDEAD);
        WaitForSingleObject(process->process, 5000);
        CloseHandle(process->process);
        process->process = NULL;
    }
}

bool RigRunAndWait(const char *commandLine, DWORD timeoutMs, DWORD *exitCode)
{
    RigProcess process;
    if (!RigStart(commandLine, &process))
        return false;
    if (RigWaitExit(&process, timeoutMs, exitCode))
        return true;
    RigKill(&process);
    return false;
}

struct FindState {
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM param)
{
    FindState *state = (FindState *)param;
    DWORD pid = 0;
    char className[64];

    GetWindowThreadProcessId(window, &pid);
    if (pid != state->pid || !IsWindowVisible(window))
        return TRUE;
    if (GetClassNameA(window, className, sizeof className) && strcmp(className, "#32770") == 0) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

static std::string WindowText(HWND window)
{
    char text[2048];
    /* WM_GETTEXT works across processes; GetWindowText would not ask them. */
    LRESULT length = SendMessageA(window, WM_GETTEXT, sizeof text, (LPARAM)text);
    return std::string(text, length > 0 ? (size_t)length : 0);
}

struct IconSearch {
    HWND icon;
    HWND text;
};

static BOOL CALLBACK FindStatics(HWND child, LPARAM param)
{
    IconSearch *search = (IconSearch *)param;
    char className[32];
    LONG style = GetWindowLongA(child, GWL_STYLE);

    if (!GetClassNameA(child, className, sizeof className) || lstrcmpiA(className, "Static") != 0)
        return TRUE;
    if ((style & SS_TYPEMASK) == SS_ICON) {
        /* A box without icon may keep an empty icon control. */
        if (IsWindowVisible(child) && SendMessageA(child, STM_GETICON, 0, 0) != 0)
            search->icon = child;
    } else if (search->text == NULL || GetDlgCtrlID(child) == 0xFFFF) {
        search->text = child;
    }
    return TRUE;
}

/* A top-down 32-bit DIB section selected into a memory DC. */
struct Canvas {
    HDC screen, memory;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD *bits;
};

static void CanvasOpen(Canvas *canvas, int width, int height)
{
    BITMAPINFO info;
    void *bits = NULL;

    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    canvas->screen = GetDC(NULL);
    canvas->memory = CreateCompatibleDC(canvas->screen);
    canvas->bitmap = CreateDIBSection(canvas->screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    canvas->old = SelectObject(canvas->memory, canvas->bitmap);
    canvas->bits = (DWORD *)bits;
}

/* Copies the canvas's pixels out and releases it. */
static void CanvasClose(Canvas *canvas, std::vector<DWORD> *pixels)
{
    GdiFlush();
    memcpy(pixels->data(), canvas->bits, pixels->size() * sizeof(DWORD));
    SelectObject(canvas->memory, canvas->old);
    DeleteObject(canvas->bitmap);
    DeleteDC(canvas->memory);
    ReleaseDC(NULL, canvas->screen);
}

/* Pixels of a screen rectangle, top-down 32-bit. */
static std::vector<DWORD> CaptureScreen(const RECT &rect)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    std::vector<DWORD> pixels((size_t)width * height);
    Canvas canvas;

    CanvasOpen(&canvas, width, height);
    BitBlt(canvas.memory, 0, 0, width, height, canvas.screen, rect.left, rect.top, SRCCOPY);
    CanvasClose(&canvas, &pixels);
    return pixels;
}

/* The system icon drawn at the top left of a width x height field of the
 * given background colour (top-down 32-bit pixels). */
static std::vector<DWORD> RenderIcon(LPCSTR id, int width, int height, DWORD background)
{
    std::vector<DWORD> pixels((size_t)width * height, background);
    Canvas canvas;

    CanvasOpen(&canvas, width, height);
    memcpy(canvas.bits, pixels.data(), pixels.size() * sizeof(DWORD));
    DrawIcon(canvas.memory, 0, 0, LoadIconA(NULL, id));
    CanvasClose(&canvas, &pixels);
    return pixels;
}

static RigIcon ClassifyIcon(HWND iconWindow)
{
    static const struct {
        LPCSTR id;
        RigIcon icon;
    } candidates[] = {
        {IDI_EXCLAMATION, RIG_ICON_EXCLAMATION},
        {IDI_ASTERISK, RIG_ICON_INFORMATION},
        {IDI_HAND, RIG_ICON_HAND},
        {IDI_QUESTION, RIG_ICON_QUESTION},
    };
    RECT rect;
    GetWindowRect(iconWindow, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return RIG_ICON_NONE;
    std::vector<DWORD> shown = CaptureScreen(rect);
    DWORD background = shown[(size_t)width * height - 1] & 0xFFFFFF;
    RigIcon best = RIG_ICON_UNKNOWN;
    size_t bestDifferent = shown.size() / 20 + 1;   /* at most 5 % may differ */
    for (const auto &candidate : candidates) {
        std::vector<DWORD> drawn = RenderIcon(candidate.id, width, height, background);
        size_t different = 0;
        for (size_t i = 0; i < shown.size(); i++)
            different += (shown[i] & 0xFFFFFF) != (drawn[i] & 0xFFFFFF);
        if (different < bestDifferent) {
            bestDifferent = different;
            best = candidate.icon;
        }
    }
    return best;
}

RigImage RigCaptureWindow(HWND window)
{
    RigImage image = {0, 0, {}};
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return image;
    image.width = rect.right - rect.left;
    image.height = rect.bottom - rect.top;
    /* Bounded: capture until two captures agree, so painting has finished. */
    std::vector<DWORD> previous;
    for (int i = 0; i < 50; i++) {
        image.pixels = CaptureScreen(rect);
        if (image.pixels == previous)
            break;
        previous = image.pixels;
        Sleep(POLL_MS * 5);
    }
    return image;
}

DWORD RigRgb(COLORREF colour)
{
    return (DWORD)GetRValue(colour) << 16 | (DWORD)GetGValue(colour) << 8 | GetBValue(colour);
}

bool RigSaveBmp(const std::string &path, const RigImage &image)
{
    int rowBytes = (image.width * 3 + 3) & ~3;
    std::string bytes(14 + 40 + (size_t)rowBytes * image.height, '\0');
    BITMAPFILEHEADER *file = (BITMAPFILEHEADER *)&bytes[0];
    BITMAPINFOHEADER *info = (BITMAPINFOHEADER *)&bytes[14];
    file->bfType = 0x4D42;
    file->bfSize = (DWORD)bytes.size();
    file->bfOffBits = 14 + 40;
    info->biSize = 40;
    info->biWidth = image.width;
    info->biHeight = image.height;
    info->biPlanes = 1;
    info->biBitCount = 24;
    for (int y = 0; y < image.height; y++) {
        unsigned char *row = (unsigned char *)&bytes[54 + (size_t)rowBytes * (image.height - 1 - y)];
        for (int x = 0; x < image.width; x++) {
            DWORD p = image.At(x, y);
            row[3 * x] = (unsigned char)p;
            row[3 * x + 1] = (unsigned char)(p >> 8);
            row[3 * x + 2] = (unsigned char)(p >> 16);
        }
    }
    return RigWriteFile(path, bytes);
}

bool RigFindMessageBox(const RigProcess *process, DWORD timeoutMs, RigMessageBox *box)
{
    DWORD start = GetTickCount();
    FindState state = {process->pid, NULL};

    for (;;) {
        EnumWindows(FindDialogOfProcess, (LPARAM)&state);
        if (state.found)
            break;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(POLL_MS);
    }
    box->window = state.found;
    box->title = WindowText(state.found);
    IconSearch search = {NULL, NULL};
    EnumChildWindows(state.found, FindStatics, (LPARAM)&search);
    box->text = search.text ? WindowText(search.text) : std::string();
    /* Let the box finish painting before its pixels are read: poll until two
     * captures agree. */
    box->icon = RIG_ICON_NONE;
    if (search.icon) {
        RigIcon previous = RIG_ICON_UNKNOWN;
        for (int i = 0; i < 50; i++) {
            RigIcon now = ClassifyIcon(search.icon);
            if (now == previous && now != RIG_ICON_UNKNOWN)
                break;
            previous = now;
            Sleep(POLL_MS);
        }
        box->icon = previous;
    }
    return true;
}

void RigDismissMessageBox(const RigMessageBox *box)
{
    PostMessageA(box->window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

static DWORD WINAPI RunShow(void *show)
{
    (*(const std::function<void()> *)show)();
    return 0;
}

bool RigReadBoxOnWorker(const std::function<void()> &show, RigMessageBox *box, DWORD timeoutMs)
{
    RigProcess self = {NULL, GetCurrentProcessId()};
    HANDLE thread = CreateThread(NULL, 0, RunShow, (void *)&show, 0, NULL);

    box->window = NULL;
    if (thread == NULL)
        return false;
    bool found = RigFindMessageBox(&self, timeoutMs, box);
    if (found)
        RigDismissMessageBox(box);
    bool ended = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateThread(thread, 0xDEAD);
        WaitForSingleObject(thread, timeoutMs);
    }
    CloseHandle(thread);
    return found && ended;
}

bool RigSetWindowsVersion(const char *exeName, const char *version)
{
    std::string path = std::string("Software\\Wine\\AppDefaults\\") + exeName;
    HKEY key;
    if (version == NULL) {
        LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE *)version,
                                 (DWORD)strlen(version) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::string RigFullPath(const std::string &path)
{
    std::wstring wide = RigWide(path);
    std::vector<wchar_t> full(32768);
    DWORD length = GetFullPathNameW(wide.c_str(), (DWORD)full.size(), full.data(), NULL);
    return length && length < full.size() ? RigUtf8(std::wstring(full.data(), length)) : path;
}

std::wstring RigWide(const std::string &utf8)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
    std::wstring wide((size_t)length, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], length);
    return wide;
}

std::string RigUtf8(const std::wstring &wide)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string utf8((size_t)length, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], length, NULL, NULL);
    return utf8;
}

std::wstring RigFileName(const std::string &path)
{
    /* CreateDirectoryW takes 12 characters fewer than the other calls. */
    std::wstring wide = RigWide(path);
    if (wide.compare(0, 4, L"\\\\?\\") == 0)
        return wide;
    std::wstring full = RigWide(RigFullPath(path));
    return full.size() < MAX_PATH - 12 ? wide : L"\\\\?\\" + full;
}

bool RigMakeFolder(const std::string &path)
{
    std::wstring name = RigFileName(path);
    return CreateDirectoryW(name.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string RigReadFile(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileW(RigFileName(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char block[65536];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, NULL) && got > 0)
        bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

bool RigWriteFile(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileW(RigFileName(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string RigWaitForFile(const std::string &path, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        /* A file that exists may still be unreadable for a moment while the
         * rename that made it completes under Wine: a report is never empty,
         * so keep polling until its bytes can be read. */
        std::string bytes = RigReadFile(path);
        if (!bytes.empty())
            return bytes;
        if (GetTickCount() - start > timeoutMs)
            return std::string();
        Sleep(POLL_MS);
    }
}

bool RigCopyFile(const std::string &from, const std::string &to)
{
    return CopyFileW(RigFileName(from).c_str(), RigFileName(to).c_str(), FALSE) != 0;
}

void *RigReplaceImport(const char *dll, const char *function, void *replacement)
{
    BYTE *base = (BYTE *)GetModuleHandleA(NULL);
    const IMAGE_NT_HEADERS *nt =
        (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (const IMAGE_IMPORT_DESCRIPTOR *d =
             (const IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress);
         d->Name != 0; d++) {
        if (lstrcmpiA((const char *)(base + d->Name), dll) != 0)
            continue;
        const IMAGE_THUNK_DATA *names = (const IMAGE_THUNK_DATA *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME *byName =
                (const IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)byName->Name, function) != 0)
                continue;
            void *previous = (void *)slots->u1.Function;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                           &protection);
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection,
                           &protection);
            return previous;
        }
    }
    return NULL;
}
