// The path the wide/ANSI wrappers take, for the library's wrappers of higher layers (the window's file
// dialogs and image selector) that must take the same one.
#pragma once

// 1 while the wrappers make the wide calls.
int UsesWideApi();
