// Test-only redirection of a Win32 call the product code makes from this executable.
#pragma once

// Points this executable's import of function from dll (e.g. "SHELL32.dll", "ShellExecuteA")
// at replacement and returns the address it held before, or null when the executable does
// not import that function. Only calls made from this module's code are redirected.
void* RedirectImport(const char* dll, const char* function, void* replacement);
