// Finds the touchpad maker's configurator and opens it, or raises its open window.
#pragma once

#include <windows.h>

constexpr int CONFIGURATOR_PATH_CHARS = 520;

// Empty until start-up fills it; never changes afterwards.
extern wchar_t ConfiguratorPath[CONFIGURATOR_PATH_CHARS];

void ResolveConfiguratorPath();
void OpenConfigurator();
void BringWindowToFront(HWND target);
