# Layers and their include roots.
#
# kv_layer(NAME DIRS dir... [DEPS layer...] [LIBS lib...])
#   One layer of the package, made of every .cpp in the folders DIRS (paths
#   below src/, not recursing: a sub-folder that is a layer of its own is named
#   by that layer). Its headers are reached as "korvane3d/<dir>/X.h" through an
#   include root of the layer's own, a folder in the build tree holding links
#   to DIRS only. A layer sees its own root and the roots of the layers it
#   names in DEPS (and theirs), nothing else, so an include that runs up a
#   layer does not compile.
#
#   Targets: NAME_objects (the compiled objects, gathered again into the one
#   installed library) and NAME, a static library of them that tests, fuzz
#   targets and benchmarks link to reach one layer and what lies below it.
#   Adding a source file needs no edit here: re-run cmake (CONFIGURE_DEPENDS).
set_property(GLOBAL PROPERTY KV_LAYERS "")

function(kv_layer name)
  cmake_parse_arguments(KV "" "" "DIRS;DEPS;LIBS" ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/layers/${name})
  set(srcs)
  foreach(dir ${KV_DIRS})
    file(GLOB dir_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.cpp)
    list(APPEND srcs ${dir_srcs})
    get_filename_component(link_parent ${root}/korvane3d/${dir} DIRECTORY)
    file(MAKE_DIRECTORY ${link_parent})
    if(NOT IS_SYMLINK ${root}/korvane3d/${dir})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${dir} ${root}/korvane3d/${dir} SYMBOLIC)
    endif()
  endforeach()
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()

  add_library(${name}_objects OBJECT ${srcs})
  target_include_directories(${name}_objects PUBLIC $<BUILD_INTERFACE:${root}>)
  target_compile_features(${name}_objects PUBLIC cxx_std_20)
  target_link_libraries(${name}_objects PUBLIC ${KV_DEPS} ${KV_LIBS} Threads::Threads)

  add_library(${name} STATIC)
  target_link_libraries(${name} PUBLIC ${name}_objects)

  set_property(GLOBAL APPEND PROPERTY KV_LAYERS ${name})
  set_property(TARGET ${name}_objects PROPERTY KV_HEADER_DIRS ${KV_DIRS})
endfunction()

# The environment of every test: the headless platform. Under the thread
# sanitizer Mesa's llvmpipe (the OpenGL device's renderer on machines without
# a GPU) draws on the calling thread instead of worker threads of its own:
# those are built without the sanitizer, which then reports the memory they
# hand back through memcpy and free as races it cannot see the other side of.
# gtest_discover_tests flattens a list-valued property into separate words,
# so that only the first entry of an ENVIRONMENT list reaches the tests: each
# variable therefore travels in a property of its own.
set(KV_TEST_PROPERTIES ENVIRONMENT "KV_BACKEND=headless")
if(KV_SANITIZE STREQUAL "thread")
  list(APPEND KV_TEST_PROPERTIES ENVIRONMENT_MODIFICATION "LP_NUM_THREADS=set:0")
endif()

# kv_test(NAME DIR [DEPS ...]): one GoogleTest program per test folder, made of
# every .cpp in DIR, registered with CTest test by test.
function(kv_test name)
  cmake_parse_arguments(KV "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${KV_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    KV_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/../shared/testdata"
    KV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KV_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ${KV_TEST_PROPERTIES})
endfunction()
