// The exported operation a setup program calls to have the licence agreement accepted.
#pragma once

#include <windows.h>

#include "host/host_interface.h"

// Reads LICENSE.DAT from the Windows directory, runs the agreement dialog over it, and reports
// the answer: %DLLRETURN% "1" and 1 when accepted, "0" and 0 in every other case.
extern "C" int WINAPI LxLoadDialog(DllCallParams* params);

// What the person is told when the agreement cannot be shown at all.
extern const char kLicenseMissingText[];
extern const char kLicenseEmptyText[];
extern const char kLicenseTooLargeText[];
extern const char kLicenseNoMemoryText[];
extern const char kLicenseErrorCaption[];
