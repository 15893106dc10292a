# Shared CMake helpers: compiler flags, test registration, fuzz targets, qpx subcommands.

set(QP_WARNINGS -Wall -Wextra -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # The sanitizer and fuzz builds use clang; keep its extra noise out of -Werror.
    list(APPEND QP_WARNINGS -Wno-unused-private-field -Wno-unused-command-line-argument)
endif()

if(QP_FUZZ)
    # Coverage instrumentation for every library the fuzz targets reach.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(QP_SANITIZE)
    add_compile_options(-fsanitize=${QP_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${QP_SANITIZE})
endif()

# qp_library(NAME [QT] SOURCES ... [LIBS ...])
# A static library of the project with its warnings and include root (src/).
function(qp_library NAME)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
    add_library(${NAME} STATIC ${ARG_SOURCES})
    target_compile_options(${NAME} PRIVATE ${QP_WARNINGS})
    target_include_directories(${NAME} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
    if(ARG_LIBS)
        target_link_libraries(${NAME} PUBLIC ${ARG_LIBS})
    endif()
    if(ARG_QT)
        set_target_properties(${NAME} PROPERTIES AUTOMOC ON AUTORCC ON)
    endif()
endfunction()

# qp_qt_executable(NAME SOURCES ... LIBS ...): an executable that uses Qt.
function(qp_qt_executable NAME)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${NAME} ${ARG_SOURCES})
    target_compile_options(${NAME} PRIVATE ${QP_WARNINGS})
    target_link_libraries(${NAME} PRIVATE ${ARG_LIBS})
    set_target_properties(${NAME} PROPERTIES AUTOMOC ON AUTORCC ON)
endfunction()

# Test time-outs: a hang should cost little and name itself. Unit tests get
# QP_TEST_TIMEOUT seconds unless they pass their own TIMEOUT (real-time fax tests do);
# sanitizer builds run slower and get QP_SANITIZER_TIME_FACTOR times as long.
set(QP_TEST_TIMEOUT 60 CACHE STRING "Default time-out of one test program, in seconds")
set(QP_SANITIZER_TIME_FACTOR 4)

function(qp_test_timeout OUT REQUESTED)
    set(seconds ${QP_TEST_TIMEOUT})
    if(REQUESTED)
        set(seconds ${REQUESTED})
    endif()
    if(QP_SANITIZE)
        math(EXPR seconds "${seconds} * ${QP_SANITIZER_TIME_FACTOR}")
    endif()
    set(${OUT} ${seconds} PARENT_SCOPE)
endfunction()

# qp_register_test(NAME LABELS TIMEOUT [args...])
# Adds a CTest test that runs NAME in its own fresh data folder, headless.
# TIMEOUT may be empty for the default.
function(qp_register_test NAME LABELS TIMEOUT)
    qp_test_timeout(seconds "${TIMEOUT}")
    add_test(NAME ${NAME}
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/run-test.sh $<TARGET_FILE:${NAME}> ${ARGN})
    set_tests_properties(${NAME} PROPERTIES LABELS "${LABELS}" TIMEOUT ${seconds}
        ENVIRONMENT "QP_SOURCE_DIR=${CMAKE_SOURCE_DIR};QP_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# qp_engine_test(NAME SOURCES ... LIBS ... [TSAN] [TIMEOUT seconds] [SANITIZED_CASES filter])
# A GoogleTest executable for an engine (no Qt). Runs in every build, including the
# sanitizer builds; TSAN marks it for the ThreadSanitizer build as well.
# SANITIZED_CASES (a --gtest_filter) picks representative cases of a long real-time
# test for the sanitizer builds, where every call runs again several times slower; the
# normal build always runs every case. Such tests carry the label `realtime`.
function(qp_engine_test NAME)
    cmake_parse_arguments(ARG "TSAN" "TIMEOUT;SANITIZED_CASES" "SOURCES;LIBS" ${ARGN})
    add_executable(${NAME} ${ARG_SOURCES})
    target_compile_options(${NAME} PRIVATE ${QP_WARNINGS})
    target_link_libraries(${NAME} PRIVATE ${ARG_LIBS} qp_testsupport qp_testenv GTest::gtest GTest::gtest_main)
    set(labels engine)
    if(ARG_TSAN)
        list(APPEND labels tsan)
        set_property(GLOBAL APPEND PROPERTY QP_TSAN_TESTS ${NAME})
    endif()
    set(args)
    if(ARG_SANITIZED_CASES)
        list(APPEND labels realtime)
        if(QP_SANITIZE)
            set(args "--gtest_filter=${ARG_SANITIZED_CASES}")
        endif()
    endif()
    qp_register_test(${NAME} "${labels}" "${ARG_TIMEOUT}" ${args})
    if(ARG_SANITIZED_CASES)
        # Long tests first, so a parallel run does not end waiting on one of them.
        set_tests_properties(${NAME} PROPERTIES COST 1000)
    endif()
endfunction()

# qp_qt_test(NAME SOURCES ... LIBS ... [TSAN] [ASAN] [TIMEOUT seconds])
# A test that needs Qt (components, windows, qpx). Uses Qt Test or GoogleTest, whichever
# the sources bring (link GTest::gtest_main yourself for GoogleTest). Skipped in
# engine-only builds. TSAN and ASAN mark it for the Qt-enabled ThreadSanitizer and
# AddressSanitizer builds (components whose own threads meet the user-interface thread);
# there only the marked tests are built (targets qp_tsan_tests, qp_asan_qt_tests).
function(qp_qt_test NAME)
    cmake_parse_arguments(ARG "TSAN;ASAN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT QP_WITH_QT)
        return()
    endif()
    add_executable(${NAME} ${ARG_SOURCES})
    target_compile_options(${NAME} PRIVATE ${QP_WARNINGS})
    target_link_libraries(${NAME} PRIVATE ${ARG_LIBS} qp_testsupport qp_testenv qp_qttestsupport Qt6::Test)
    set_target_properties(${NAME} PROPERTIES AUTOMOC ON AUTORCC ON)
    if(QP_SANITIZE MATCHES "thread")
        # Leaves out the races ThreadSanitizer reports inside uninstrumented Qt.
        target_sources(${NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/TsanQtSuppressions.cpp)
    endif()
    set(labels qt)
    if(ARG_TSAN)
        list(APPEND labels tsan)
        set_property(GLOBAL APPEND PROPERTY QP_TSAN_TESTS ${NAME})
    endif()
    if(ARG_ASAN)
        list(APPEND labels asan)
        set_property(GLOBAL APPEND PROPERTY QP_ASAN_QT_TESTS ${NAME})
    endif()
    qp_register_test(${NAME} "${labels}" "${ARG_TIMEOUT}")
endfunction()

# qp_sanitizer_test_targets(): after every test is declared, the targets that build just
# the tests marked for ThreadSanitizer (qp_tsan_tests) and the Qt tests marked for
# AddressSanitizer (qp_asan_qt_tests).
function(qp_sanitizer_test_targets)
    get_property(tsan GLOBAL PROPERTY QP_TSAN_TESTS)
    get_property(asan GLOBAL PROPERTY QP_ASAN_QT_TESTS)
    add_custom_target(qp_tsan_tests)
    add_custom_target(qp_asan_qt_tests)
    if(tsan)
        add_dependencies(qp_tsan_tests ${tsan})
    endif()
    if(asan)
        add_dependencies(qp_asan_qt_tests ${asan})
    endif()
endfunction()

# qp_fuzzer(NAME SOURCES ... LIBS ... CORPUS dir)
# A libFuzzer target (LLVMFuzzerTestOneInput). In the fuzz build it is a real fuzzer run
# briefly by CTest from the seed corpus; in other builds it is linked with a replay
# driver that feeds it every seed file, so the target always compiles and its seeds
# stay good regression inputs.
function(qp_fuzzer NAME)
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${NAME} ${ARG_SOURCES})
    target_compile_options(${NAME} PRIVATE ${QP_WARNINGS})
    target_link_libraries(${NAME} PRIVATE ${ARG_LIBS})
    if(QP_FUZZ)
        target_compile_options(${NAME} PRIVATE -fsanitize=fuzzer)
        target_link_options(${NAME} PRIVATE -fsanitize=fuzzer)
        set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${NAME})
        add_test(NAME ${NAME}
                 COMMAND ${CMAKE_SOURCE_DIR}/cmake/run-fuzzer.sh $<TARGET_FILE:${NAME}>
                         ${work} ${ARG_CORPUS})
        set_tests_properties(${NAME} PROPERTIES LABELS "fuzz" TIMEOUT 300)
    else()
        target_link_libraries(${NAME} PRIVATE qp_fuzzreplay)
        qp_register_test(${NAME} "engine" "" ${ARG_CORPUS})
    endif()
endfunction()

# qp_bench(NAME SOURCES ... LIBS ...): a Google Benchmark executable in bench/.
function(qp_bench NAME)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${NAME} ${ARG_SOURCES})
    target_compile_options(${NAME} PRIVATE ${QP_WARNINGS})
    target_link_libraries(${NAME} PRIVATE ${ARG_LIBS} benchmark::benchmark)
    set_target_properties(${NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# qp_qpx_command(NAME FUNCTION LIBRARY SUMMARY)
# Registers "qpx NAME ..." to call `int FUNCTION(const std::vector<std::string>& args)`
# (args after NAME) from LIBRARY. The qpx tool is built last from the collected list.
function(qp_qpx_command NAME FUNCTION LIBRARY SUMMARY)
    set_property(GLOBAL APPEND PROPERTY QP_QPX_COMMANDS "${NAME}\t${FUNCTION}\t${SUMMARY}")
    set_property(GLOBAL APPEND PROPERTY QP_QPX_LIBRARIES ${LIBRARY})
endfunction()
