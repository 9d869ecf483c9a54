# Cross-compiling for 32-bit Windows with mingw-w64; test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

# The -posix variants bring std::mutex and std::thread, which GoogleTest needs.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(TESSARY_WIDL i686-w64-mingw32-widl)
set(TESSARY_WIDL_ARCH --win32)
# stdole2.tlb, which the type library imports, as 32-bit Wine ships it.
set(TESSARY_STDOLE_DIR /usr/lib/i386-linux-gnu/wine/i386-windows)
set(TESSARY_ARCH x86)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The emulator (Wine, through a wrapper in the build tree) is set by the project.
