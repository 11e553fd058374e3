#ifndef HALVARIN_WIN32_RESOURCES_H
#define HALVARIN_WIN32_RESOURCES_H

// Resource identifiers of the Windows program, read by the resource script
// (Win32Program.rc) and the code alike, so macros only.

// The icon group of resources/halvarin.rc: the program's icon.
#define IDI_HALVARIN 1
// The list's five entry images, in ImageList1 order.
#define IDI_ENTRY1 101
#define IDI_ENTRY2 102
#define IDI_ENTRY3 103
#define IDI_ENTRY4 104
#define IDI_ENTRY5 105

#endif
