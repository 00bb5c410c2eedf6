/*
 * The look of "Button" controls: the class test and the window procedure.
 *
 * Placeholder until the button painter lands: the procedure runs the opening
 * steps common to every look procedure, answers L3M_IDENTIFY and passes every
 * message on, so buttons keep the system's drawing.
 */
#include "look3d_internal.h"

int Look3dButtonTest(HWND, LONG, WORD, WORD, HWND)
{
    return 1;
}

LRESULT CALLBACK Look3dButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    if (Look3dOpeningSteps(window, message, wParam, lParam, L3I_BUTTON, &result))
        return result;
    if (message == L3M_IDENTIFY)
        Look3dAnswerIdentify(lParam);
    return Look3dPassOn(window, message, wParam, lParam, L3I_BUTTON);
}
