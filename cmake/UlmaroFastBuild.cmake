# What keeps a cold build short (a fresh clone on two cores with no compiler cache, as CI
# builds it): test programs compile over a precompiled header and one folder at a time, and
# programs link with lld where it is installed.

# Each folder of tests/ compiles as one unit (a unity build), so GoogleTest, Qt and the
# standard library are read and instantiated once per folder instead of once per file.
# File-local names (anonymous namespaces, statics, file-scope `using`) must therefore be
# unique within a test folder. A file that cannot share its unit is listed in ULMARO_ALONE
# (tests/CMakeLists.txt) and compiles on its own, without the precompiled header.
# -DULMARO_UNITY=OFF compiles file by file, which checks that each file includes what it uses.
option(ULMARO_UNITY "Compile each test folder as one unit" ON)

include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld ULMARO_HAVE_LLD)
if(ULMARO_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
endif()

# The headers that most files of a target read, compiled once per target: the standard
# library, JSON (the settings' interface holds it) and, for the views, Qt Widgets.
set(ULMARO_STD_PCH <algorithm> <chrono> <cstdint> <filesystem> <fstream> <functional> <map>
    <memory> <mutex> <optional> <set> <string> <string_view> <thread> <vector>
    <nlohmann/json.hpp>)
set(ULMARO_QT_PCH <QtWidgets>)

# ulmaro_precompile(<target> [QT] [TEST])
function(ulmaro_precompile target)
    cmake_parse_arguments(ARG "QT;TEST" "" "" ${ARGN})
    set(headers ${ULMARO_STD_PCH})
    if(ARG_TEST)
        list(APPEND headers <gmock/gmock.h> <gtest/gtest.h>)
    endif()
    if(ARG_QT)
        list(APPEND headers ${ULMARO_QT_PCH})
        if(ARG_TEST)
            list(APPEND headers <QTest>)
        endif()
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# The test programs share two precompiled headers, one with Qt and one without, each built
# once by a target of its own (a header costs more to precompile than a unit to compile).
function(ulmaro_test_pch qt out)
    if(qt)
        set(name ulmaro_qt_test_pch)
    else()
        set(name ulmaro_test_pch)
    endif()
    if(NOT TARGET ${name})
        set(anchor ${CMAKE_BINARY_DIR}/${name}.cpp)
        if(NOT EXISTS ${anchor})
            file(WRITE ${anchor} "")
        endif()
        add_library(${name} OBJECT ${anchor})
        # A header is precompiled for one set of predefined macros: every test program
        # compiles with -pthread, which GIO's flags bring to some of them.
        target_compile_options(${name} PRIVATE -pthread)
        target_link_libraries(${name} PRIVATE GTest::gmock GTest::gtest ulmaro_warnings)
        if(qt)
            target_link_libraries(${name} PRIVATE UlmaroAppKitUI Qt6::Test)
            ulmaro_precompile(${name} TEST QT)
        else()
            target_link_libraries(${name} PRIVATE nlohmann_json::nlohmann_json)
            ulmaro_precompile(${name} TEST)
        endif()
    endif()
    set(${out} ${name} PARENT_SCOPE)
endfunction()

# ulmaro_fast_test(<target> [QT])
# A test program over the shared precompiled header (Qt's too for QT), one unit per folder.
function(ulmaro_fast_test target)
    cmake_parse_arguments(ARG "QT" "" "" ${ARGN})
    ulmaro_test_pch("${ARG_QT}" donor)
    target_precompile_headers(${target} REUSE_FROM ${donor})
    target_compile_options(${target} PRIVATE -pthread)
    # GCC 12 at -O3 reads std::string's inline buffer, inlined into test bodies, as overflowing
    # (GCC bugs 105329 and 105651); the libraries and programs keep these warnings.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                                                 -Wno-stringop-overread -Wno-restrict)
    endif()
    if(NOT ULMARO_UNITY)
        return()
    endif()
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
    get_target_property(sources ${target} SOURCES)
    foreach(source ${sources})
        if(NOT source MATCHES "^${PROJECT_SOURCE_DIR}/tests/(.+)/[^/]+\\.cpp$")
            continue()
        endif()
        set(folder ${CMAKE_MATCH_1})
        file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/tests ${source})
        if(relative IN_LIST ULMARO_ALONE)
            set_source_files_properties(${source} TARGET_DIRECTORY ${target}
                                        PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
        else()
            string(MAKE_C_IDENTIFIER ${folder} group)
            set_source_files_properties(${source} TARGET_DIRECTORY ${target}
                                        PROPERTIES UNITY_GROUP ${group})
        endif()
    endforeach()
endfunction()
