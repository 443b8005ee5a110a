# kv_layer(NAME DIR [DEPS ...]): a static library made of every .cpp in DIR
# (not recursing into sub-layers, which are layers of their own). Adding a
# source file needs no edit here: re-run cmake (CONFIGURE_DEPENDS does it).
function(kv_layer name)
  cmake_parse_arguments(KV "" "" "DEPS;EXTRA_SOURCES" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(APPEND srcs ${KV_EXTRA_SOURCES})
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${KV_DEPS} Threads::Threads)
endfunction()

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
    KV_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KV_BACKEND=headless")
endfunction()
