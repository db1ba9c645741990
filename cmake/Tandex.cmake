include(GoogleTest)

# tandex_add_test(NAME name SOURCES ... LIBS ... [GUI])
# One GoogleTest executable per unit; every test case is registered with
# ctest. GUI tests run on Qt's offscreen platform, so no display is needed.
function(tandex_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${T_NAME} PRIVATE
    TANDEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TANDEX_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
  set(env "QT_QPA_PLATFORM=offscreen")
  if(TANDEX_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0" "UBSAN_OPTIONS=print_stacktrace=1")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
