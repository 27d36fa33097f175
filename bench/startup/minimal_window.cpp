// The floor for start-up: a plain Win32 program that shows one window.
#include "MinimalWindow.h"

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) { return RunMinimalWindow(inst, show); }
