set(ZENTRAK_DATA_DIR ${CMAKE_BINARY_DIR}/data)

# Strict warnings for our own code only.
add_library(zt_warnings INTERFACE)
target_compile_options(zt_warnings INTERFACE -Wall -Wextra -Wpedantic -Wno-unused-parameter)

# stb's image encoders (src/platform/ImageWrite.cpp) shift negative numbers on purpose,
# well defined since C++20 but flagged by the undefined-behaviour sanitizer in C++17: that
# file alone goes without those checks. Source properties belong to a directory, so every
# directory that builds the file calls this.
function(zentrak_image_writer_checks)
  if(ZENTRAK_SANITIZE)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/src/platform/ImageWrite.cpp PROPERTIES
      COMPILE_OPTIONS "-fno-sanitize=shift;-fno-sanitize=signed-integer-overflow")
  endif()
endfunction()

# zentrak_library(name [DEPS lib...] [PACKAGES target...]): every .cpp below src/<name>
# becomes the static library zt_<name>. DEPS are the libraries of the layers below it
# that it calls (zt_ prefix left off); PACKAGES the system libraries its own code calls.
# Nothing else is linked, so a call into a higher layer fails to link: see
# docs/ARCHITECTURE.md for the graph and for the seams that carry calls upward.
function(zentrak_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PACKAGES" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp ${CMAKE_SOURCE_DIR}/src/${name}/*.c)
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(zt_${name} STATIC ${srcs})
  target_include_directories(zt_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  set(deps "")
  foreach(dep ${ARG_DEPS})
    list(APPEND deps zt_${dep})
  endforeach()
  target_link_libraries(zt_${name} PUBLIC ${deps} ${ARG_PACKAGES})
  target_link_libraries(zt_${name} PRIVATE zt_warnings)
  target_compile_definitions(zt_${name} PUBLIC ZENTRAK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # The layer check: every object of the library linked into an empty program with
  # nothing but its declared dependencies. A program that links the whole game resolves
  # an upward call against objects it pulled in for other reasons; this one cannot.
  add_executable(zt_layercheck_${name} ${CMAKE_SOURCE_DIR}/cmake/layercheck.cpp)
  target_link_libraries(zt_layercheck_${name} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,zt_${name}>")
  set_target_properties(zt_layercheck_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layercheck)
endfunction()
