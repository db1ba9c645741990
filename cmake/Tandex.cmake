include(GoogleTest)

# tandex_add_test(NAME name SOURCES ... LIBS ... [GUI] [SERIAL] [THREADED])
# One GoogleTest executable per unit; every test case is registered with
# ctest. GUI tests run on Qt's offscreen platform, so no display is needed.
# SERIAL tests hold so much memory that ctest runs them alone. THREADED
# tests run threads of the program's own; only they are built in the
# ThreadSanitizer tree.
function(tandex_add_test)
  cmake_parse_arguments(T "GUI;SERIAL;THREADED" "NAME" "SOURCES;LIBS" ${ARGN})
  if(TANDEX_TSAN AND NOT T_THREADED)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  if(TANDEX_TSAN)
    # The tests' child processes, started in a way this runtime survives.
    target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/tsan_spawn.cpp)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE
    TANDEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TANDEX_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
  # Tests never touch the user's own settings folder or program log.
  set(env "QT_QPA_PLATFORM=offscreen" "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")
  if(TANDEX_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=0" "UBSAN_OPTIONS=print_stacktrace=1")
  endif()
  if(TANDEX_TSAN)
    # A race fails its test, as a sanitizer's finding does in the other tree.
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
  endif()
  set(serial)
  if(T_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 ${serial})
  # The environment is set once the tests are known: handed to the discovery
  # as a property, every variable after the first was lost on the way.
  set(env_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_environment.cmake)
  file(WRITE ${env_file}
    "foreach(test IN LISTS ${T_NAME}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES ENVIRONMENT \"${env}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_file})
endfunction()

# tandex_add_library(name [QT_LIBS ...] [LIBS ...])
# A subsystem library is every .cpp of its folder; until a folder has one,
# no target exists. Globbing lets units arrive without touching this file.
function(tandex_add_library NAME)
  cmake_parse_arguments(L "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(NOT sources)
    return()
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${NAME} STATIC ${sources} ${headers})
  target_include_directories(${NAME} PUBLIC ${PROJECT_SOURCE_DIR})
  # Ninja's moc step checks only the files it saw last time, so a unit that
  # arrives with a new Q_OBJECT header would link without its meta-object
  # code. When the list of units changes, its stamp goes and moc runs again.
  set(unit_list ${CMAKE_CURRENT_BINARY_DIR}/${NAME}_units.txt)
  string(JOIN "\n" units ${sources} ${headers})
  set(old_units)
  if(EXISTS ${unit_list})
    file(READ ${unit_list} old_units)
  endif()
  if(NOT old_units STREQUAL units)
    file(WRITE ${unit_list} "${units}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${NAME}_autogen/timestamp)
  endif()
  foreach(lib ${L_LIBS})
    if(TARGET ${lib} OR lib MATCHES "::")
      target_link_libraries(${NAME} PUBLIC ${lib})
    endif()
  endforeach()
endfunction()

# tandex_add_tests(LIBS ... [SERIAL stem ...] [THREADED stem ...]) — every
# *_test.cpp of the folder is one test executable named after its folder and
# file; the stems named after SERIAL run alone, those after THREADED run in
# the ThreadSanitizer tree too.
function(tandex_add_tests PREFIX)
  cmake_parse_arguments(T "" "" "LIBS;SERIAL;THREADED" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src ${tests})
    get_filename_component(stem ${src} NAME_WE)
    set(serial)
    if(stem IN_LIST T_SERIAL)
      set(serial SERIAL)
    endif()
    if(stem IN_LIST T_THREADED)
      list(APPEND serial THREADED)
    endif()
    tandex_add_test(NAME ${PREFIX}_${stem} SOURCES ${src} LIBS ${T_LIBS} ${serial})
  endforeach()
endfunction()

# tandex_add_fuzz_target(NAME name SOURCES ... LIBS ...)
# A libFuzzer target, built only under TANDEX_FUZZ, where the libraries it
# links carry the same coverage instrumentation. Inputs that ever broke a
# target go to its test folder's data/, where an always-built test replays
# them.
function(tandex_add_fuzz_target)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT TANDEX_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
endfunction()
