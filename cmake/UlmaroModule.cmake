# ulmaro_position_independent(<target>)
# Code that the application module (UlmaroApp) links in as well as the programs: position
# independent, and still inlined and called directly as in a program, since nothing
# interposes our functions.
function(ulmaro_position_independent target)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_compile_options(${target} PRIVATE -fno-semantic-interposition)
endfunction()

# ulmaro_module(<Name> DEPS <targets...>)
# A static library of every .cpp under UlmaroKit/<Name>/, named UlmaroKit<Name>.
# Sources are globbed so adding a file needs no CMake edit.
function(ulmaro_module name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/UlmaroKit/${name}/*.cpp)
    set(target UlmaroKit${name})
    if(sources)
        add_library(${target} STATIC ${sources})
        ulmaro_position_independent(${target})
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE ulmaro_warnings)
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# ulmaro_test(<name> DEPS <targets...> SOURCES_DIR <dir>)
# One GoogleTest executable per folder of tests/, each test case registered with CTest.
function(ulmaro_test name)
    cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main ulmaro_warnings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        ULMARO_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
    ulmaro_fast_test(${name})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 300)
endfunction()
