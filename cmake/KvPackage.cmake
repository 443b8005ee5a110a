# The one library an application links, libkorvane3d (target
# Korvane3D::Korvane3D), gathered from the layers' objects, and everything
# `cmake --install` and `cpack -G DEB` put in place for programs built outside
# this tree: headers under include/korvane3d/, the CMake package Korvane3D,
# the pkg-config module korvane3d, libkverror, the programs, docs, examples.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in
               ${PROJECT_BINARY_DIR}/generated/korvane3d/Version.h @ONLY)

get_property(kv_layers GLOBAL PROPERTY KV_LAYERS)
add_library(korvane3d src/korvane.cpp)
add_library(Korvane3D::Korvane3D ALIAS korvane3d)
set(kv_build_roots)
foreach(layer ${kv_layers})
  target_sources(korvane3d PRIVATE $<TARGET_OBJECTS:${layer}_objects>)
  list(APPEND kv_build_roots ${PROJECT_BINARY_DIR}/layers/${layer})
endforeach()
target_include_directories(korvane3d PUBLIC
  "$<BUILD_INTERFACE:${kv_build_roots};${PROJECT_SOURCE_DIR}/include;${PROJECT_BINARY_DIR}/generated>"
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(korvane3d PUBLIC cxx_std_20)
# Only the library's own code calls these; a static library hands them on to
# the program's link (the installed package finds them for the consumer).
target_link_libraries(korvane3d PRIVATE SDL2::SDL2 ZLIB::ZLIB PNG::PNG PkgConfig::EPOXY PkgConfig::EGL ${CMAKE_DL_LIBS}
                                PUBLIC Threads::Threads)
set_target_properties(korvane3d PROPERTIES
  OUTPUT_NAME korvane3d
  EXPORT_NAME Korvane3D
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})

# ---- install -----------------------------------------------------------------
set(KV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane3D)
install(TARGETS korvane3d EXPORT Korvane3DTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT Korvane3DTargets NAMESPACE Korvane3D:: DESTINATION ${KV_CMAKE_DIR})

# Headers keep the paths they have in the build: korvane3d/<layer>/X.h. The
# SDL backend's own headers stay private (they need SDL's headers).
foreach(layer ${kv_layers})
  get_property(dirs TARGET ${layer}_objects PROPERTY KV_HEADER_DIRS)
  foreach(dir ${dirs})
    file(GLOB headers ${PROJECT_SOURCE_DIR}/src/${dir}/*.h ${PROJECT_SOURCE_DIR}/src/${dir}/*.inc)
    list(FILTER headers EXCLUDE REGEX "/Sdl[^/]*\\.h$")
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane3d/${dir})
  endforeach()
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/korvane3d ${PROJECT_BINARY_DIR}/generated/korvane3d
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/Korvane3DConfig.cmake.in
  ${PROJECT_BINARY_DIR}/Korvane3DConfig.cmake INSTALL_DESTINATION ${KV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Korvane3DConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/Korvane3DConfig.cmake ${PROJECT_BINARY_DIR}/Korvane3DConfigVersion.cmake
        DESTINATION ${KV_CMAKE_DIR})

# pkg-config: a static library names its dependencies as required, a shared
# one keeps them private.
if(BUILD_SHARED_LIBS)
  set(KV_PC_REQUIRES "")
  set(KV_PC_REQUIRES_PRIVATE "sdl2 zlib libpng epoxy egl")
  set(KV_PC_LIBS_PRIVATE "-pthread -ldl")
  set(KV_PC_LIBS_EXTRA "")
else()
  set(KV_PC_REQUIRES "sdl2 zlib libpng epoxy egl")
  set(KV_PC_REQUIRES_PRIVATE "")
  set(KV_PC_LIBS_PRIVATE "")
  set(KV_PC_LIBS_EXTRA "-pthread -ldl")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/korvane3d.pc.in ${PROJECT_BINARY_DIR}/korvane3d.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korvane3d.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvane3d)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane3d/examples
        PATTERN "CMakeLists.txt" EXCLUDE)

# ---- Debian package (cpack -G DEB) -------------------------------------------
set(CPACK_PACKAGE_NAME korvane3d)
set(CPACK_PACKAGE_VENDOR "Korvane 3D")
set(CPACK_PACKAGE_CONTACT "Korvane 3D developers <korvane3d@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D components for interactive programs: view, scene, camera, frames, objects, lights")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
# The headers and the static library need the development packages of the
# libraries the package draws with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-dev, zlib1g-dev, libpng-dev, libepoxy-dev, libegl-dev, libgl-dev, pkg-config")
include(CPack)
