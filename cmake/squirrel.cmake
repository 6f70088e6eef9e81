# Squirrel 3.1 from the upstream tarball that tools/setup.sh unpacks into the build tree.
# Two static libraries, built without exceptions as the language's authors intend.
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
  target_compile_options(${t} PRIVATE -O2 -fno-exceptions -fno-strict-aliasing -w)
  if(QM_SANITIZE)
    # The language runtime is not ours to fix; keep the sanitizers on our code.
    target_compile_options(${t} PRIVATE -fno-sanitize=all)
  endif()
endforeach()
target_include_directories(squirrel_static PRIVATE "${SQ_ROOT}/squirrel")
target_link_libraries(sqstdlib_static PUBLIC squirrel_static)
