# System libraries, all from Debian packages (see tools/deps.sh).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
# Image decoders for files from outside (libjpeg-turbo, libpng): only zt_platform links them.
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(RSVG REQUIRED IMPORTED_TARGET librsvg-2.0 cairo)
# stb: only its encoders, for images we write ourselves.
find_path(STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
# Boost.Graph headers: the path-planning benchmark compares our route search with it.
find_package(Boost 1.74 CONFIG COMPONENTS headers)
