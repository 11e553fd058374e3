# Cross-builds Halvarin for 64-bit Windows with Debian's mingw-w64 compiler
# (g++-mingw-w64-x86-64-posix): the posix-threads flavour, because
# std::thread and std::mutex need it. Use with -DHALVARIN_QT=OFF: the window
# program is then the one on the system's own controls (ui/win32); see
# the windows preset of CMakePresets.json and docs/windows.md.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HALVARIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HALVARIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HALVARIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${HALVARIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HALVARIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that carry their own C++ runtime and threads library run on any
# Windows, and under wine, without DLLs copied beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through wine where it is installed.
find_program(HALVARIN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(HALVARIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${HALVARIN_WINE})
endif()
