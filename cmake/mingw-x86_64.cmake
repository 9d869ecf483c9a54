# Cross-compiling for 64-bit Windows with mingw-w64; test programs run under 64-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix variants bring std::mutex and std::thread, which GoogleTest needs.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(TESSARY_WIDL x86_64-w64-mingw32-widl)
set(TESSARY_WIDL_ARCH --win64)
# stdole2.tlb, which the type library imports, as 64-bit Wine ships it.
set(TESSARY_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(TESSARY_ARCH x64)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The emulator (Wine, through a wrapper in the build tree) is set by the project.
