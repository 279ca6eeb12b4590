// Identifiers of the stand-in configurator's dialog template.
#pragma once

#define IDD_CONFIGURATOR 100
#define IDC_CONFIGURATOR_NOTE 1001
#define IDC_CONFIGURATOR_PROCESS 1002
