/* Numbers of the launcher's resources, shared by the resource script and the code. */
#pragma once

#define IDB_BACKGROUND 101
#define IDI_APP 102
/* The number Windows reads a program's own manifest under. */
#define IDR_MANIFEST 1
