/*
 * The look of "Edit", "ListBox", "ComboBox" and "ComboLBox" controls: the
 * class tests and the window procedures.
 *
 * Placeholder until the field frames land: the procedures run the opening
 * steps common to every look procedure, answer L3M_IDENTIFY and pass every
 * message on, so these controls keep the system's drawing.
 */
#include "look3d_internal.h"

int Look3dListBoxTest(HWND, LONG, WORD, WORD, HWND)
{
    return 1;
}

int Look3dEditTest(HWND, LONG, WORD, WORD, HWND)
{
    return 1;
}

int Look3dComboTest(HWND, LONG, WORD, WORD, HWND)
{
    return 1;
}

int Look3dComboListTest(HWND, LONG, WORD, WORD, HWND)
{
    return 1;
}

/* One body for every field procedure of the placeholder. */
static LRESULT FieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                         int classIndex)
{
    LRESULT result;
    if (Look3dOpeningSteps(window, message, wParam, lParam, classIndex, &result))
        return result;
    if (message == L3M_IDENTIFY)
        Look3dAnswerIdentify(lParam);
    return Look3dPassOn(window, message, wParam, lParam, classIndex);
}

LRESULT CALLBACK Look3dListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return FieldProc(window, message, wParam, lParam, L3I_LISTBOX);
}

LRESULT CALLBACK Look3dEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return FieldProc(window, message, wParam, lParam, L3I_EDIT);
}

LRESULT CALLBACK Look3dComboProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return FieldProc(window, message, wParam, lParam, L3I_COMBOBOX);
}
