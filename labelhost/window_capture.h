// Pictures of labelhost's windows: a window as it shows on the screen, saved
// as a PNG through Windows Imaging Component.
#pragma once

#include <windows.h>

// Paints the window and its children, copies its screen rectangle and saves
// it as a 24-bit PNG. False (reason printed) on failure.
bool SaveWindowPng(HWND hWnd, const char* path);
