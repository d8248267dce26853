set(ZENTRAK_DATA_DIR ${CMAKE_BINARY_DIR}/data)

# Strict warnings for our own code only.
add_library(zt_warnings INTERFACE)
target_compile_options(zt_warnings INTERFACE -Wall -Wextra -Wpedantic -Wno-unused-parameter)

set(ZENTRAK_LIBRARIES "")

# zentrak_library(name): every .cpp below src/<name> becomes the static library zt_<name>.
# Layers call each other in both directions through seams, so executables link the
# whole set as one group (zt_all) and the libraries themselves only share include paths.
function(zentrak_library name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp ${CMAKE_SOURCE_DIR}/src/${name}/*.c)
  if(NOT srcs)
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(zt_${name} STATIC ${srcs})
  target_include_directories(zt_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(zt_${name} PUBLIC
    PkgConfig::SDL2 PkgConfig::EPOXY PkgConfig::OPENAL PkgConfig::VORBIS PkgConfig::CURL
    PkgConfig::ZLIB PkgConfig::MINIZIP Threads::Threads)
  target_include_directories(zt_${name} SYSTEM PUBLIC ${STB_INCLUDE_DIR})
  target_link_libraries(zt_${name} PRIVATE zt_warnings)
  target_compile_definitions(zt_${name} PUBLIC ZENTRAK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set(ZENTRAK_LIBRARIES ${ZENTRAK_LIBRARIES} zt_${name} PARENT_SCOPE)
endfunction()

function(zentrak_finish_libraries)
  add_library(zt_all INTERFACE)
  target_link_libraries(zt_all INTERFACE -Wl,--start-group ${ZENTRAK_LIBRARIES} -Wl,--end-group)
endfunction()
