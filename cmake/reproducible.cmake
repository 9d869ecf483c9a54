# Reproducible builds: two builds of one commit, in any two folders, give
# byte-identical DLLs, programs and type libraries.
#
# - No link time in the PE header (the linker would write the current time),
#   and the same preferred base address whatever the build folder.
# - No folder names in the binaries: paths the compiler records (__FILE__ in
#   assertions and the runtime's headers, debug information) are written
#   relative to the source and build trees. The build tree comes last: it may
#   lie inside the source tree, and the last matching map wins.
# - One date for everything that records one (the installer packages' summary
#   information, the release's archives): the time of the commit being built,
#   unless SOURCE_DATE_EPOCH is set already.
add_compile_options(
  $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
  $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
add_link_options(-Wl,--no-insert-timestamp)
# The linker derives a DLL's preferred base address from the output path as
# written on its command line (which differs between generators): the
# default base instead. The DLL is relocatable and loads at a random address
# anyway.
add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>:-Wl,--disable-auto-image-base>)

if(TESSARY_OUTER_SOURCE_DATE_EPOCH)
  # A build inside another tree (the x64 tree's x86 library): that tree's date.
  set(epoch ${TESSARY_OUTER_SOURCE_DATE_EPOCH})
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # A commit, checkout or reset appends to HEAD's log: the tree is configured
  # again and takes the new commit's date, so that trees built after it agree.
  execute_process(COMMAND git rev-parse --path-format=absolute --git-path logs/HEAD
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(head_log AND EXISTS "${head_log}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  # Not a git checkout: a fixed date (1980-01-01, the first a cabinet or zip
  # can hold) rather than the time of the build.
  set(epoch 315532800)
endif()
# Taken at configure time; kept in the cache, where tests read what the
# tree's packages were built with.
set(TESSARY_SOURCE_DATE_EPOCH ${epoch} CACHE INTERNAL "The date recorded in the packages (seconds since 1970)")

