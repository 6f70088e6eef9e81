# Squirrel 3.1 from the upstream tarball that tools/setup.sh unpacks into the build tree and
# patches (cmake/squirrel-patches: limits that keep hostile scripts from crashing the host, and
# the watchdog hook). Two static libraries, built without exceptions as the language's authors
# intend; script integers wrap on overflow (-fwrapv) rather than being undefined in C++.
set(SQ_ROOT "${QM_DEPS_DIR}/squirrel3")
if(NOT EXISTS "${SQ_ROOT}/include/squirrel.h")
  message(FATAL_ERROR "Squirrel source not found in ${SQ_ROOT}: run tools/setup.sh ${CMAKE_BINARY_DIR}")
endif()

file(GLOB SQ_CORE_SRC "${SQ_ROOT}/squirrel/*.cpp")
file(GLOB SQ_STD_SRC "${SQ_ROOT}/sqstdlib/*.cpp")
add_library(squirrel_static STATIC ${SQ_CORE_SRC})
add_library(sqstdlib_static STATIC ${SQ_STD_SRC})
foreach(t squirrel_static sqstdlib_static)
  target_include_directories(${t} SYSTEM PUBLIC "${SQ_ROOT}/include")
  target_compile_definitions(${t} PUBLIC _SQ64)
  set_target_properties(${t} PROPERTIES CXX_STANDARD 11)
  target_compile_options(${t} PRIVATE -O2 -fno-exceptions -fno-strict-aliasing -fwrapv -w)
  if(QM_SANITIZE)
    # The sanitizer tree checks our code; the runtime's own limits (the patches) keep hostile
    # scripts from overflowing the native stack, as in the normal build. The fuzz build keeps
    # the sanitizers on Squirrel too.
    target_compile_options(${t} PRIVATE -fno-sanitize=all)
  endif()
endforeach()
target_include_directories(squirrel_static PRIVATE "${SQ_ROOT}/squirrel")
target_link_libraries(sqstdlib_static PUBLIC squirrel_static)
