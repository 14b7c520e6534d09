# Build settings shared by every target of the project.

# Warnings as errors on our own code.
function(vtr_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_compile_features(${target} PUBLIC cxx_std_20)
endfunction()

# Sources of a deliverable: every .cpp (and .S) below the given folders, so that a new unit needs no list edit.
function(vtr_collect_sources out)
    set(result)
    foreach(dir IN LISTS ARGN)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.S)
        list(APPEND result ${found})
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

# A test folder becomes one test binary: every .cpp in the folder, linked with the given libraries.
# SERIAL tests (end to end, with real windows and child processes) run one at a time, each with two of
# ctest's processors kept for it (the program it drives, and the test with its X server), so that load from
# the other tests cannot starve them; they start first, beside the other tests, as the run's longest.
function(vtr_test name)
    cmake_parse_arguments(ARG "SERIAL" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    # Each test process works in a temporary folder of its own (tests/support/private_temp_environment.cpp).
    add_executable(${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/private_temp_environment.cpp)
    vtr_defaults(${name})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
        VTR_SHARED_RUNTIME ON)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    # Every test binary carries the one list of leak suppressions (tests/support/lsan.supp), and hands the
    # same file to the programs it starts.
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} vtr_leak_suppressions
        GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        VTR_BIN_DIR="${VTR_BIN_DIR}" VTR_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
        VTR_LSAN_SUPPRESSIONS_FILE="${PROJECT_SOURCE_DIR}/tests/support/lsan.supp")
    set(scheduling)
    if(ARG_SERIAL)
        set(scheduling RESOURCE_LOCK end_to_end PROCESSORS 2 COST 1000)
    endif()
    # Parameterised tests are named by their name generators (or their index), never by the bytes of
    # their parameter, so that a name is the same in every run.
    # Each property takes one value here: the discovered tests' properties are passed on as a flat list.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES
        PROPERTIES ENVIRONMENT SDL_VIDEODRIVER=dummy ENVIRONMENT_MODIFICATION SDL_AUDIODRIVER=set:dummy
                   ${scheduling})
endfunction()

# Adds every subfolder of the current one that has its own CMakeLists.txt, but those named after EXCLUDE
# (added elsewhere).
function(vtr_add_subfolders)
    cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
    file(GLOB_RECURSE lists CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    list(SORT lists)
    foreach(list IN LISTS lists)
        get_filename_component(dir ${list} DIRECTORY)
        file(RELATIVE_PATH relative ${CMAKE_CURRENT_SOURCE_DIR} ${dir})
        if(NOT relative IN_LIST ARG_EXCLUDE)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()

# Writes the lazy import stub of a shared library target into `output` (cmake/import_stub.cmake): one
# trampoline per function the library exports, bound on the first call.
function(vtr_import_stub output library)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:${library}> -DOUTPUT=${output}
            -P ${PROJECT_SOURCE_DIR}/cmake/import_stub.cmake
        DEPENDS ${library} ${PROJECT_SOURCE_DIR}/cmake/import_stub.cmake
        COMMENT "Writing the lazy import stub of ${library}"
        VERBATIM)
endfunction()
