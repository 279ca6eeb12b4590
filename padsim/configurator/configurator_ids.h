// Identifiers of the stand-in configurator's dialog template, and how other programs find the
// dialog: the system's dialog class and the caption.
#pragma once

#define CONFIGURATOR_CLASS "#32770"
#define CONFIGURATOR_TITLE "QUIB Touch Pad"

#define IDD_CONFIGURATOR 100
#define IDC_CONFIGURATOR_NOTE 1001
#define IDC_CONFIGURATOR_PROCESS 1002
