/*
 * The shell's message boxes. Texts come from the string table; a missing
 * string is replaced by a numbered placeholder so that no box is ever empty.
 * A string resource is loaded into 256 bytes (255 characters used) and a
 * finished text is formatted into 1024 bytes (wsprintf's own limit). Every
 * box is announced to ShellWindowComing first, which opens the look once the
 * main routine wants it.
 */
#include "shell.h"

#include <stdarg.h>

#define STRING_BUFFER_SIZE  256
#define MESSAGE_BUFFER_SIZE 1024

HINSTANCE ShellInstance;
void (*ShellBeforeWindow)(void);

void ShellWindowComing(void)
{
    if (ShellBeforeWindow != NULL)
        ShellBeforeWindow();
}

static void ShowFormattedMessageV(HWND owner, const char *format, const char *title, UINT style,
                                  va_list args)
{
    char text[MESSAGE_BUFFER_SIZE];

    wvsprintfA(text, format, args);
    ShellWindowComing();
    MessageBoxA(owner, text, title, style);
}

void ShowFormattedMessage(HWND owner, const char *format, const char *title, UINT style, ...)
{
    va_list args;

    va_start(args, style);
    ShowFormattedMessageV(owner, format, title, style, args);
    va_end(args);
}

void ShowMessageById(HWND owner, const char *title, UINT messageId)
{
    char text[STRING_BUFFER_SIZE];

    if (LoadStringA(ShellInstance, messageId, text, sizeof text) == 0)
        wsprintfA(text, "Message %d\n", (int)messageId);
    /* The text is an argument, not the format: percent signs stay as they are. */
    ShowFormattedMessage(owner, "%s", title, MB_OK | MB_ICONINFORMATION, text);
}

void ShowResourceMessage(HINSTANCE instance, HWND owner, UINT messageId, UINT titleId, UINT style,
                         ...)
{
    char format[STRING_BUFFER_SIZE];
    char title[STRING_BUFFER_SIZE];
    char text[MESSAGE_BUFFER_SIZE];

    if (LoadStringA(instance, messageId, format, sizeof format) != 0) {
        va_list args;
        va_start(args, style);
        wvsprintfA(text, format, args);
        va_end(args);
    } else {
        char moduleName[STRING_BUFFER_SIZE];
        DWORD length = GetModuleFileNameA(instance, moduleName, sizeof moduleName - 1);
        moduleName[length < sizeof moduleName ? length : 0] = '\0';
        wsprintfA(text, "%s\nMessage %d", moduleName, (int)messageId);
    }
    if (LoadStringA(instance, titleId, title, sizeof title) == 0)
        wsprintfA(title, "Title %d", (int)titleId);
    ShellWindowComing();
    MessageBoxA(owner, text, title, style);
}
