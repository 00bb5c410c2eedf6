/*
 * Helpers of the look's Wine tests: templates, pixel capture and re-running
 * this program under an emulated Windows version.
 */
#include "look3d_testutil.h"

static void PushWide(std::vector<WORD> &out, const char *text)
{
    for (const char *p = text ? text : ""; *p; p++)
        out.push_back((WORD)(unsigned char)*p);
    out.push_back(0);
}

static void PushDword(std::vector<WORD> &out, DWORD value)
{
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

static void AlignDword(std::vector<WORD> &out)
{
    if (out.size() % 2 != 0)
        out.push_back(0);
}

std::vector<WORD> L3tBuildTemplate(DWORD style, const char *title, short x, short y,
                                   short cx, short cy, const L3tItem *items, int count,
                                   const char *className)
{
    std::vector<WORD> t;
    PushDword(t, style & ~DS_SETFONT);
    PushDword(t, 0);                    /* extended style */
    t.push_back((WORD)count);
    t.push_back((WORD)x);
    t.push_back((WORD)y);
    t.push_back((WORD)cx);
    t.push_back((WORD)cy);
    t.push_back(0);                     /* no menu */
    if (className)
        PushWide(t, className);
    else
        t.push_back(0);                 /* the system dialog class */
    PushWide(t, title);
    for (int i = 0; i < count; i++) {
        const L3tItem &it = items[i];
        AlignDword(t);
        PushDword(t, it.style);
        PushDword(t, 0);
        t.push_back((WORD)it.x);
        t.push_back((WORD)it.y);
        t.push_back((WORD)it.cx);
        t.push_back((WORD)it.cy);
        t.push_back(it.id);
        if (it.cls != 0) {
            t.push_back(0xFFFF);
            t.push_back(it.cls);
        } else {
            PushWide(t, it.className);
        }
        PushWide(t, it.text);
        t.push_back(0);                 /* no creation data */
    }
    return t;
}

HWND L3tCreateDialog(const std::vector<WORD> &tmpl, DLGPROC proc, LPARAM param, HWND owner)
{
    return CreateDialogIndirectParamA(GetModuleHandleA(NULL),
                                      (LPCDLGTEMPLATEA)tmpl.data(), owner, proc, param);
}

void L3tRepaint(HWND window)
{
    RedrawWindow(window, NULL, NULL,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GalleryPump();
}

uint32_t L3tRgb(COLORREF c)
{
    return ((uint32_t)GetRValue(c) << 16) | ((uint32_t)GetGValue(c) << 8) | GetBValue(c);
}

bool L3tCanvasCreate(L3tCanvas *canvas, int width, int height, COLORREF fill)
{
    BITMAPINFO bi;
    ZeroMemory(&bi, sizeof bi);
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;    /* top-down */
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    canvas->dc = CreateCompatibleDC(NULL);
    canvas->bitmap = CreateDIBSection(canvas->dc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    if (canvas->dc == NULL || canvas->bitmap == NULL)
        return false;
    canvas->previous = SelectObject(canvas->dc, canvas->bitmap);
    canvas->bits = (uint32_t *)bits;
    canvas->width = width;
    canvas->height = height;
    for (int i = 0; i < width * height; i++)
        canvas->bits[i] = L3tRgb(fill);
    return true;
}

void L3tCanvasDestroy(L3tCanvas *canvas)
{
    if (canvas->dc) {
        SelectObject(canvas->dc, canvas->previous);
        DeleteDC(canvas->dc);
    }
    if (canvas->bitmap)
        DeleteObject(canvas->bitmap);
    *canvas = L3tCanvas();
}

L3tImage L3tCaptureNow(HWND window)
{
    L3tImage image;
    RECT r;
    GetWindowRect(window, &r);
    L3tCanvas canvas;
    if (!L3tCanvasCreate(&canvas, r.right - r.left, r.bottom - r.top, 0))
        return image;
    HDC dc = GetWindowDC(window);
    BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    GdiFlush();
    image.width = canvas.width;
    image.height = canvas.height;
    image.pixels.assign(canvas.bits, canvas.bits + (size_t)canvas.width * canvas.height);
    for (uint32_t &p : image.pixels)
        p &= 0xFFFFFF;
    L3tCanvasDestroy(&canvas);
    return image;
}

L3tImage L3tCaptureWindow(HWND window)
{
    GalleryPump();
    L3tImage last = L3tCaptureNow(window);
    for (int attempt = 0; attempt < 20; attempt++) {
        /* Let the display catch up with what was painted. */
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        GalleryPump();
        L3tImage next = L3tCaptureNow(window);
        if (next == last)
            return next;
        last = next;
    }
    return last;
}

std::string L3tBesideExe(const char *name)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return s.substr(0, slash + 1) + name;
}

int L3tRunUnderVersion(const char *version, const char *filter)
{
    std::string arguments = std::string("--gtest_filter=") + filter;
    return GalleryRunUnderVersion(version, arguments.c_str(), 120000);
}

/* ---- a second thread ---------------------------------------------------- */

#define WORKER_TASK (WM_APP + 0x31)

struct WorkerJob {
    L3tTask task;
    void *context;
    HANDLE done;
};

static DWORD WINAPI WorkerMain(LPVOID param)
{
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);   /* make the queue */
    SetEvent((HANDLE)param);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.hwnd == NULL && msg.message == WORKER_TASK) {
            WorkerJob *job = (WorkerJob *)msg.lParam;
            job->task(job->context);
            SetEvent(job->done);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

bool L3tWorkerStart(L3tWorker *worker)
{
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, NULL);
    worker->thread = CreateThread(NULL, 0, WorkerMain, ready, 0, &worker->id);
    bool ok = worker->thread != NULL && WaitForSingleObject(ready, 10000) == WAIT_OBJECT_0;
    CloseHandle(ready);
    return ok;
}

void L3tWorkerRun(L3tWorker *worker, L3tTask task, void *context)
{
    WorkerJob job = { task, context, CreateEventA(NULL, TRUE, FALSE, NULL) };
    PostThreadMessageA(worker->id, WORKER_TASK, 0, (LPARAM)&job);
    WaitForSingleObject(job.done, 30000);
    CloseHandle(job.done);
}

void L3tWorkerStop(L3tWorker *worker)
{
    if (worker->thread == NULL)
        return;
    PostThreadMessageA(worker->id, WM_QUIT, 0, 0);
    WaitForSingleObject(worker->thread, 10000);
    CloseHandle(worker->thread);
    *worker = L3tWorker();
}

RECT L3tClientInWindow(HWND window)
{
    RECT whole, client;
    GetWindowRect(window, &whole);
    GetClientRect(window, &client);
    MapWindowPoints(window, NULL, (POINT *)&client, 2);
    OffsetRect(&client, -whole.left, -whole.top);
    return client;
}
