# Shared compile options and the helpers that turn a folder list into a library or a test program.

function(calvero_target_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(CALVERO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A quoted include is looked up in the including file's own folder first, so a path climbing out
# of it ("../core/X.h") would slip past the include roots below: every header is named from its root.
function(calvero_reject_relative_includes)
    foreach(file IN LISTS ARGN)
        file(STRINGS "${file}" relative REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*\\.\\./")
        if(relative)
            message(FATAL_ERROR "${file} includes a header by a relative path (${relative}); "
                "name it from its layer's root so the layers stay enforced")
        endif()
    endforeach()
endfunction()

# calvero_add_layer(name FOLDERS dir... LINK lib...)
# A layer is one static library made of every source in its folders. A layer that has no
# sources yet is an interface library, so later layers can already link against it.
#
# A layer sees only its own headers and those of the layers it links: each layer gets an include
# root of its own under the build tree, holding a link to each of its folders, and publishes only
# that root. A header included from a layer that is not below it is not found, so the folder list
# and the LINK lists below are the dependency graph and the build rejects a cycle.
function(calvero_add_layer name)
    cmake_parse_arguments(LAYER "" "" "FOLDERS;LINK" ${ARGN})
    set(include_root "${CMAKE_BINARY_DIR}/layers/${name}")
    set(files "")
    foreach(folder IN LISTS LAYER_FOLDERS)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS
            "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp"
            "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h"
            "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.qrc")
        list(APPEND files ${found})
        calvero_reject_relative_includes(${found})
        get_filename_component(parent "${include_root}/${folder}" DIRECTORY)
        file(MAKE_DIRECTORY "${parent}")
        file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}/${folder}" "${include_root}/${folder}" SYMBOLIC)
    endforeach()
    set(compiled ${files})
    list(FILTER compiled INCLUDE REGEX "\\.(cpp|qrc)$")
    if(compiled)
        add_library(${name} STATIC ${files})
        target_include_directories(${name} PUBLIC "${include_root}")
        target_link_libraries(${name} PUBLIC ${LAYER_LINK})
        calvero_target_options(${name})
    else()
        add_library(${name} INTERFACE ${files})
        target_include_directories(${name} INTERFACE "${include_root}")
        target_link_libraries(${name} INTERFACE ${LAYER_LINK})
    endif()
endfunction()

# calvero_add_tests(name FOLDER dir LINK lib... [MAIN gtest|qt|gl])
# One test program per test folder. Plain tests use GoogleTest's main; Qt tests get a
# QApplication on the offscreen platform; GL tests run under a virtual X server.
function(calvero_add_tests name)
    cmake_parse_arguments(SUITE "" "FOLDER;MAIN" "LINK" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${SUITE_FOLDER}/*.cpp")
    if(NOT sources)
        return()
    endif()
    if(NOT SUITE_MAIN)
        set(SUITE_MAIN gtest)
    endif()
    add_executable(${name} ${sources})
    # Tests reach their shared helpers as "tests/..." or by their path below tests/.
    target_include_directories(${name} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PRIVATE ${SUITE_LINK} GTest::gtest GTest::gmock)
    if(SUITE_MAIN STREQUAL "gtest")
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    elseif(SUITE_MAIN STREQUAL "qt")
        target_link_libraries(${name} PRIVATE calvero_qt_test_main)
    elseif(SUITE_MAIN STREQUAL "gl")
        target_link_libraries(${name} PRIVATE calvero_gl_test_main)
    endif()
    calvero_target_options(${name})
    target_compile_definitions(${name} PRIVATE
        CALVERO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
        CALVERO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

    set(environment
        "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
        "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/support/lsan.supp:print_suppressions=0"
        "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    if(SUITE_MAIN STREQUAL "gl")
        # The GL driver is unloaded before exit, so its allocations cannot be attributed or
        # suppressed; leaks are checked in the other suites.
        list(TRANSFORM environment REPLACE "detect_leaks=1" "detect_leaks=0")
        add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1600x1200x24" $<TARGET_FILE:${name}>)
        set_tests_properties(${name} PROPERTIES LABELS gl ENVIRONMENT "${environment}" TIMEOUT 600)
    else()
        gtest_discover_tests(${name}
            DISCOVERY_MODE PRE_TEST
            PROPERTIES LABELS ${SUITE_MAIN} ENVIRONMENT "${environment}" TIMEOUT 300)
    endif()
endfunction()
