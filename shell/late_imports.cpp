/*
 * Binding on first use. The functions named in late_imports.txt are not
 * imported when the shell is loaded, so that a run that shows no window
 * never loads USER32 and GDI32. Each has a pointer under the name that an
 * import's would have (__imp__Name@N, made by gen_late_imports.py), so the
 * code calls it as it calls any imported function. LateImportsStart points
 * every pointer at a stub of its own; the first call through a stub of a
 * DLL loads that DLL and binds all of its functions at once (so an address
 * taken later is the function's own, not a stub's), then goes on into the
 * called function with the caller's arguments and return address untouched.
 *
 * A function that its DLL lacks would have kept the program from loading,
 * had it been imported; here calling it ends the process with -1.
 */
#include "shell.h"

#define STUB_SIZE 5     /* each stub is "call _LateBindThunk" */

extern "C" {
extern FARPROC LateTable[];         /* the pointers, in list order */
extern const BYTE LateStubs[];
extern const char LateNames[];      /* DLL, its functions, "", ..., "" */
extern const unsigned LateCount;
FARPROC LateBind(const BYTE *afterStub);
}

/* Entered from a stub: the stub's return address lies on top of the
 * caller's frame and serves as LateBind's argument in place; then it is
 * dropped and the bound function entered as if called directly. Only EAX,
 * ECX and EDX change, which every caller expects a callee to change. */
asm("\t.text\n"
    "\t.globl _LateBindThunk\n"
    "_LateBindThunk:\n"
    "\tcall _LateBind\n"
    "\tpopl %ecx\n"
    "\tjmp *%eax\n");

static void WINAPI LateMissing(void)
{
    ExitProcess((UINT)EXIT_FAILED);
}

static const char *NextName(const char *name)
{
    return name + lstrlenA(name) + 1;
}

FARPROC LateBind(const BYTE *afterStub)
{
    unsigned wanted = (unsigned)(afterStub - LateStubs) / STUB_SIZE - 1;
    unsigned first = 0;
    const char *dll = LateNames;

    while (*dll) {
        const char *names = NextName(dll), *name = names;
        unsigned count = 0;
        for (; *name; name = NextName(name))
            count++;
        if (wanted < first + count) {
            HMODULE module = LoadLibraryA(dll);
            for (name = names; *name; name = NextName(name), first++) {
                FARPROC function = module ? GetProcAddress(module, name) : NULL;
                LateTable[first] = function ? function : (FARPROC)LateMissing;
            }
            return LateTable[wanted];
        }
        first += count;
        dll = name + 1;
    }
    return (FARPROC)LateMissing;
}

void LateImportsStart(void)
{
    for (unsigned i = 0; i < LateCount; i++)
        LateTable[i] = (FARPROC)(LateStubs + STUB_SIZE * i);
}
